#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/HidBackend.h"
#include "protocol/Links.h"

namespace qm {

class HidCtl;

// One HID interface found by a scan. The object stays the same while the device stays plugged
// in; a device plugged in again is a new object.
class HidDevice : public HidDeviceLink {
public:
    const std::string& Path() const { return info_.path; }
    const std::string& Instance() const { return info_.instance; }
    const std::string& ProductString() const { return info_.productString; }
    bool PluggedIn() const { return pluggedIn_; }
    bool Claimed() const { return claimed_; }
    bool Enumerating() const { return enumerating_; }
    bool ReadWriteAccess() const { return readWrite_; }
    bool HasReader() const { return reader_ != nullptr; }
    const HidReportLengths& Lengths() const { return lengths_; }

    std::size_t OutputReportLength() override { return lengths_.output; }
    // Writes one output report, opening the device if needed (only while it is plugged in and
    // claimed or being enumerated). False when nothing could be written.
    bool WriteReport(std::span<const std::uint8_t> report) override;

private:
    friend class HidCtl;
    HidDevice(HidBackend& backend, HidInterfaceInfo info)
        : backend_(backend), info_(std::move(info)) {}
    void CloseHandles() { handle_.reset(); }

    HidBackend& backend_;
    HidInterfaceInfo info_;
    HidReportLengths lengths_;
    bool pluggedIn_ = true;
    bool claimed_ = false;
    bool enumerating_ = false;
    bool readWrite_ = false;
    std::unique_ptr<HidHandle> handle_;
    std::unique_ptr<HidReader> reader_;
};

// The HID device controller: keeps the list of HID devices in the order they were first found,
// follows plugging and unplugging by scanning when told that the set of devices may have
// changed, enumerates the list for its owner, and runs one reader per claimed device.
// Single-threaded: every call and every handler runs on the owner's thread.
class HidCtl {
public:
    struct Handlers {
        // Called for each plugged-in device during RunEnumeration; false stops the enumeration.
        std::function<bool(HidDevice& device, int index)> enumerate;
        // A scan found the set of devices changed (or was forced).
        std::function<void()> deviceChange;
        // One input report from a claimed device, report ID split off.
        std::function<void(HidDevice& device, std::span<const std::uint8_t> data)> deviceData;
    };

    explicit HidCtl(HidBackend& backend) : backend_(backend) {}
    ~HidCtl();
    HidCtl(const HidCtl&) = delete;
    HidCtl& operator=(const HidCtl&) = delete;

    void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

    // The set of devices may have changed: scan, and fire deviceChange when a device was
    // unplugged or added, or when `force` is set (the first scan after start). Ignored while a
    // scan is running.
    void DevicesChanged(bool force = false);
    // Visits every plugged-in device in list order; returns the number visited.
    int RunEnumeration();
    // Marks the device claimed and starts its reader; null when the index is outside the list
    // or the device is claimed already.
    HidDevice* ClaimDevice(int index);

    int Count() const { return static_cast<int>(devices_.size()); }
    HidDevice& Device(int index) { return *devices_.at(static_cast<std::size_t>(index)); }
    // The device object behind a link, if it is one of ours.
    HidDevice* Find(const HidDeviceLink* link) const;

    // Counters of the list: plugged-in devices not claimed and claimed, and unplugged ones.
    int NotClaimedCount() const;
    int ClaimedCount() const;
    int UnpluggedCount() const;

private:
    std::unique_ptr<HidDevice> MakeDevice(const HidInterfaceInfo& info);
    void StartReader(HidDevice& device);
    int CountDevices(bool (*counts)(const HidDevice& device)) const;

    HidBackend& backend_;
    Handlers handlers_;
    std::vector<std::unique_ptr<HidDevice>> devices_;
    bool scanning_ = false;
};

}  // namespace qm
