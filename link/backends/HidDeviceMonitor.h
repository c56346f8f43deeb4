#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace qm {

// Tells its owner, on the UI thread, that the set of HID devices may have changed: at once on a
// hidraw add or remove event where udev runs, and on a periodic re-scan everywhere (no udev, no
// event for another reason, other platforms). A scan that finds nothing new costs little.
class HidDeviceMonitor : public QObject {
public:
    explicit HidDeviceMonitor(std::function<void()> changed, int rescanMs = 1000,
                              QObject* parent = nullptr);
    ~HidDeviceMonitor() override;

    // Whether device events arrive (besides the periodic re-scan).
    bool Watching() const { return notifier_ != nullptr; }

private:
    void OnDeviceEvent();

    std::function<void()> changed_;
    QTimer rescan_;
    QSocketNotifier* notifier_ = nullptr;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};

}  // namespace qm
