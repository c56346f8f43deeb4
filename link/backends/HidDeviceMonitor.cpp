#include "link/backends/HidDeviceMonitor.h"

#include <QSocketNotifier>

#ifdef QMC_HAVE_UDEV
#include <libudev.h>
#endif

namespace qm {

HidDeviceMonitor::HidDeviceMonitor(std::function<void()> changed, int rescanMs, QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
    rescan_.setInterval(rescanMs);
    connect(&rescan_, &QTimer::timeout, this, [this] { changed_(); });
    rescan_.start();
#ifdef QMC_HAVE_UDEV
    udev_ = udev_new();
    if (udev_) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ &&
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(monitor_) >= 0) {
        notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { OnDeviceEvent(); });
    }
#endif
}

HidDeviceMonitor::~HidDeviceMonitor() {
    delete notifier_;
#ifdef QMC_HAVE_UDEV
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
#endif
}

void HidDeviceMonitor::OnDeviceEvent() {
#ifdef QMC_HAVE_UDEV
    // Take every queued event, then scan once.
    while (udev_device* d = udev_monitor_receive_device(monitor_)) udev_device_unref(d);
#endif
    changed_();
}

}  // namespace qm
