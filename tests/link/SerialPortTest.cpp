#include "link/CustomBaud.h"
#include "link/SerialPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <thread>

namespace quenda {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// A pseudo-terminal: the test plays the recorder on the master side, SerialPort
// opens the slave by its port name ("pts/N").
struct Pty {
    Pty() {
        int slave = -1;
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) std::abort();
        path = ttyname(slave);
        ::close(slave);
    }
    ~Pty() { CloseMaster(); }
    std::string Name() const { return path.substr(5); }
    void CloseMaster() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    void Send(const Bytes& b) const { ASSERT_EQ(::write(master, b.data(), b.size()), ssize_t(b.size())); }
    Bytes ReadExactly(std::size_t n) const {
        Bytes out(n);
        std::size_t got = 0;
        for (ssize_t r; got < n && (r = ::read(master, out.data() + got, n - got)) > 0;) got += r;
        out.resize(got);
        return out;
    }
    termios Settings() const {  // a master reports its slave's settings
        termios t{};
        tcgetattr(master, &t);
        return t;
    }
    int master = -1;
    std::string path;
};

// Collects `n` bytes through Receive; a run of idle waits ends it, so a lost
// byte fails the test instead of hanging it.
Bytes ReceiveExactly(SerialPort& port, std::size_t n) {
    Bytes out;
    for (int idle = 0; out.size() < n && idle < 200;) {
        const std::size_t before = out.size();
        if (!port.Receive(out, n - out.size(), 50ms)) break;
        idle = out.size() == before ? idle + 1 : 0;
    }
    return out;
}

int OpenDescriptors() {
    const auto it = std::filesystem::directory_iterator("/proc/self/fd");
    return static_cast<int>(std::distance(begin(it), end(it)));
}

int ExclusiveFlag(const std::string& path) {
    int flag = -1;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ioctl(fd, TIOCGEXCL, &flag);
    ::close(fd);
    return flag;
}

TEST(SerialPort, PortNamesMapToDeviceNodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM12", "/dev/ttyS11"},
        {"COM255", "/dev/ttyS254"},
        // Not a name the numbered search produces: taken as a node name.
        {"COM256", "/dev/COM256"},
        {"COM01", "/dev/COM01"},
        {"COMX", "/dev/COMX"},
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"pts/7", "/dev/pts/7"},
        {"/tmp/x", "/tmp/x"},
    };
    for (const auto& [name, path] : cases) EXPECT_EQ(SerialPort::DevicePathForPort(name), path) << name;
}

TEST(SerialPort, MovesEveryByteValueUnchangedAndNeverWaitsUnasked) {
    Pty pty;
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.Name(), 4800)) << port.LastError();
    EXPECT_TRUE(port.IsConnected());

    Bytes out = {0xEE};  // bytes already held stay
    EXPECT_TRUE(port.ReadAvailable(out));
    EXPECT_TRUE(port.Receive(out, 0, 20ms));  // nothing arriving is no error
    EXPECT_EQ(out, Bytes{0xEE});

    // Bytes a cooked line would translate, swallow or act on.
    const Bytes command = {0x55, 0xAA, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0x00, 0xFF};
    ASSERT_TRUE(port.Write(command));
    EXPECT_EQ(pty.ReadExactly(command.size()), command);

    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    pty.Send(all);
    ASSERT_TRUE(port.Receive(out, 10, 1s));
    EXPECT_LE(out.size(), 11u);  // the limit holds though more is queued
    const Bytes rest = ReceiveExactly(port, 257 - out.size());
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(Bytes(out.begin() + 1, out.end()), all);
}

