// The connect step and the maintenance commands: which ports are tried in
// which order, what is remembered, what the user is told. Single-threaded on
// virtual time; the download itself is tested against the simulator.
#include "base/Settings.h"
#include "device/CaptureEngine.h"
#include "device/Messages.h"
#include "support/FakeLink.h"
#include "support/FakeSerialLink.h"
#include "support/Replies.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace quenda {
namespace {

using test::Bytes;

constexpr std::uint8_t kIdentify = 0xFD, kTotals = 0xFE, kStop = 0xF3, kDelete = 0xF4, kClockLow = 0xF7,
                       kClockHigh = 0xF8;

// A recorder that answers identification at 4,800 baud and everything else
// at its transfer rate.
test::FakeSerialLink::Peer Recorder(int frames, int formatCode = 2, std::uint16_t product = 0x1E) {
    return [=](const Bytes& cmd, unsigned baud) -> Bytes {
        switch (cmd[2]) {
            case kIdentify: return baud == 4800 ? test::DeviceInfoReply(product, formatCode, 115200) : Bytes{};
            case kTotals: return baud == 115200 ? test::TotalsReply(frames) : Bytes{};
            case kDelete: return test::Ack(0xFA);
            case kClockLow: return test::Ack(0xF9);
            case kClockHigh: return test::Ack(0xF9);
            default: return {};
        }
    };
}

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_unique<Settings>(dir / "Quenda.ini");
        engine = std::make_unique<CaptureEngine>(store, *settings, serial, enumerator, log, clock);
    }
    void TearDown() override { engine.reset(); }
    std::vector<std::string> OpenedNames() const {
        std::vector<std::string> names;
        for (const auto& o : serial.opens) names.push_back(o.substr(0, o.find('@')));
        return names;
    }
    bool Sent(const std::string& port, std::uint8_t code) const {
        return std::find(serial.sent.begin(), serial.sent.end(), port + ":" + std::to_string(code)) !=
               serial.sent.end();
    }

    test::TempDir dir{"quenda-engine"};
    RecordingStore store;
    std::unique_ptr<Settings> settings;
    test::FakeSerialLink serial;
    test::FakeEnumerator enumerator;
    test::MessageLog log;
    test::FakeClock clock;
    std::unique_ptr<CaptureEngine> engine;
};

TEST_F(EngineFixture, RememberedPortFirstThenCp210AndTheAnsweringPortIsRemembered) {
    settings->WriteString("DefaultCOM", "COM3");
    enumerator.names = {"Silicon Labs CP2102 USB to UART Bridge Controller (COM4)"};
    serial.present = {"COM3", "COM4"};
    serial.peers["COM4"] = Recorder(0);

    engine->Open();
    EXPECT_EQ(engine->Start(), ConnectionState::NoData);
    EXPECT_EQ(serial.opens, (std::vector<std::string>{"COM3@4800", "COM4@4800", "COM4@115200"}));
    EXPECT_EQ(settings->ReadString("DefaultCOM", "", 10), "COM4");
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kNoData});
    EXPECT_TRUE(Sent("COM4", kStop));
    EXPECT_FALSE(serial.IsOpen());
}

TEST_F(EngineFixture, ConnectDoesNotRewriteTheRememberedPortButMaintenanceDoes) {
    settings->WriteString("DefaultCOM", "ttyUSB0");
    serial.present = {"ttyUSB0"};
    serial.peers["ttyUSB0"] = Recorder(0);
    engine->Open();
    std::filesystem::remove(settings->File());
    engine->Start();
    EXPECT_FALSE(std::filesystem::exists(settings->File()));

    engine->SetDeviceClock(DeviceClockWord(2026, 12, 7, 8, 0, 0));
    EXPECT_EQ(settings->ReadString("DefaultCOM", "", 10), "ttyUSB0");
}

TEST_F(EngineFixture, EachOperationIsLoggedByteForByte) {
    serial.present = {"ttyUSB0"};
    serial.peers["ttyUSB0"] = Recorder(0);
    ExchangeLog exchanges;
    engine->SetExchangeLog(&exchanges);
    engine->RestrictToPort("ttyUSB0");
    EXPECT_EQ(engine->Start(), ConnectionState::NoData);

    Bytes received = test::DeviceInfoReply(0x1E, 2, 115200);
    const Bytes totals = test::TotalsReply(0);
    received.insert(received.end(), totals.begin(), totals.end());
    EXPECT_EQ(exchanges.ReceivedBytes(), received);
    const std::string text = exchanges.Text();
    EXPECT_TRUE(text.starts_with("+")) << text;  // seconds since the operation began
    EXPECT_TRUE(text.substr(0, text.find('\n')).ends_with(" s  > 55 AA FD 00 00 FD")) << text;
    EXPECT_NE(text.find("< 55 AA 00 FF FF 00 1E 00 02 00 01 C2 00"), std::string::npos) << text;
    EXPECT_NE(text.find("> 55 AA F3 00 00 F3"), std::string::npos);

    // The next operation starts a new log.
    engine->SetDeviceClock(DeviceClockWord(2026, 12, 7, 8, 0, 0));
    EXPECT_EQ(exchanges.ReceivedBytes().front(), 0x55);
    const std::string again = exchanges.Text();
    EXPECT_TRUE(again.substr(0, again.find('\n')).ends_with(" s  > 55 AA FD 00 00 FD")) << again;
    EXPECT_EQ(exchanges.Text().find("55 AA FE"), std::string::npos);  // no totals asked this time
}

