// HID through hidapi: enumeration, open, write, and one reader thread per claimed device.
#include "link/backends/HidApiBackend.h"

#include <hidapi/hidapi.h>

#include <QString>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "link/backends/HandOver.h"

#include "link/ReportDescriptor.h"
#include "link/RetryPacing.h"

#if defined(__linux__)
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
// mingw-w64 declares the HID functions without C linkage.
extern "C" {
// clang-format off
#include <hidsdi.h>
#include <hidpi.h>
// clang-format on
}
#endif

namespace qm {

namespace {

// hidapi keeps its last global error in one shared string: calls that set it (init, enumerate,
// open, close) must not run on two threads at once.
std::mutex& HidGlobalLock() {
    static std::mutex m;
    return m;
}

hid_device* OpenPath(const std::string& path) {
    std::lock_guard lock(HidGlobalLock());
    return hid_open_path(path.c_str());
}

void ClosePath(hid_device* device) {
    std::lock_guard lock(HidGlobalLock());
    hid_close(device);
}

#if defined(__linux__)
std::optional<std::vector<std::uint8_t>> DescriptorFromNode(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::optional<std::vector<std::uint8_t>> bytes;
    int size = 0;
    hidraw_report_descriptor d{};
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) == 0 && size >= 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
        d.size = static_cast<__u32>(size);
        if (::ioctl(fd, HIDIOCGRDESC, &d) == 0) bytes.emplace(d.value, d.value + size);
    }
    ::close(fd);
    return bytes;
}

std::filesystem::path SysfsDevice(const std::string& path) {
    return std::filesystem::path("/sys/class/hidraw") / std::filesystem::path(path).filename() /
           "device";
}

// Without access to the node the kernel still shows the descriptor in sysfs.
std::optional<std::vector<std::uint8_t>> DescriptorFromSysfs(const std::string& path) {
    std::ifstream in(SysfsDevice(path) / "report_descriptor", std::ios::binary);
    if (!in) return std::nullopt;
    // No longer than the node would give.
    std::vector<std::uint8_t> bytes(HID_MAX_DESCRIPTOR_SIZE + 1);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const auto n = static_cast<std::size_t>(in.gcount());
    if (n > HID_MAX_DESCRIPTOR_SIZE) return std::nullopt;
    bytes.resize(n);
    return bytes;
}

// The kernel names each HID device "bus:vendor:product.serial", the last part counting up with
// every device it creates: a device plugged in again gets a new name even when its hidraw node
// number comes back.
std::string InstanceOf(const std::string& path) {
    std::error_code ec;
    const auto device = std::filesystem::canonical(SysfsDevice(path), ec);
    return ec ? path : device.filename().string();
}
#elif defined(_WIN32)
std::optional<HidReportLengths> WindowsCapabilities(const std::string& path) {
    // A query-only handle is enough for the HID parser's capabilities.
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<HidReportLengths> result;
    PHIDP_PREPARSED_DATA pp = nullptr;
    if (HidD_GetPreparsedData(h, &pp)) {
        HIDP_CAPS caps{};
        if (HidP_GetCaps(pp, &caps) == HIDP_STATUS_SUCCESS) {
            HidReportLengths l{caps.InputReportByteLength, caps.OutputReportByteLength, false};
            USHORT n = caps.NumberInputValueCaps;
            std::vector<HIDP_VALUE_CAPS> values(n);
            if (n && HidP_GetValueCaps(HidP_Input, values.data(), &n, pp) == HIDP_STATUS_SUCCESS)
                for (USHORT i = 0; i < n; ++i) l.numbered |= values[i].ReportID != 0;
            USHORT b = caps.NumberInputButtonCaps;
            std::vector<HIDP_BUTTON_CAPS> buttons(b);
            if (b && HidP_GetButtonCaps(HidP_Input, buttons.data(), &b, pp) == HIDP_STATUS_SUCCESS)
                for (USHORT i = 0; i < b; ++i) l.numbered |= buttons[i].ReportID != 0;
            result = l;
        }
        HidD_FreePreparsedData(pp);
    }
    CloseHandle(h);
    return result;
}
#endif

