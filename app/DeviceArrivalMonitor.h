#pragma once

#include "link/PortDiscovery.h"

#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;
struct udev;
struct udev_monitor;

namespace quenda {

class PortArrivalFilter;

// Tells when a recorder's serial port appears (a USB bridge plugged in, a
// Bluetooth serial link bound): the counterpart of the system's
// device-arrival broadcast. It listens to the kernel's tty events through
// libudev, or where those cannot be had compares the port list every 1.5 s,
// and reports an arrival once the settling delay after the last event has
// passed and the port list holds a new USB or Bluetooth serial port (see
// PortArrivalFilter); one plug-in that announces several ports is one arrival.
class DeviceArrivalMonitor : public QObject {
    Q_OBJECT
public:
    enum class Source { None, KernelEvents, Polling, Injected };
    static constexpr int kPollMilliseconds = 1500;
    // A port is announced before its device node is ready for us (permissions
    // are set a moment later), and one plug-in can announce several ports.
    static constexpr int kSettleMilliseconds = 1000;

    explicit DeviceArrivalMonitor(QObject* parent = nullptr);
    ~DeviceArrivalMonitor() override;

    // Starts listening. `ports` is the port list looked at; when null the
    // system's ports are used.
    Source Start(std::unique_ptr<PortEnumerator> ports = nullptr);
    // Polling only, e.g. in tests with a fake port list.
    void StartPolling(std::unique_ptr<PortEnumerator> ports, int milliseconds = kPollMilliseconds,
                      int settleMilliseconds = kSettleMilliseconds);
    // No event source of its own: events come through DeviceEvent (tests).
    void StartInjected(std::unique_ptr<PortEnumerator> ports, int settleMilliseconds = kSettleMilliseconds);
    Source ActiveSource() const { return source_; }

    // One kernel event on the tty subsystem.
    void DeviceEvent(const char* action, const char* deviceName);

signals:
    void deviceArrived();

private:
    bool StartKernelMonitor();
    void ReadKernelEvent();
    void Watch(std::unique_ptr<PortEnumerator> ports, int settleMilliseconds);
    void Stop();

    Source source_ = Source::None;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* pollTimer_ = nullptr;
    QTimer* settle_ = nullptr;
    std::unique_ptr<PortEnumerator> ports_;
    std::unique_ptr<PortArrivalFilter> filter_;
    bool seenByPoll_ = false;  // a poll saw the new port the settling waits for
};

}  // namespace quenda
