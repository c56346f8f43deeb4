#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/Transaction.h"

namespace qm {

// The Bluetooth modem: its mode steps (request 130), the device list "Device.txt" of the start
// folder, and the text dialogue that dials a logger until the modem reports CONNECT.
class BtModemDialogue : public Transaction {
public:
    explicit BtModemDialogue(PartContext& ctx) : ctx_(ctx) {}
    // The replies of the requests whose dispatcher row names this part.
    void OnReply(std::uint8_t code) override;
    void Register(Handlers& h);
    void SetStartFolder(const std::filesystem::path& folder) { StartFolder_ = folder; }

    // The USB adapter is a Bluetooth modem: offer its device list and take the first mode step.
    void Detected();
    // A new connection: no Bluetooth modem is known yet.
    void Reset() { BtModemLink_ = false; }
    // For tests that start from a modem already found.
    void SetBtModemLink(bool link) { BtModemLink_ = link; }
    // The program starts with the dialogue idle.
    void ResetDial() { DialState_ = DialState::Idle; }

    // Offers the addresses of "Device.txt" in the start folder (up to eight) for dialling.
    void LoadBluetoothDeviceList();
    // Row 130: each mode step that the modem confirms starts the timer of the next step.
    void ModemModeReply();
    // A text report from the modem in command mode.
    void HandleModemLine();

    void Button6Click();
    // Dials `address` (12 hex digits) without the device list, at most `calls` times; the dial
    // ends in ModemDialEnded. False when the modem cannot dial now.
    bool DialAddress(const std::string& address, int calls);
    void BTtimerTimer();
    void Timer1Timer();
    void Timer4Timer();

    bool BtModemLink() const { return BtModemLink_; }
    enum ModemMode ModemMode() const { return ModemMode_; }
    enum DialState DialState() const { return DialState_; }
    int BluetoothAddressCount() const { return BluetoothAddressCount_; }
    const std::string& BluetoothAddress(std::size_t i) const { return BluetoothAddresses_[i]; }

private:
    void SetModemMode(enum ModemMode mode);
    void HandleDialLine(const std::string& line);
    void SendCall();
    // The CALL line for the device selected in RadioGroup1, or nothing (and the operator is
    // told why) when no device is selected or its line cannot fit one output report.
    std::optional<std::string> SelectedCallText();
    void EndDirectDial(bool connected);

    PartContext& ctx_;
    std::filesystem::path StartFolder_;
    bool BtModemLink_ = false;
    enum ModemMode ModemMode_ = ModemMode::Detected;
    enum DialState DialState_ = DialState::Idle;
    int CallAttempts_ = 0;
    int NoCarrierCount_ = 0;
    std::array<std::string, 8> BluetoothAddresses_;
    int BluetoothAddressCount_ = 0;
    // A dial asked by the session, not from the list: its address (Windows-1251) and how many
    // calls it may make.
    std::optional<std::string> DirectAddress_;
    int CallLimit_ = 0;
};

}  // namespace qm