class HidApiHandle : public HidHandle {
public:
    HidApiHandle(hid_device* device, std::optional<HidReportLengths> lengths)
        : device_(device), lengths_(lengths) {}
    ~HidApiHandle() override {
        if (device_) ClosePath(device_);
    }
    bool ReadWrite() const override { return device_ != nullptr; }
    std::optional<HidReportLengths> ReportLengths() override { return lengths_; }
    bool Write(std::span<const std::uint8_t> report) override {
        if (!device_ || report.empty()) return false;
        return hid_write(device_, report.data(), report.size()) == static_cast<int>(report.size());
    }

private:
    hid_device* device_;
    std::optional<HidReportLengths> lengths_;
};

// Reads input reports on its own thread and hands each one to the UI thread, waiting until it
// has been handled there. A device that has gone is reopened at a paced interval: it has usually
// been unplugged, and the next scan stops this reader.
class HidApiReader : public HidReader {
public:
    HidApiReader(QObject* context, std::string path, const HidReportLengths& lengths,
                 HidReportHandler deliver)
        : handOver_(context),
          path_(std::move(path)),
          lengths_(lengths),
          deliver_(std::move(deliver)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~HidApiReader() override {
        handOver_.Stop();
        thread_.join();
    }

private:
    void Run() {
        hid_device* device = nullptr;
        RetryPacing pacing;
        // The lengths come from the device; a buffer is never larger than a HID report can be.
        std::vector<std::uint8_t> buffer(std::min(lengths_.input, kMaxHidReportLength) + 1);
        while (!handOver_.Stopped()) {
            if (!device) {
                device = OpenPath(path_);
                if (!device) {
                    handOver_.Pause(pacing.Next());
                    continue;
                }
            }
            // A bounded wait, so that a stop is seen within 100 ms.
            const int n = hid_read_timeout(device, buffer.data(), buffer.size(), 100);
            if (n < 0) {
                ClosePath(device);
                device = nullptr;
                handOver_.Pause(pacing.Next());
                continue;
            }
            if (n == 0) continue;
            pacing.Reset();
            // hidapi leaves the report ID byte in front only for numbered reports.
            std::span<const std::uint8_t> data(buffer.data(), static_cast<std::size_t>(n));
            if (lengths_.numbered) data = data.subspan(1);
            handOver_.Run([this, data] { deliver_(data); });
        }
        if (device) ClosePath(device);
    }

    UiHandOver handOver_;
    std::string path_;
    HidReportLengths lengths_;
    HidReportHandler deliver_;
    std::thread thread_;
};

}  // namespace

std::optional<HidReportLengths> ReadReportLengths(const std::string& path) {
#if defined(__linux__)
    auto descriptor = DescriptorFromNode(path);
    if (!descriptor) descriptor = DescriptorFromSysfs(path);
    if (!descriptor) return std::nullopt;
    return ReportLengthsFromDescriptor(*descriptor);
#elif defined(_WIN32)
    return WindowsCapabilities(path);
#else
    (void)path;
    return std::nullopt;
#endif
}

HidApiBackend::HidApiBackend(QObject* context) : context_(context) {
    std::lock_guard lock(HidGlobalLock());
    hid_init();
}

HidApiBackend::~HidApiBackend() {
    std::lock_guard lock(HidGlobalLock());
    hid_exit();
}

std::vector<HidInterfaceInfo> HidApiBackend::Enumerate() {
    std::vector<HidInterfaceInfo> out;
    std::lock_guard lock(HidGlobalLock());
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* d = list; d; d = d->next) {
        if (!d->path) continue;
        HidInterfaceInfo info;
        info.path = d->path;
#if defined(__linux__)
        info.instance = InstanceOf(info.path);
#else
        info.instance = info.path;
#endif
        if (d->product_string)
            info.productString = QString::fromWCharArray(d->product_string).toStdString();
        out.push_back(std::move(info));
    }
    hid_free_enumeration(list);
    return out;
}

std::unique_ptr<HidHandle> HidApiBackend::Open(const std::string& path) {
    const auto lengths = ReadReportLengths(path);
    hid_device* device = OpenPath(path);
    // Neither readable nor writable, nor even describable: the interface cannot be used at all.
    if (!device && !lengths) return nullptr;
    return std::make_unique<HidApiHandle>(device, lengths);
}

std::unique_ptr<HidReader> HidApiBackend::StartReader(const std::string& path,
                                                      const HidReportLengths& lengths,
                                                      HidReportHandler deliver) {
    return std::make_unique<HidApiReader>(context_, path, lengths, std::move(deliver));
}

}  // namespace qm
