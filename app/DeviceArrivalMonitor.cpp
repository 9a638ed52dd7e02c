#include "app/DeviceArrivalMonitor.h"

#include "app/PortArrival.h"
#include "link/PortDiscovery.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstring>
#include <utility>

#include <libudev.h>

namespace quenda {

DeviceArrivalMonitor::DeviceArrivalMonitor(QObject* parent) : QObject(parent) {}

DeviceArrivalMonitor::~DeviceArrivalMonitor() { Stop(); }

DeviceArrivalMonitor::Source DeviceArrivalMonitor::Start(std::unique_ptr<PortEnumerator> ports) {
    Stop();
    if (!ports) ports = std::make_unique<SystemPortEnumerator>();
    if (StartKernelMonitor()) {
        Watch(std::move(ports), kSettleMilliseconds);
        source_ = Source::KernelEvents;
        return source_;
    }
    StartPolling(std::move(ports));
    return source_;
}

void DeviceArrivalMonitor::StartInjected(std::unique_ptr<PortEnumerator> ports, int settleMilliseconds) {
    Stop();
    Watch(std::move(ports), settleMilliseconds);
    source_ = Source::Injected;
}

void DeviceArrivalMonitor::Watch(std::unique_ptr<PortEnumerator> ports, int settleMilliseconds) {
    ports_ = std::move(ports);
    filter_ = std::make_unique<PortArrivalFilter>(*ports_);  // learns what is already there
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(settleMilliseconds);
    connect(settle_, &QTimer::timeout, this, [this] {
        // Both run: the look also learns which ports went away.
        const bool arrived = filter_->Look() | std::exchange(seenByPoll_, false);
        if (arrived) emit deviceArrived();
    });
}

void DeviceArrivalMonitor::DeviceEvent(const char* action, const char* deviceName) {
    if (settle_ && action && deviceName && PortArrivalFilter::WorthALook(action, deviceName)) settle_->start();
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
    const char* subsystem = udev_device_get_subsystem(device);
    if (subsystem && std::strcmp(subsystem, "tty") == 0) {
        DeviceEvent(udev_device_get_action(device), udev_device_get_sysname(device));
    }
    udev_device_unref(device);
}

void DeviceArrivalMonitor::StartPolling(std::unique_ptr<PortEnumerator> ports, int milliseconds,
                                        int settleMilliseconds) {
    Stop();
    Watch(std::move(ports), settleMilliseconds);
    pollTimer_ = new QTimer(this);
    // A poll that sees a new port starts the settling delay; the arrival is
    // reported after it.
    connect(pollTimer_, &QTimer::timeout, this, [this] {
        if (filter_->Look()) {
            seenByPoll_ = true;
            settle_->start();
        }
    });
    pollTimer_->start(milliseconds);
    source_ = Source::Polling;
}

void DeviceArrivalMonitor::Stop() {
    delete notifier_;
    notifier_ = nullptr;
    delete pollTimer_;
    pollTimer_ = nullptr;
    delete settle_;
    settle_ = nullptr;
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_) udev_unref(udev_);
    udev_ = nullptr;
    filter_.reset();
    seenByPoll_ = false;
    ports_.reset();
    source_ = Source::None;
}

}  // namespace quenda
