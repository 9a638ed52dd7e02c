#include "link/SerialPort.h"

#include "link/CustomBaud.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <system_error>

namespace quenda {
namespace {

constexpr int kHighestComNumber = 255;

// Write time-out of the line settings: 5 ms per byte plus 5 ms.
constexpr std::chrono::milliseconds kWritePerByte{5};
constexpr std::chrono::milliseconds kWriteConstant{5};

struct StandardRate {
    unsigned baud;
    speed_t code;
};

constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

const StandardRate* FindStandardRate(unsigned baud) {
    for (const auto& r : kStandardRates) {
        if (r.baud == baud) return &r;
    }
    return nullptr;
}

// Raw 8N1 without flow control; reads return at once with what is queued.
// Settings outside these (HUPCL, IGNPAR, ...) stay as the driver had them.
void MakeRaw(termios& tio) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                          IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

// "COM" followed by 1..255 written the way the numbered search writes it
// (no sign, no leading zero); 0 for any other name.
int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0 || name[3] == '0') return 0;
    int n = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc() || end != last || n < 1 || n > kHighestComNumber) return 0;
    return n;
}

// Waits for `events` on fd until `deadline`. Returns the revents, 0 on
// time-out, -1 on a poll error.
int PollUntil(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, events, 0};
        const int r = poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (r > 0) return p.revents;
        if (r == 0) {
            if (left.count() <= 0) return 0;
            continue;  // woke a little early: poll rounds down
        }
        if (errno != EINTR) return -1;
    }
}

constexpr short kBroken = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

SerialPort::~SerialPort() { Close(); }

std::string SerialPort::DevicePathForPort(const std::string& name) {
    if (const int n = ComNumber(name); n != 0) return "/dev/ttyS" + std::to_string(n - 1);
    if (!name.empty() && name.front() == '/') return name;
    return "/dev/" + name;
}

bool SerialPort::IsUsbSerialPort(const std::string& name) {
    const std::string path = DevicePathForPort(name);
    const std::string node = path.substr(path.rfind('/') + 1);
    return node.starts_with("ttyUSB") || node.starts_with("ttyACM");
}

bool SerialPort::Fail(const std::string& step, int err) {
    lastErrno_ = err;
    lastError_ = err != 0 ? step + ": " + std::error_code(err, std::generic_category()).message() : step;
    return false;
}

bool SerialPort::Open(const std::string& name, unsigned baud) {
    Close();
    lastError_.clear();
    lastErrno_ = 0;
    if (name.empty()) return Fail("no port name", EINVAL);
    if (baud == 0) return Fail("baud rate 0", EINVAL);  // B0 would mean "hang up"

    const std::string path = DevicePathForPort(name);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Fail("open " + path, errno);

    // The flock comes first so that an opener who is turned away never
    // touches the exclusive flag of the holder.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return Fail("lock " + path, err);
    }
    fd_ = fd;
    if (ioctl(fd_, TIOCEXCL) != 0) {
        const int err = errno;
        Close();
        return Fail("exclusive " + path, err);
    }
    if (!Configure(baud)) {
        const int err = errno;
        Close();
        return Fail("configure " + path, err);
    }
    return true;
}

bool SerialPort::Configure(unsigned baud) {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    MakeRaw(tio);
    const StandardRate* rate = FindStandardRate(baud);
    if (rate != nullptr && cfsetspeed(&tio, rate->code) != 0) return false;
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
    if (rate == nullptr && !SetCustomBaud(fd_, baud)) return false;
    return tcflush(fd_, TCIOFLUSH) == 0;
}

bool SerialPort::Close() {
    if (fd_ < 0) return true;
    // The exclusive flag can outlive our descriptor (a pty keeps it while its
    // other side is open), which would lock us out of our own reopen at the
    // transfer rate. We hold the flock, so nobody else relies on the flag.
    ioctl(fd_, TIOCNXCL);
    const int r = ::close(fd_);  // releases the flock too
    fd_ = -1;
    return r == 0;
}

bool SerialPort::Write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return false;
    const auto deadline =
        std::chrono::steady_clock::now() + kWritePerByte * static_cast<long long>(bytes.size()) + kWriteConstant;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return false;  // EIO: the device went away
        const int revents = PollUntil(fd_, POLLOUT, deadline);
        if (revents <= 0 || (revents & kBroken) != 0) return false;
    }
    return true;
}

bool SerialPort::ReadQueued(std::vector<std::uint8_t>& out, std::size_t limit) {
    if (fd_ < 0) return false;
    std::size_t taken = 0;
    for (;;) {
        int queued = 0;
        if (ioctl(fd_, FIONREAD, &queued) != 0) return false;
        if (queued <= 0) {
            // Nothing queued: a hung-up line reads as empty too, so ask poll.
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 0) < 0) return errno == EINTR;
            return (p.revents & kBroken) == 0;
        }
        std::size_t want = static_cast<std::size_t>(queued);
        if (limit != 0) want = std::min(want, limit - taken);
        const std::size_t old = out.size();
        out.resize(old + want);
        ssize_t n;
        do {
            n = ::read(fd_, out.data() + old, want);
        } while (n < 0 && errno == EINTR);
        out.resize(old + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        // FIONREAD promised bytes that read did not deliver: the line is gone.
        if (n <= 0) return n == 0 ? false : errno == EAGAIN;
        taken += static_cast<std::size_t>(n);
        if (limit != 0 && taken >= limit) return true;
    }
}

bool SerialPort::ReadAvailable(std::vector<std::uint8_t>& out) { return ReadQueued(out, 0); }

bool SerialPort::Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) {
    if (fd_ < 0) return false;
    if (wait.count() > 0) {
        const int revents = PollUntil(fd_, POLLIN, std::chrono::steady_clock::now() + wait);
        if (revents < 0) return false;
        if (revents == 0) return true;  // nothing arrived in time
    }
    return ReadQueued(out, maxBytes);
}

}  // namespace quenda