TEST(ExchangeLog, KeepsAtMostItsBoundAndSaysHowMuchMore) {
    ExchangeLog exchanges;
    const Bytes chunk(ExchangeLog::kMaxBytes / 2 + 1, 0xAB);
    exchanges.Record(ExchangeLog::Direction::Received, chunk);
    exchanges.Record(ExchangeLog::Direction::Received, chunk);
    exchanges.Record(ExchangeLog::Direction::Sent, Bytes{1, 2});
    EXPECT_EQ(exchanges.ReceivedBytes().size(), ExchangeLog::kMaxBytes);
    EXPECT_NE(exchanges.Text().find("(2 more bytes received not kept)"), std::string::npos);
    exchanges.Clear();
    EXPECT_TRUE(exchanges.Empty());
    EXPECT_TRUE(exchanges.ReceivedBytes().empty());
}

TEST_F(EngineFixture, NoRecorderTriesEveryPortAndSkipsBluetoothOnlyWhenConnecting) {
    enumerator.names = {"Standard Serial over Bluetooth link (COM7)", "Communications Port (COM1)"};
    serial.present = {"COM1", "COM7"};
    engine->Open();
    EXPECT_EQ(engine->Start(), ConnectionState::NoPort);
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kNoPort});
    auto names = OpenedNames();
    EXPECT_EQ(names.size(), 1u + 254u);  // COM1 from the list, then COM1..COM255 less COM7
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM7"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM1"), 2);
    EXPECT_EQ(settings->ReadString("DefaultCOM", "", 10), "");

    serial.opens.clear();
    log.messages.clear();
    EXPECT_FALSE(engine->DeleteDeviceData(0, 0));
    names = OpenedNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "COM7"), 1);
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kNoPort});
}

TEST_F(EngineFixture, APortRefusedForPermissionIsKeptThroughTheRestOfTheSearch) {
    // The numbered pass that ends a failed search must not hide the refusal.
    enumerator.names = {"CP2102 (ttyUSB0)", "CP2102 (ttyUSB1)"};
    serial.present = {"ttyUSB0", "ttyUSB1"};
    serial.refused = {"ttyUSB1", "ttyUSB0"};
    engine->Open();
    EXPECT_EQ(engine->Start(), ConnectionState::NoPort);
    EXPECT_EQ(engine->RefusedPort(), "ttyUSB0");

    // A new search starts afresh.
    serial.refused.clear();
    serial.peers["ttyUSB1"] = Recorder(0);
    engine->Start();
    EXPECT_EQ(engine->RefusedPort(), "");
}

TEST_F(EngineFixture, ProductCodeMismatchMovesOnToTheNextPort) {
    enumerator.names = {"CP2104 (ttyUSB0)", "CP2104 (ttyUSB1)"};
    serial.present = {"ttyUSB0", "ttyUSB1"};
    serial.peers["ttyUSB0"] = Recorder(5, 2, 0x1F);
    serial.peers["ttyUSB1"] = Recorder(0, 4);
    engine->Open();
    EXPECT_EQ(engine->Start(), ConnectionState::NoData);
    EXPECT_EQ(engine->FoundPort(), "ttyUSB1");
    EXPECT_EQ(store.DataFormatCode, 4);
}

TEST_F(EngineFixture, FailedTotalsEndTheSearchOnThatPortWithSyncError) {
    enumerator.names = {"CP2102 (ttyUSB0)", "CP2102 (ttyUSB1)"};
    serial.present = {"ttyUSB0", "ttyUSB1"};
    serial.peers["ttyUSB0"] = [](const Bytes& cmd, unsigned) {
        return cmd[2] == kIdentify ? test::DeviceInfoReply(0x1E, 2, 115200) : Bytes{};
    };
    serial.peers["ttyUSB1"] = Recorder(7);
    engine->Open();
    EXPECT_EQ(engine->Start(), ConnectionState::SyncError);
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kSyncError});
    EXPECT_EQ(std::count(serial.opens.begin(), serial.opens.end(), "ttyUSB1@4800"), 0);
    EXPECT_TRUE(Sent("ttyUSB0", kStop));
    EXPECT_EQ(engine->FramesToDownload(), 0);
}

