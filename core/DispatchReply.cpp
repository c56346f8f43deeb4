// The reply dispatcher: the one table of the protocol. Replies carry no command code, so each is
// read under the code of the request last sent (CurrentCommand). Each row tests the status where
// it matters and calls the named step, which usually sends the next request at once; read top to
// bottom, the rows of codes 0, 60/62, 48, 50/144, 52 and 64/65 are the connection sequence.
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/ReplyStatus.h"

namespace qm {

void Controller::DispatchReply() {
    namespace C = CommandCode;
    // clang-format off
    switch (s_.CurrentCommand) {
        case C::Identify: IdentificationReply(); break;       // -> 48 or 60; or 1
        case C::LinkKindQuery: LinkKindReply(); break;        // -> 130 (Bluetooth modem)
        case C::LineValue: LineValueReply(); break;           // -> none
        case C::StartTest:
        case C::NextReadings: ReadingsReply(); break;         // -> 68 or 52
        case C::ReadClock: ClockReply(); break;               // -> 144 / 50, or 49
        case C::SetClock: SendCommand(C::ReadClock); break;   // -> 48, whatever the status
        case C::ReadSchedule: ScheduleReply(); break;         // -> 52 while reading out
        case C::WriteSchedule: ScheduleWrittenReply(); break; // -> 50
        case C::ReadBattery: BatteryReply(); break;           // -> 64 and/or 16
        case C::ReadCalibration: CalibrationReply(); break;   // -> 48 or 62
        case C::ReadCalibrationNext: CalibrationBlockReply(); break;  // -> 62 or 48
        case C::ListFirst:
        case C::ListNext: ListingReply(); break;              // -> 65, or the end of a listing
        case C::OpenFile:
        case C::NextLine:
        case C::ResumeFile: LineReply(); break;               // -> 67, 70, 71 or none
        case C::FindDay: DayFoundReply(); break;              // -> 71 or none
        case C::FirstValues:
        case C::NextValues: ValuesReply(); break;             // -> 67, 72, 66 or none
        case C::DeleteDirectory: DeleteReply(); break;        // -> 64
        case C::ModemMode: ModemModeReply(); break;           // -> none (timers go on)
        case C::RadioAddress: RadioAddressReply(); break;     // -> 0
        case C::ReadRemarks: RemarksReply(); break;           // -> 52 while reading out
        case C::WriteRemarks: RemarksWrittenReply(); break;   // -> none
        default: break;  // 8 (power down) and 61 (calibration written) are not answered upon
    }
    // clang-format on
}

}  // namespace qm
