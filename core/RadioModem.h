#pragma once

#include <cstdint>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/Transaction.h"

namespace qm {

// The radio modem: its group, the address request (131) and the once-a-second identification.
class RadioModem : public Transaction {
public:
    explicit RadioModem(PartContext& ctx) : ctx_(ctx) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);

    // The USB adapter is a radio modem: its group waits for the operator's start.
    void Detected();
    // A new connection: no radio modem is known yet.
    void Reset();

    void cbRAddressClick();
    void bRStartClick();
    // Row 131: the address is set; the identification now reaches the chosen logger.
    void RadioAddressReply();
    // Ends the every-second identification, if it runs.
    void StopRadioRepeat();
    // A tick of the every-second identification.
    void RadioRepeatTimer();
    // The start button's caption in the language just chosen, while it is the stop.
    void ShowCaptions();

    bool RadioModemLink() const { return RadioModemLink_; }
    std::uint8_t RadioAddress() const { return RadioAddress_; }

    // The every-second identification runs.
    bool Repeating() const;

private:
    void ShowRadioStartCaption();
    void SelectRadioAddress(std::uint8_t address);

    PartContext& ctx_;
    bool RadioModemLink_ = false;
    std::uint8_t RadioAddress_ = 0;
};

}  // namespace qm
