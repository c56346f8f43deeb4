#include "core/RadioPresenter.h"

#include <string>

#include "link/ModemText.h"

namespace qm {

void RadioPresenter::Register(Handlers& h) {
    h.OnClick("bRStart", [this] { bRStartClick(); });
    h.OnChange("cbRAddress", [this] { cbRAddressClick(); });
}

void RadioPresenter::cbRAddressClick() {
    ctx_.m.eRAddress.visible = !ctx_.m.cbRAddress.checked;
}

void RadioPresenter::bRStartClick() {
    WindowModel& m = ctx_.m;
    // While the every-second identification runs, the button is its stop.
    if (radio_.Repeating()) {
        radio_.StopRadioRepeat();
        return;
    }
    const auto number = modem::ParseRadioAddress(m.eRAddress.text);
    if (!number) {
        m.eRAddress.text = std::to_string(radio_.RadioAddress());
        ctx_.ops.Beep();
        return;
    }
    radio_.Start(modem::RadioAddressByte(*number), m.cbR_Modem.itemIndex == 1);
}

void RadioPresenter::RadioModemFound() {
    WindowModel& m = ctx_.m;
    m.window.title = "QM-Controller  [ R-modem ]";
    m.pmBluetooth.enabled = false;
    m.gbR_Modem.visible = true;
    m.gbR_Modem.geometry.left = 32;
    m.gbR_Modem.geometry.top = 32;
}

void RadioPresenter::RadioStartChanged() {
    Button& start = ctx_.m.bRStart;
    start.enabled = radio_.StartOpen();
    // The start button's own caption is the same in both languages.
    start.caption = radio_.Repeating() ? ctx_.Text(Msg::RadioStop) : "Старт";
}

void RadioPresenter::RadioRepeated() {
    ctx_.ops.Beep();
}

void RadioPresenter::ShowCaptions() {
    if (radio_.Repeating()) ctx_.m.bRStart.caption = ctx_.Text(Msg::RadioStop);
}

}  // namespace qm
