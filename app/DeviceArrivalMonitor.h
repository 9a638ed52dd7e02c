#pragma once

#include "link/PortDiscovery.h"

#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;
struct udev;
struct udev_monitor;

namespace quenda {

class PortArrivalPoller;

// Tells when a serial port appears (a recorder's USB bridge plugged in): the
// counterpart of the system's device-arrival broadcast, which announces new
// ports. It listens to the kernel's device events through libudev; where those
// cannot be had it compares the port list every 1.5 s instead.
class DeviceArrivalMonitor : public QObject {
    Q_OBJECT
public:
    enum class Source { None, KernelEvents, Polling };
    static constexpr int kPollMilliseconds = 1500;

    explicit DeviceArrivalMonitor(QObject* parent = nullptr);
    ~DeviceArrivalMonitor() override;

    // Starts listening. `ports` serves the polling fallback; when null the
    // system's ports are used.
    Source Start(std::unique_ptr<PortEnumerator> ports = nullptr);
    // Polling only, e.g. in tests with a fake port list.
    void StartPolling(std::unique_ptr<PortEnumerator> ports, int milliseconds = kPollMilliseconds);
    Source ActiveSource() const { return source_; }

signals:
    void deviceArrived();

private:
    bool StartKernelMonitor();
    void ReadKernelEvent();
    void Stop();

    Source source_ = Source::None;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    std::unique_ptr<PortEnumerator> ports_;
    std::unique_ptr<PortArrivalPoller> poller_;
};

}  // namespace quenda
