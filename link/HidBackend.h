#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm {

// One HID interface as the platform lists it.
struct HidInterfaceInfo {
    std::string path;      // what every open of the interface uses
    std::string instance;  // identifies the plugged-in device across scans; a new one each plug
    std::string productString;  // UTF-8, as the device reports it
};

// Report sizes in bytes, each counting the report ID byte in front of the data, as the platform
// HID layer gives them (the largest report of each kind). 0: the device has no such report.
struct HidReportLengths {
    std::size_t input = 0;
    std::size_t output = 0;
    bool numbered = false;  // reports carry a report ID byte of their own (IDs other than 0)
    friend bool operator==(const HidReportLengths&, const HidReportLengths&) = default;
};

// The longest report a HID device can have, report ID byte included: the kernel's HID layer
// refuses a device that declares a longer one (and the logger's reports are 65 bytes).
inline constexpr std::size_t kMaxHidReportLength = 16384;

// An open HID interface: read/write when the platform allowed it, else for queries only.
class HidHandle {
public:
    virtual ~HidHandle() = default;
    virtual bool ReadWrite() const = 0;
    // From the device's report descriptor; none when it cannot be read.
    virtual std::optional<HidReportLengths> ReportLengths() = 0;
    // Writes one output report (report ID first). Blocking; false when it failed.
    virtual bool Write(std::span<const std::uint8_t> report) = 0;
};

// Reads input reports until destroyed; the destructor returns once the reader has stopped.
class HidReader {
public:
    virtual ~HidReader() = default;
};

// One input report with the report ID split off (the data bytes only).
using HidReportHandler = std::function<void(std::span<const std::uint8_t> data)>;

// What the HID device controller needs of the platform.
class HidBackend {
public:
    virtual ~HidBackend() = default;
    // The HID interfaces present now; none where the platform has no HID layer.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
    // Opens an interface read/write, else for queries only; null when it cannot be opened at all.
    virtual std::unique_ptr<HidHandle> Open(const std::string& path) = 0;
    // Starts reading input reports. Each one is handed to `deliver` on the controller's thread,
    // one at a time, and the reader waits until it has returned. A read that fails (the device
    // has gone) is retried at a paced interval, never in a tight loop.
    virtual std::unique_ptr<HidReader> StartReader(const std::string& path,
                                                   const HidReportLengths& lengths,
                                                   HidReportHandler deliver) = 0;
};

}  // namespace qm
