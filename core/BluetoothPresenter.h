#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "core/Handlers.h"
#include "core/PartContext.h"
#include "session/BtModemDialogue.h"
#include "session/SessionEvents.h"

namespace qm {

// The Bluetooth modem's group: the device list "Device.txt" of the start folder, the dial button
// and the counts of calls and NO CARRIER answers.
class BluetoothPresenter : public SessionEvents {
public:
    BluetoothPresenter(PartContext& ctx, BtModemDialogue& bt) : ctx_(ctx), bt_(bt) {}
    void Register(Handlers& h);
    void SetStartFolder(const std::filesystem::path& folder) { StartFolder_ = folder; }

    // Offers the addresses of "Device.txt" in the start folder (up to eight) for dialling.
    void LoadBluetoothDeviceList();
    // The operator dials the device selected in the list.
    void Button6Click();

    int BluetoothAddressCount() const { return BluetoothAddressCount_; }
    const std::string& BluetoothAddress(std::size_t i) const { return BluetoothAddresses_[i]; }

    void BluetoothModemFound() override;
    void BluetoothDialReady() override;
    void BluetoothDialStarted() override;
    void BluetoothDialStopped() override;
    void BluetoothCalled(int calls) override;
    void BluetoothNoCarrier(int count) override;
    void BluetoothConnected() override;

private:
    // The address selected in RadioGroup1, or nothing (and the operator is told why) when no
    // device is selected or its CALL line cannot fit one output report.
    std::optional<std::string> SelectedAddress();

    PartContext& ctx_;
    BtModemDialogue& bt_;
    std::filesystem::path StartFolder_;
    std::array<std::string, 8> BluetoothAddresses_;
    int BluetoothAddressCount_ = 0;
};

}  // namespace qm
