// The list of Bluetooth devices to dial: "Device.txt" in the start folder, one address per line
// in the form the modem's CALL command takes.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "core/Controller.h"
#include "protocol/Cp1251.h"

namespace qm {

namespace {

// The lines of the file as the program has always read them: a line is read before the end of
// the file is tested, so an empty file gives one empty line, and a last line end adds none.
// Lines end at a line feed; a carriage return before it belongs to the line end.
std::vector<std::string> DeviceListLines(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = content.find('\n', start);
        std::string line = content.substr(start, end == std::string::npos ? end : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos || end + 1 == content.size()) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

void Controller::LoadBluetoothDeviceList() {
    const std::filesystem::path file = s_.StartFolder / "Device.txt";
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        ops_.Confirm("No Device.txt");  // OK or Cancel: the answer changes nothing
        return;
    }
    m_.pmBluetooth.enabled = false;
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        ops_.ShowError("Device.txt in the start folder could not be opened for reading.");
        return;
    }
    const std::string content((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    const std::vector<std::string> lines = DeviceListLines(content);

    // A new modem start lists the file again instead of adding to the earlier list.
    s_.BluetoothAddresses = {};
    m_.RadioGroup1.items.clear();
    const std::size_t kept = std::min(lines.size(), s_.BluetoothAddresses.size());
    for (std::size_t n = 0; n < kept; ++n) {
        s_.BluetoothAddresses[n] = lines[n];
        m_.RadioGroup1.items.push_back(std::to_string(n + 1) + "   ( " + Cp1251ToUtf8(lines[n]) +
                                       " )");
    }
    s_.BluetoothAddressCount = static_cast<int>(kept);
    m_.BTmodem.visible = true;
    m_.BTmodem.geometry.left = 10;
    m_.BTmodem.geometry.top = 10;
    m_.RadioGroup1.itemIndex = 0;

    if (lines.size() > kept) {
        // Only eight devices fit the list; say which lines the operator cannot dial.
        const std::string first = std::to_string(kept + 1);
        const std::string last = std::to_string(lines.size());
        ops_.ShowWarning("Device.txt holds " + last + " lines, but only the first " +
                         std::to_string(kept) + " can be dialled. " +
                         (first == last ? "Line " + first + " was"
                                        : "Lines " + first + " to " + last + " were") +
                         " left out.");
    }
}

}  // namespace qm
