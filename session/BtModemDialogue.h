#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "session/Transaction.h"
#include "session/WorkContext.h"

namespace qm {

// The Bluetooth modem's mode, the data byte of request 130.
enum class ModemMode : std::uint8_t {
    Detected = 0,     // just found: the first mode step
    Command = 1,      // command mode: reports are text lines
    Transparent = 2,  // packets go through to the logger
};

// Where the dialling of the Bluetooth modem stands.
enum class DialState : std::uint8_t {
    Idle = 0,      // waiting for the modem's ready line
    Dialling = 1,  // calling until CONNECT
};

// The Bluetooth modem: its mode steps (request 130) and the text dialogue that dials an address
// until the modem reports CONNECT.
class BtModemDialogue : public Transaction {
public:
    explicit BtModemDialogue(WorkContext& ctx) : ctx_(ctx) {}
    // The replies of the requests whose dispatcher row names this operation.
    void OnReply(std::uint8_t code) override;

    // The USB adapter is a Bluetooth modem: take the first mode step.
    void Detected();
    // A new connection: no Bluetooth modem is known yet.
    void Reset() { BtModemLink_ = false; }
    // For tests that start from a modem already found.
    void SetBtModemLink(bool link) { BtModemLink_ = link; }
    // The program starts with the dialogue idle.
    void ResetDial() { DialState_ = DialState::Idle; }

    // Row 130: each mode step that the modem confirms starts the timer of the next step.
    void ModemModeReply();
    // A text report from the modem in command mode; the answer to the mode request is one too.
    void TakeModemLine();
    void HandleModemLine();

    // Dials `address` (Windows-1251; its CALL line must fit one output report, see CallFits):
    // "AT" now, the first CALL 300 ms later, then one every 15 s until the modem answers
    // CONNECT. With `calls`, at most that many calls, and the dial ends in ModemDialEnded.
    void Dial(const std::string& address, std::optional<int> calls);
    // Dials `address` at most `calls` times when the modem can dial now; false when it cannot.
    bool DialAddress(const std::string& address, int calls);
    // Whether the modem can dial `address` now: it is ready, not dialling, and the call fits.
    bool CanDial(const std::string& address) const;
    // The CALL line of `address` fits one output report of the link: written anyway, it would be
    // cut at the end of the report and reach the modem as some other address.
    bool CallFits(const std::string& address) const;
    // The length of the link's output reports.
    std::size_t ReportLength() const;
    void BTtimerTimer();
    void Timer1Timer();
    void Timer4Timer();

    bool BtModemLink() const { return BtModemLink_; }
    enum ModemMode ModemMode() const { return ModemMode_; }
    enum DialState DialState() const { return DialState_; }
    // The modem has said it is ready and no dial runs.
    bool DialReady() const { return DialReady_; }
    // The calls of this dial so far, and the NO CARRIER answers to them.
    int Calls() const { return CallAttempts_; }
    int NoCarriers() const { return NoCarrierCount_; }

private:
    void SetModemMode(enum ModemMode mode);
    void HandleDialLine(const std::string& line);
    void SendCall();
    void EndDirectDial(bool connected);
    void Ready();
    void StopDialling();

    WorkContext& ctx_;
    bool BtModemLink_ = false;
    enum ModemMode ModemMode_ = ModemMode::Detected;
    enum DialState DialState_ = DialState::Idle;
    bool DialReady_ = false;
    int CallAttempts_ = 0;
    int NoCarrierCount_ = 0;
    // The address being dialled (Windows-1251).
    std::string Address_;
    // A dial asked by the session: how many calls it may make; it ends in ModemDialEnded.
    std::optional<int> CallLimit_;
};

}  // namespace qm
