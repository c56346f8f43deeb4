#pragma once

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/RadioModem.h"
#include "session/SessionEvents.h"

namespace qm {

// The radio modem's group: the address the operator types, the once or every-second mode, and
// the start button that becomes the stop of the every-second identification.
class RadioPresenter : public SessionEvents {
public:
    RadioPresenter(PartContext& ctx, RadioModem& radio) : ctx_(ctx), radio_(radio) {}
    void Register(Handlers& h);

    void cbRAddressClick();
    void bRStartClick();
    // The start button's caption in the language just chosen, while it is the stop.
    void ShowCaptions();

    void RadioModemFound() override;
    void RadioStartChanged() override;
    void RadioRepeated() override;

private:
    PartContext& ctx_;
    RadioModem& radio_;
};

}  // namespace qm