TEST_F(EngineFixture, ReopenFailureSkipsThePortExceptForTheClock) {
    enumerator.names = {"CP2102 (ttyUSB0)", "CP2102 (ttyUSB1)"};
    serial.present = {"ttyUSB0", "ttyUSB1"};
    serial.peers["ttyUSB0"] = Recorder(0);
    serial.peers["ttyUSB1"] = Recorder(0);
    serial.refuseBaud = {115200};
    engine->Open();
    EXPECT_EQ(engine->Start(), ConnectionState::NoPort);
    EXPECT_EQ(std::count(serial.opens.begin(), serial.opens.end(), "ttyUSB1@4800"), 1);

    serial.opens.clear();
    log.messages.clear();
    EXPECT_FALSE(engine->SetDeviceClock(1));
    EXPECT_EQ(serial.opens.front(), "ttyUSB0@4800");
    EXPECT_EQ(std::count(serial.opens.begin(), serial.opens.end(), "ttyUSB1@4800"), 0);
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kClockError});
}

TEST_F(EngineFixture, ClockIsSetOnTheFirstRecorderFound) {
    enumerator.names = {"CP2102 (ttyUSB0)"};
    serial.present = {"ttyUSB0"};
    serial.peers["ttyUSB0"] = Recorder(3);
    engine->Open();
    EXPECT_TRUE(engine->SetDeviceClock(DeviceClockWord(2010, 8, 3, 12, 34, 56)));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kClockSet});
    const auto low = std::find_if(serial.sentBytes.begin(), serial.sentBytes.end(),
                                  [](const Bytes& b) { return b[2] == kClockLow; });
    ASSERT_NE(low, serial.sentBytes.end());
    EXPECT_EQ(*low, (Bytes{0x55, 0xAA, 0xF7, 0x0A, 0x0E, 0x0F}));
    EXPECT_TRUE(Sent("ttyUSB0", kClockHigh));
    EXPECT_TRUE(Sent("ttyUSB0", kStop));
}

TEST_F(EngineFixture, DeleteOfOneIdNeedsARecorderThatCanDoIt) {
    enumerator.names = {"CP2102 (ttyUSB0)"};
    serial.present = {"ttyUSB0"};
    serial.peers["ttyUSB0"] = Recorder(3, 0);
    engine->Open();
    EXPECT_FALSE(engine->DeleteDeviceData(5, 1));
    EXPECT_FALSE(Sent("ttyUSB0", kDelete));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kSingleIdDeleteRefused});

    log.messages.clear();
    EXPECT_TRUE(engine->DeleteDeviceData(0, 0));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kDeleted});

    serial.peers["ttyUSB0"] = Recorder(3, 14);
    serial.sentBytes.clear();
    log.messages.clear();
    EXPECT_TRUE(engine->DeleteDeviceData(5, 1));
    EXPECT_NE(std::find(serial.sentBytes.begin(), serial.sentBytes.end(), Bytes{0x55, 0xAA, 0xF4, 0x10, 0x05, 0x09}),
              serial.sentBytes.end());
}

TEST_F(EngineFixture, DeleteOnAnEmptyRecorderSaysNoData) {
    enumerator.names = {"CP2102 (ttyUSB0)"};
    serial.present = {"ttyUSB0"};
    serial.peers["ttyUSB0"] = Recorder(0, 2);
    engine->Open();
    EXPECT_FALSE(engine->DeleteDeviceData(0, 0));
    EXPECT_FALSE(Sent("ttyUSB0", kDelete));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kNoData});
}

TEST_F(EngineFixture, StopAndCancelKeepTheCurrentDataSet) {
    // A recording open in a view must survive a dialog that only set the clock.
    SampleRecord r;
    r.id = 4;
    r.spo2 = 97;
    store.AppendSample(r);
    store.SelectId(4);
    engine->Open();
    engine->Stop();
    engine->Cancel();
    EXPECT_EQ(store.CurrentSampleCount, 1);
    EXPECT_EQ(store.CurrentDataSet()[0].spo2, 97);
    EXPECT_TRUE(store.UseSerialLink);
}

TEST_F(EngineFixture, BluetoothWithoutAConnectionFindsNoPort) {
    store.UseSerialLink = false;
    engine->Open();
    EXPECT_FALSE(engine->StartsAtOnce());
    EXPECT_EQ(engine->Start(), ConnectionState::NoPort);
    EXPECT_TRUE(serial.opens.empty());
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kNoPort});
}

TEST(IdListLines, RoundTripTheIdWhateverTheCount) {
    EXPECT_EQ(IdListLine(12, 3456), "ID  12     total       3456 Groups");
    for (int id : {1, 12, 127}) {
        for (int count : {0, 1, 518400}) EXPECT_EQ(IdFromListLine(IdListLine(id, count)), id);
    }
}

}  // namespace
}  // namespace quenda
