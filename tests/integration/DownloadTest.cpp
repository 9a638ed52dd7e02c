// The download engine over a real serial port (a pseudo-terminal) against the
// recorder simulator: the whole road from identification to decoded samples,
// and the ways a download can end early.
#include "base/Settings.h"
#include "device/CaptureEngine.h"
#include "device/Messages.h"
#include "integration/SimProcess.h"
#include "link/SerialPort.h"
#include "support/FakeLink.h"
#include "support/FakeSerialLink.h"
#include "support/TempDir.h"
#include "tools/sim/Options.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>

namespace quenda {
namespace {

using namespace std::chrono_literals;

// Messages may come from the worker threads.
class LockedLog final : public MessageSink {
public:
    void ShowMessage(std::string_view text) override {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(text);
    }
    std::vector<std::string> Messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

// What the simulator started with these arguments holds, oldest first.
std::map<int, std::vector<SampleRecord>> Expected(const std::vector<std::string>& args) {
    auto parsed = sim::ParseOptions(args);
    EXPECT_EQ(parsed.error, "");
    return sim::RecorderModel(parsed.options.recorder).Recordings();
}

class DownloadFixture : public ::testing::Test {
protected:
    void SetUp() override { settings = std::make_unique<Settings>(dir / "Quenda.ini"); }
    void TearDown() override { engine.reset(); }

    void StartSim(std::vector<std::string> args) {
        simArgs = args;
        sim = std::make_unique<test::SimProcess>(args);
        engine = std::make_unique<CaptureEngine>(store, *settings, port, enumerator, log, clock);
        engine->SetCallbacks({
            {},
            [this](std::uint32_t frames) {
                std::lock_guard lock(mutex);
                lastProgress = frames;
            },
            [this](ReceiveResult r) {
                {
                    std::lock_guard lock(mutex);
                    result = r;
                }
                cv.notify_all();
            },
        });
        engine->Open();
        engine->RestrictToPort(sim->path());
    }

    std::optional<ReceiveResult> WaitForDone(std::chrono::seconds limit = 60s) {
        std::unique_lock lock(mutex);
        cv.wait_for(lock, limit, [this] { return result.has_value(); });
        return result;
    }

    void ExpectEverySample() {
        for (const auto& [id, samples] : Expected(simArgs)) {
            ASSERT_EQ(store.IdCount(id), static_cast<int>(samples.size())) << "ID " << id;
            store.SelectId(id, TraitsFor(store.DataFormatCode).recordOrder);
            const auto current = store.CurrentSamples();
            EXPECT_TRUE(std::equal(current.begin(), current.end(), samples.begin())) << "ID " << id;
        }
    }

    test::TempDir dir{"quenda-download"};
    RecordingStore store;
    std::unique_ptr<Settings> settings;
    SerialPort port;
    test::FakeEnumerator enumerator;
    LockedLog log;
    SystemClock clock;
    std::unique_ptr<test::SimProcess> sim;
    std::unique_ptr<CaptureEngine> engine;
    std::vector<std::string> simArgs;

    std::mutex mutex;
    std::condition_variable cv;
    std::optional<ReceiveResult> result;
    std::uint32_t lastProgress = 0;
};

TEST_F(DownloadFixture, DownloadsEveryIdInTimeOrderForBothByteOrders) {
    for (const char* code : {"2", "3"}) {
        SCOPED_TRACE(code);
        result.reset();
        StartSim({"--ids", "1:700,12:1500", "--samples-per-frame", "100", "--format-code", code, "--baud", "460800"});
        ASSERT_EQ(engine->Start(), ConnectionState::Connected);
        EXPECT_EQ(engine->FramesToDownload(), 22);
        ASSERT_EQ(WaitForDone(), ReceiveResult::Complete);
        EXPECT_EQ(lastProgress, 22u);
        EXPECT_EQ(store.FramesReceived, 22u);
        engine->Stop();
        ExpectEverySample();
        EXPECT_EQ(engine->IdLines(), (std::vector<std::string>{"ID   1     total        700 Groups",
                                                               "ID  12     total       1500 Groups"}));
        EXPECT_EQ(log.Messages().back(), "Connect succeed! Total 22 Frames!");
        EXPECT_TRUE(sim->waitForLogLine("stop"));
    }
}

TEST_F(DownloadFixture, StrayBytesADroppedFrameAndAnOversizeFrameAreRecovered) {
    // Paced, so the oversize frame arrives over several polls as it would
    // from a UART; all at once it would be more than one poll may bring.
    StartSim({"--ids", "3:1000", "--samples-per-frame", "100", "--baud", "921600", "--fault", "garbage:2:3", "--fault",
              "drop-frame:4", "--fault", "oversize:6", "--fault", "garbage:8:1"});
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    ASSERT_EQ(WaitForDone(), ReceiveResult::Complete);
    engine->Stop();
    ExpectEverySample();
    const auto lines = sim->log();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "frame 4"), 2);  // asked again after the idle spell
}

TEST_F(DownloadFixture, SilenceEndsInATimeoutAndKeepsWhatWasDecoded) {
    StartSim({"--ids", "5:1000", "--samples-per-frame", "100", "--no-pacing", "--fault", "silent-after:3"});
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    ASSERT_EQ(WaitForDone(), ReceiveResult::Timeout);
    EXPECT_EQ(log.Messages().back(), msg::kReadTimeout);
    engine->Stop();
    EXPECT_EQ(store.IdCount(5), 400);
    const auto lines = sim->log();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "frame 4"), 5);  // the request and four repeats
}

