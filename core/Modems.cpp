// The USB modem adapters: which modem answered (row 1), the Bluetooth modem's text dialogue and
// the radio modem's address request.
#include "core/Controller.h"

namespace qm {

void Controller::LinkKindReply() {}
void Controller::ModemModeReply() {}
void Controller::RadioAddressReply() {}
void Controller::HandleModemLine() {}
void Controller::BTtimerTimer() { m_.BTtimer.Stop(); }
void Controller::Timer1Timer() {}
void Controller::Timer4Timer() { m_.Timer4.Stop(); }

}  // namespace qm
