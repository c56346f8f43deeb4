#pragma once

#include <cstdint>

#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

// The radio modem: the address request (131) and the identification of the logger at the
// address chosen, once or once a second until a logger answers.
class RadioModem : public Transaction {
public:
    explicit RadioModem(WorkContext& ctx) : ctx_(ctx) {}
    // The replies of the requests whose dispatcher row names this operation.
    void OnReply(std::uint8_t code) override;

    // The USB adapter is a radio modem: it waits for an address to be started.
    void Detected();
    // A new connection: no radio modem is known yet.
    void Reset();

    // Identifies the logger at `address` (the byte the modem takes): the address is set first
    // (request 131) unless it is the one set already. Once, the reply watchdog asking again;
    // `everySecond`, asked again every second, each time told by RadioRepeated, until a logger
    // answers or StopRadioRepeat.
    void Start(std::uint8_t address, bool everySecond);
    // A radio modem waits for its start: none has run on this connection (or the last has been
    // stopped or given up), and no logger has answered yet.
    bool CanStart() const;
    // Row 131: the address is set; the identification now reaches the chosen logger.
    void RadioAddressReply();
    // Ends the every-second identification, if it runs.
    void StopRadioRepeat();
    // A tick of the every-second identification.
    void RadioRepeatTimer();
    // A request was given up: the start is offered again.
    void GaveUp();

    bool RadioModemLink() const { return RadioModemLink_; }
    std::uint8_t RadioAddress() const { return RadioAddress_; }
    // The every-second identification runs.
    bool Repeating() const;
    // A start may be asked for (or, while repeating, the repeat stopped).
    bool StartOpen() const { return StartOpen_; }

private:
    void SelectRadioAddress(std::uint8_t address);
    void TellStart();

    WorkContext& ctx_;
    bool RadioModemLink_ = false;
    std::uint8_t RadioAddress_ = 0;
    bool StartOpen_ = true;
};

}  // namespace qm
