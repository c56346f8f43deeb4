// The Bluetooth device list "Device.txt" of the start folder: one address per line, the first
// eight offered in the BT group for dialling.
#include <system_error>

#include "core/Controller.h"
#include "protocol/Cp1251.h"
#include "store/LocalFiles.h"

namespace qm {

void Controller::LoadBluetoothDeviceList() {
    const auto path = s_.StartFolder / "Device.txt";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        (void)ops_.Confirm(
            Text(Msg::NoDeviceList));  // OK or Cancel: the list stays empty either way
        return;
    }
    m_.pmBluetooth.enabled = false;
    std::vector<std::string> lines;
    try {
        lines = DeviceListLines(ReadWholeFile(path));
    } catch (const FileError& e) {
        ops_.ShowError(e.Text(IsEnglish()));
        return;
    }
    const std::size_t kept = std::min(lines.size(), kBluetoothListSize);
    m_.RadioGroup1.items.clear();
    s_.BluetoothAddresses = {};
    for (std::size_t n = 0; n < kept; ++n) {
        s_.BluetoothAddresses[n] = lines[n];
        m_.RadioGroup1.items.push_back(std::to_string(n + 1) + "   ( " + Cp1251ToUtf8(lines[n]) +
                                       " )");
    }
    s_.BluetoothAddressCount = static_cast<int>(kept);
    m_.BTmodem.geometry.left = 10;
    m_.BTmodem.geometry.top = 10;
    m_.BTmodem.visible = true;
    m_.RadioGroup1.itemIndex = 0;
    if (lines.size() > kept) {
        const std::string left =
            lines.size() == kept + 1
                ? Text(Msg::DeviceListLineLeftOut, {std::to_string(kept + 1)})
                : Text(Msg::DeviceListLinesLeftOut,
                       {std::to_string(kept + 1), std::to_string(lines.size())});
        ops_.ShowWarning(Text(Msg::DeviceListTooLong, {PathText(path), std::to_string(lines.size()),
                                                       std::to_string(kept), left}));
    }
}

}  // namespace qm
