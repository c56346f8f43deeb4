// The language items of the context menu. The language in force is the check mark of pmEng;
// both items set both marks themselves (they are not a radio group), then assign their captions.
#include "core/Controller.h"
#include "ui/model/Captions.h"

namespace qm {

void Controller::RegisterLanguageHandlers() {
    OnClick("pmRus", &Controller::pmRusClick);
    OnClick("pmEng", &Controller::pmEngClick);
}

void Controller::pmRusClick() {
    Run([&] {
        m_.pmRus.checked = true;
        m_.pmEng.checked = false;
        ApplyCaptions(m_, Language::Russian);
        if (s_.SysTimerAction == 3 && m_.SysTimer.enabled)
            m_.bRStart.caption = Text(Msg::RadioStop);
    });
}

void Controller::pmEngClick() {
    Run([&] {
        m_.pmEng.checked = true;
        m_.pmRus.checked = false;
        ApplyCaptions(m_, Language::English);
        if (s_.SysTimerAction == 3 && m_.SysTimer.enabled)
            m_.bRStart.caption = Text(Msg::RadioStop);
    });
}

bool Controller::IsEnglish() const {
    return qm::IsEnglish(m_);
}

}  // namespace qm