TEST(SerialPort, EveryOpenAppliesRaw8N1AtItsRate) {
    Pty pty;
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.Name(), 4800));
    termios t = pty.Settings();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), tcflag_t(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cc[VMIN] + t.c_cc[VTIME], 0);

    // The search reopens an identified port at the recorder's transfer rate.
    ASSERT_TRUE(port.Open(pty.Name(), 115200)) << port.LastError();
    t = pty.Settings();
    EXPECT_EQ(cfgetispeed(&t), speed_t(B115200));
    ASSERT_TRUE(port.Open(pty.Name(), 250000)) << port.LastError();  // no termios constant
    EXPECT_EQ(CurrentBaud(pty.master), 250000);
    ASSERT_TRUE(port.Open(pty.Name(), 9600));
    EXPECT_EQ(CurrentBaud(pty.master), 9600);
    EXPECT_FALSE(port.Open(pty.Name(), 0));  // rate 0 would hang the line up
    EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPort, HoldsThePortExclusivelyUntilClosed) {
    Pty pty;
    SerialPort first;
    SerialPort second;
    ASSERT_TRUE(first.Open(pty.Name(), 4800));
    const int fds = OpenDescriptors();
    EXPECT_FALSE(second.Open(pty.Name(), 4800));
    EXPECT_EQ(second.LastErrno(), EBUSY) << second.LastError();
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_EQ(ExclusiveFlag(pty.path), 1);  // the refused opener left the claim alone

    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(first.Close());
    // Left set, the flag would lock an ordinary user out of the reopen.
    EXPECT_EQ(ExclusiveFlag(pty.path), 0);
    ASSERT_TRUE(second.Open(pty.Name(), 4800)) << second.LastError();

    Pty other;  // opening another port releases the one held before
    ASSERT_TRUE(second.Open(other.Name(), 4800));
    EXPECT_TRUE(first.Open(pty.Name(), 4800)) << first.LastError();
}

TEST(SerialPort, FailedOpenLeavesNothingOpenAndSaysWhy) {
    SerialPort port;
    const int fds = OpenDescriptors();
    EXPECT_FALSE(port.Open("ttyQuendaMissing9", 4800));
    EXPECT_EQ(port.LastErrno(), ENOENT);
    EXPECT_EQ(port.LastError(), "open /dev/ttyQuendaMissing9: No such file or directory");

    char file[] = "/tmp/quenda-notatty-XXXXXX";  // opens, but is no terminal
    ::close(mkstemp(file));
    EXPECT_FALSE(port.Open(file, 4800));
    ::unlink(file);
    EXPECT_EQ(port.LastErrno(), ENOTTY) << port.LastError();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(OpenDescriptors(), fds);

    Bytes out;
    EXPECT_FALSE(port.Write(Bytes{1}));
    EXPECT_FALSE(port.ReadAvailable(out));
}

TEST(SerialPort, VanishedPeerFailsReadsAndWritesInsteadOfHanging) {
    Pty pty;
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.Name(), 4800));
    pty.CloseMaster();
    Bytes out;
    EXPECT_FALSE(port.Write(Bytes(64, 0x55)));
    EXPECT_FALSE(port.ReadAvailable(out));
    EXPECT_FALSE(port.Receive(out, 0, 1s));
}

TEST(SerialPort, OneThreadWritesWhileAnotherReads) {
    Pty pty;
    SerialPort port;
    ASSERT_TRUE(port.Open(pty.Name(), 115200));
    std::thread echo([fd = pty.master] {  // the far end sends everything back
        std::uint8_t buf[4096];
        for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) {
            for (ssize_t off = 0, w; off < n; off += w) {
                if ((w = ::write(fd, buf + off, n - off)) <= 0) return;
            }
        }
    });

    Bytes sent(300 * 1024);
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    std::atomic<bool> writesOk{true};
    std::thread writer([&] {
        for (std::size_t off = 0; off < sent.size(); off += 1000) {
            const auto n = std::min<std::size_t>(1000, sent.size() - off);
            if (!port.Write(std::span(sent).subspan(off, n))) writesOk = false;
        }
    });
    const Bytes received = ReceiveExactly(port, sent.size());
    writer.join();
    port.Close();  // the echo's read fails once no slave is open
    echo.join();
    EXPECT_TRUE(writesOk);
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes";
}

}  // namespace
}  // namespace quenda
