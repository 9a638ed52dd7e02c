#include "integration/SimProcess.h"

#include "device/Commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace quenda::test {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

// The port as a host opens it: raw, non-blocking.
class RawPort {
public:
    explicit RawPort(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
        if (fd_ < 0) return;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
        tcflush(fd_, TCIOFLUSH);
    }
    ~RawPort() {
        if (fd_ >= 0) close(fd_);
    }
    bool IsOpen() const { return fd_ >= 0; }

    bool Send(const CommandFrame& c) { return write(fd_, c.data(), c.size()) == static_cast<ssize_t>(c.size()); }

    // Reads until `count` bytes have come or nothing came for `quiet`.
    Bytes Read(std::size_t count, std::chrono::milliseconds quiet = std::chrono::seconds(5)) {
        Bytes out;
        while (out.size() < count) {
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(quiet.count())) <= 0) break;
            std::uint8_t buf[4096];
            const ssize_t n = read(fd_, buf, std::min(sizeof buf, count - out.size()));
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

private:
    int fd_;
};

TEST(SimProcess, ServesAHostThatReopensThePort) {
    SimProcess sim({"--ids", "3:100", "--samples-per-frame", "40", "--product-code", "0x0020"});
    {
        RawPort identifying(sim.path());
        ASSERT_TRUE(identifying.IsOpen());
        ASSERT_TRUE(identifying.Send(MakeCommand(kIdentifyDevice)));
        const Bytes info = identifying.Read(kReplyWindowBytes);
        ASSERT_EQ(info.size(), kReplyWindowBytes);
        EXPECT_THAT(Bytes(info.begin(), info.begin() + 9),
                    ElementsAre(0x55, 0xAA, 0x00, 0xFF, 0xFF, 0x00, 0x20, 0x00, 0x02));
    }
    RawPort transfer(sim.path());
    ASSERT_TRUE(transfer.IsOpen());
    ASSERT_TRUE(transfer.Send(MakeCommand(kQueryTotals)));
    const Bytes totals = transfer.Read(kReplyWindowBytes);
    ASSERT_EQ(totals.size(), kReplyWindowBytes);
    EXPECT_EQ(totals[10], 3) << "100 samples at 40 per frame";

    ASSERT_TRUE(transfer.Send(MakeFrameRequest(2, false)));
    const Bytes last = transfer.Read(8 + 20 * 8);
    ASSERT_EQ(last.size(), 8u + 20u * 8u);
    EXPECT_EQ(last[4], 2);
    EXPECT_EQ(last[6], 20 * 8);
    ASSERT_TRUE(transfer.Send(MakeCommand(kStopTransfer)));

    ASSERT_TRUE(sim.waitForLogLine("stop"));
    EXPECT_THAT(sim.log(), ElementsAre("identify", "totals", "frame 2", "stop"));
    const int status = sim.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "SIGTERM ends it cleanly";
}

TEST(SimProcess, StopCutsAFrameShort) {
    // 524 samples at 1,200 baud take 34 s to send: the stop arrives long before.
    SimProcess sim({"--ids", "1:524", "--samples-per-frame", "524", "--baud", "1200"});
    RawPort port(sim.path());
    ASSERT_TRUE(port.Send(MakeFrameRequest(0, false)));
    const Bytes start = port.Read(16);
    ASSERT_EQ(start.size(), 16u);
    ASSERT_TRUE(port.Send(MakeCommand(kStopTransfer)));
    ASSERT_TRUE(sim.waitForLogLine("stop"));
    const Bytes rest = port.Read(kFrameBufferBytes, std::chrono::milliseconds(300));
    EXPECT_LT(start.size() + rest.size(), kFrameBufferBytes);
}

TEST(SimProcess, LinkFollowsTheProcessLifetime) {
    const std::string link = "/tmp/quenda-sim-test-link-" + std::to_string(getpid());
    std::filesystem::create_symlink("/nonexistent", link);  // a stale link is replaced
    {
        SimProcess sim({"--link", link, "--no-pacing"});
        EXPECT_EQ(std::filesystem::read_symlink(link), sim.path());
        RawPort port(link);
        ASSERT_TRUE(port.Send(MakeCommand(kIdentifyDevice)));
        EXPECT_EQ(port.Read(kReplyWindowBytes).size(), kReplyWindowBytes);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimProcess, UsageErrorsExitWithStatus2) {
    const std::string command = std::string(SimProcess::kDefaultBinary) + " --fault explode 2>/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_THROW(SimProcess({"--samples-per-frame", "0"}), std::runtime_error);
}

}  // namespace
}  // namespace quenda::test
