#include "app/DeviceArrivalMonitor.h"

#include "app/PortArrival.h"
#include "link/PortDiscovery.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstring>

#include <libudev.h>

namespace quenda {

DeviceArrivalMonitor::DeviceArrivalMonitor(QObject* parent) : QObject(parent) {}

DeviceArrivalMonitor::~DeviceArrivalMonitor() { Stop(); }

DeviceArrivalMonitor::Source DeviceArrivalMonitor::Start(std::unique_ptr<PortEnumerator> ports) {
    Stop();
    if (StartKernelMonitor()) {
        source_ = Source::KernelEvents;
        return source_;
    }
    StartPolling(ports ? std::move(ports) : std::make_unique<SystemPortEnumerator>());
    return source_;
}

bool DeviceArrivalMonitor::StartKernelMonitor() {
    // The kernel's own event stream: the udev daemon's stream needs a running
    // daemon, which containers and minimal systems lack.
    udev_ = udev_new();
    if (!udev_) return false;
    monitor_ = udev_monitor_new_from_netlink(udev_, "kernel");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        Stop();
        return false;
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceArrivalMonitor::ReadKernelEvent);
    return true;
}

void DeviceArrivalMonitor::ReadKernelEvent() {
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) return;
    const char* action = udev_device_get_action(device);
    const char* subsystem = udev_device_get_subsystem(device);
    const bool arrived = action && subsystem && std::strcmp(action, "add") == 0 && std::strcmp(subsystem, "tty") == 0;
    udev_device_unref(device);
    if (arrived) emit deviceArrived();
}

void DeviceArrivalMonitor::StartPolling(std::unique_ptr<PortEnumerator> ports, int milliseconds) {
    Stop();
    ports_ = std::move(ports);
    poller_ = std::make_unique<PortArrivalPoller>(*ports_);
    poller_->Poll();  // learn what is already there
    pollTimer_ = new QTimer(this);
    connect(pollTimer_, &QTimer::timeout, this, [this] {
        if (poller_->Poll()) emit deviceArrived();
    });
    pollTimer_->start(milliseconds);
    source_ = Source::Polling;
}

void DeviceArrivalMonitor::Stop() {
    delete notifier_;
    notifier_ = nullptr;
    delete pollTimer_;
    pollTimer_ = nullptr;
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_) udev_unref(udev_);
    udev_ = nullptr;
    poller_.reset();
    ports_.reset();
    source_ = Source::None;
}

}  // namespace quenda
