#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/HidBackend.h"

namespace qm {

// The HID platform layer through hidapi. Report lengths come from the device's report
// descriptor (Linux: the hidraw node, or sysfs when the node may not be opened; Windows: the
// HID parser's capabilities). Each reader is a thread of its own that hands every report to the
// thread of `context` (the UI thread) and waits until it has been handled.
class HidApiBackend : public HidBackend {
public:
    explicit HidApiBackend(QObject* context);
    ~HidApiBackend() override;

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidHandle> Open(const std::string& path) override;
    std::unique_ptr<HidReader> StartReader(const std::string& path, const HidReportLengths& lengths,
                                           HidReportHandler deliver) override;

private:
    QPointer<QObject> context_;
};

// The report lengths of the HID interface at `path`, without opening it for reading or writing.
std::optional<HidReportLengths> ReadReportLengths(const std::string& path);

}  // namespace qm