TEST_F(DownloadFixture, RecorderCanEndOrRefuseTheTransferEarly) {
    StartSim({"--ids", "5:1000", "--samples-per-frame", "100", "--no-pacing", "--fault", "end-early:4"});
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    ASSERT_EQ(WaitForDone(), ReceiveResult::Complete);
    engine->Stop();
    EXPECT_EQ(store.IdCount(5), 400);

    result.reset();
    StartSim({"--ids", "5:1000", "--samples-per-frame", "100", "--no-pacing", "--fault", "refuse:2"});
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    ASSERT_EQ(WaitForDone(), ReceiveResult::Complete);
    engine->Stop();
    EXPECT_EQ(store.IdCount(5), 200);
}

TEST_F(DownloadFixture, StopInMidDownloadIsPromptAndAStartBeginsAgainAtFrameZero) {
    StartSim({"--ids", "1:8h", "--samples-per-frame", "512"});  // minutes at 115,200 baud
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    ASSERT_TRUE(sim->waitForLogLine("frame 2"));
    const auto before = std::chrono::steady_clock::now();
    engine->Stop();
    // Its own waits are 1.1 s; anything near that means no thread was left hanging.
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2500ms);
    EXPECT_FALSE(engine->DownloadActive());
    EXPECT_FALSE(result.has_value());  // a stopped download reports nothing
    EXPECT_GT(store.IdCount(1), 0);    // what was decoded stays until the next Start

    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    EXPECT_LT(store.IdCount(1), 1024);  // the store was cleared
    auto framesZero = [this] {
        const auto lines = sim->log();
        return std::count(lines.begin(), lines.end(), "frame 0");
    };
    for (int i = 0; i < 500 && framesZero() < 2; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(framesZero(), 2);
    engine->Stop();
}

TEST_F(DownloadFixture, APortThatVanishesEndsTheDownloadWithAReadFailure) {
    StartSim({"--ids", "1:8h", "--samples-per-frame", "512"});
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    ASSERT_TRUE(sim->waitForLogLine("frame 2"));
    sim->Stop();
    ASSERT_EQ(WaitForDone(), ReceiveResult::ReadFailed);
    EXPECT_EQ(log.Messages().back(), msg::kReadFailed);
    engine->Stop();
    EXPECT_GT(store.IdCount(1), 0);
}

TEST_F(DownloadFixture, EmptyRecorderAndWrongProductEndTheConnectStep) {
    StartSim({"--fault", "zero-totals"});
    EXPECT_EQ(engine->Start(), ConnectionState::NoData);
    EXPECT_EQ(log.Messages().back(), msg::kNoData);

    StartSim({"--fault", "product-code:31"});
    EXPECT_EQ(engine->Start(), ConnectionState::NoPort);
    EXPECT_EQ(log.Messages().back(), msg::kNoPort);
}

TEST_F(DownloadFixture, RememberedPtyPortIsFoundWithoutRestriction) {
    // "pts/N" fits the nine characters the remembered port may have.
    StartSim({"--ids", "2:300", "--no-pacing"});
    const std::string name = sim->path().substr(std::string("/dev/").size());
    ASSERT_LE(name.size(), 9u);
    settings->WriteString("DefaultCOM", name);
    engine = std::make_unique<CaptureEngine>(store, *settings, port, enumerator, log, clock);
    engine->SetCallbacks({{}, {}, [this](ReceiveResult r) {
                              std::lock_guard lock(mutex);
                              result = r;
                              cv.notify_all();
                          }});
    engine->Open();
    ASSERT_EQ(engine->Start(), ConnectionState::Connected);
    EXPECT_EQ(engine->FoundPort(), name);
    ASSERT_EQ(WaitForDone(), ReceiveResult::Complete);
    engine->Stop();
    EXPECT_EQ(store.IdCount(2), 300);
}

}  // namespace
}  // namespace quenda
