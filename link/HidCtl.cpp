// The HID device controller: the device list, scans on device change, enumeration for the
// owner, claiming and the per-device readers.
#include "link/HidCtl.h"

#include <algorithm>

namespace qm {

bool HidDevice::WriteReport(std::span<const std::uint8_t> report) {
    if (!handle_) {
        if (!pluggedIn_ || !(claimed_ || enumerating_)) return false;
        handle_ = backend_.Open(info_.path);
        if (!handle_) return false;
    }
    return handle_->Write(report);
}

HidCtl::~HidCtl() {
    // Readers hand reports to this object's handlers: stop them first.
    for (auto& d : devices_) d->reader_.reset();
}

void HidCtl::DevicesChanged(bool force) {
    if (scanning_) return;
    scanning_ = true;
    const std::vector<HidInterfaceInfo> present = backend_.Enumerate();
    const auto isPresent = [&](const std::string& instance) {
        return std::any_of(present.begin(), present.end(),
                           [&](const HidInterfaceInfo& p) { return p.instance == instance; });
    };

    // Old devices, last to first: one still present stays as it is; one that has gone is
    // unplugged and leaves the list unless it was claimed. A device that was unplugged before
    // never matches again and counts as no change: only real plugging is reported.
    bool changed = false;
    for (std::size_t k = devices_.size(); k-- > 0;) {
        HidDevice& d = *devices_[k];
        if (d.pluggedIn_ && isPresent(d.Instance())) continue;
        if (d.pluggedIn_) {
            changed = true;
            d.pluggedIn_ = false;
            d.reader_.reset();
            d.CloseHandles();
        }
        if (!d.claimed_) devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(k));
    }

    // New devices go to the end of the list; one that cannot be opened or identified is left
    // out without a word (it is tried again at the next scan).
    for (const HidInterfaceInfo& info : present) {
        const bool known = std::any_of(devices_.begin(), devices_.end(), [&](const auto& d) {
            return d->pluggedIn_ && d->Instance() == info.instance;
        });
        if (known) continue;
        if (auto device = MakeDevice(info)) {
            devices_.push_back(std::move(device));
            changed = true;
        }
    }

    if ((changed || force) && handlers_.deviceChange) handlers_.deviceChange();
    scanning_ = false;
}

std::unique_ptr<HidDevice> HidCtl::MakeDevice(const HidInterfaceInfo& info) {
    std::unique_ptr<HidHandle> handle = backend_.Open(info.path);
    if (!handle) return nullptr;
    const auto lengths = handle->ReportLengths();
    if (!lengths) return nullptr;
    std::unique_ptr<HidDevice> device(new HidDevice(backend_, info));
    device->readWrite_ = handle->ReadWrite();
    device->lengths_ = *lengths;
    return device;  // the identification handle closes here; a write opens it again
}

int HidCtl::RunEnumeration() {
    int visited = 0;
    for (std::size_t k = 0; k < devices_.size(); ++k) {
        HidDevice& d = *devices_[k];
        if (!d.pluggedIn_) continue;
        ++visited;
        d.enumerating_ = true;
        const bool goOn = handlers_.enumerate ? handlers_.enumerate(d, static_cast<int>(k)) : true;
        d.enumerating_ = false;
        if (!d.claimed_) d.CloseHandles();
        if (!goOn) break;
    }
    return visited;
}

HidDevice* HidCtl::ClaimDevice(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    HidDevice& d = Device(index);
    if (d.claimed_) return nullptr;
    d.claimed_ = true;
    StartReader(d);
    return &d;
}

void HidCtl::StartReader(HidDevice& d) {
    if (!handlers_.deviceData || !d.pluggedIn_ || !d.readWrite_ || d.reader_ ||
        d.lengths_.input == 0)
        return;
    d.reader_ =
        backend_.StartReader(d.Path(), d.lengths_, [this, &d](std::span<const std::uint8_t> data) {
            if (handlers_.deviceData) handlers_.deviceData(d, data);
        });
}

HidDevice* HidCtl::Find(const HidDeviceLink* link) const {
    for (const auto& d : devices_)
        if (d.get() == link) return d.get();
    return nullptr;
}

int HidCtl::CountDevices(bool (*counts)(const HidDevice& device)) const {
    return static_cast<int>(
        std::count_if(devices_.begin(), devices_.end(), [&](const auto& d) { return counts(*d); }));
}

int HidCtl::NotClaimedCount() const {
    return CountDevices([](const HidDevice& d) { return d.PluggedIn() && !d.Claimed(); });
}

int HidCtl::ClaimedCount() const {
    return CountDevices([](const HidDevice& d) { return d.PluggedIn() && d.Claimed(); });
}

int HidCtl::UnpluggedCount() const {
    return CountDevices([](const HidDevice& d) { return !d.PluggedIn(); });
}

}  // namespace qm
