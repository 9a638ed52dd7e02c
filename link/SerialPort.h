#pragma once

#include "link/SerialLink.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// One serial port to the recorder, opened by its port name with fixed raw 8N1
// line settings, moving bytes without ever waiting for them to arrive.
//
// Port names: "COM1".."COM255" map to /dev/ttyS0../dev/ttyS254 (so the numbered
// search and a remembered "COMn" keep working), an absolute path is used as
// given, and anything else is a node under /dev ("ttyUSB0", "pts/7").
//
// Access is exclusive: TIOCEXCL keeps out later opens by ordinary users, and
// an flock on the device keeps out a second SerialPort that TIOCEXCL lets through
// (one running as root).
//
// Threading: once open, one thread may Write/Send while another calls
// ReadAvailable/Receive; the only state they share is the file descriptor,
// which neither changes. Open, Close and destruction change it and must not
// run while any I/O call is in progress: the owner stops and joins its I/O
// threads first.
class SerialPort : public SerialLink {
public:
    SerialPort() = default;
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The device node a port name refers to (see the class comment).
    static std::string DevicePathForPort(const std::string& name);
    // Whether the port is a USB serial adapter: its node is one the kernel's
    // USB serial and modem drivers make (ttyUSBn, ttyACMn).
    static bool IsUsbSerialPort(const std::string& name);

    // Closes any open port, then opens `name` at `baud` bits per second, raw
    // 8N1, no flow control, and purges both queues. Rates with a termios
    // constant are set the portable way; any other non-zero rate is asked of
    // the driver as a custom rate (BOTHER), which the driver rounds to what
    // its hardware can do. On failure nothing stays open and LastError() says
    // why.
    bool Open(const std::string& name, unsigned baud) override;

    // Releases the port. True when nothing was open or the release succeeded;
    // either way no port is held afterwards.
    bool Close() override;
    bool IsOpen() const override { return fd_ >= 0; }

    // True only when every byte was handed to the driver within 5 ms per byte
    // plus 5 ms. A port whose device vanished fails at once.
    bool Write(std::span<const std::uint8_t> bytes);

    // Appends every byte the driver holds right now, never waiting. False when
    // the port is not open, cannot be queried or read (the device vanished);
    // bytes appended before the failure stay appended.
    bool ReadAvailable(std::vector<std::uint8_t>& out);

    // Why the last Open failed, e.g. "open /dev/ttyUSB0: Permission denied",
    // and its errno (0 when the reason was not a system error). A port held by
    // another opener reports EBUSY whichever of the two locks refused it.
    // Only Open sets these; I/O failures are reported by their results alone.
    const std::string& LastError() const { return lastError_; }
    int LastErrno() const { return lastErrno_; }
    std::string OpenFailureReason() const override { return lastError_; }
    int OpenFailureErrno() const override { return lastErrno_; }

    // ByteStream
    bool Send(std::span<const std::uint8_t> bytes) override { return Write(bytes); }
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) override;
    bool IsConnected() override { return IsOpen(); }

private:
    bool Fail(const std::string& step, int err);
    bool Configure(unsigned baud);
    // Reads what is queued, at most `limit` bytes (0: no limit).
    bool ReadQueued(std::vector<std::uint8_t>& out, std::size_t limit);

    int fd_ = -1;
    std::string lastError_;
    int lastErrno_ = 0;
};

}  // namespace quenda
