#include "device/Messages.h"
#include "device/Protocol.h"
#include "support/FakeLink.h"
#include "support/Replies.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

using namespace std::chrono_literals;
using test::Ack;
using test::Bytes;
using test::DeviceInfoReply;
using test::TotalsReply;

Bytes Cmd(std::initializer_list<int> b) {
    Bytes out;
    for (int v : b) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

struct ProtocolFixture : ::testing::Test {
    test::FakeLink link;
    test::FakeClock clock;
    RecordingStore store;
    test::MessageLog log;
    RecorderProtocol protocol{link, clock, store, log};
};

TEST(CommandFrames, MatchTheRecordersByteLayout) {
    EXPECT_EQ(MakeCommand(kIdentifyDevice), (CommandFrame{0x55, 0xAA, 0xFD, 0, 0, 0xFD}));
    EXPECT_EQ(MakeCommand(kQueryTotals), (CommandFrame{0x55, 0xAA, 0xFE, 0, 0, 0xFE}));
    EXPECT_EQ(MakeCommand(kStopTransfer), (CommandFrame{0x55, 0xAA, 0xF3, 0, 0, 0xF3}));
    EXPECT_EQ(MakeFrameRequest(258, false), (CommandFrame{0x55, 0xAA, 0xFA, 0x01, 0x02, 0xFD}));
    EXPECT_EQ(MakeFrameRequest(258, true), (CommandFrame{0x55, 0xAA, 0xFA, 0x02, 0x01, 0xFD}));
    EXPECT_EQ(MakeDeleteCommand(5, 1), (CommandFrame{0x55, 0xAA, 0xF4, 0x10, 0x05, 0x09}));
    EXPECT_EQ(MakeDeleteCommand(0, 0), (CommandFrame{0x55, 0xAA, 0xF4, 0x00, 0x00, 0xF4}));
    EXPECT_EQ(DeviceClockWord(2010, 8, 3, 12, 34, 56), 0xE2260E0Au);
    // Fields are masked to their widths: 2064 wraps to year 0.
    EXPECT_EQ(DeviceClockWord(2064, 0, 0, 0, 0, 0), 0u);
}

TEST_F(ProtocolFixture, IdentifyAcceptsOurProductAndKeepsTheTransferParameters) {
    link.Arrive(DeviceInfoReply(0x1E, 3, 115200));
    EXPECT_TRUE(protocol.IdentifyDevice());
    EXPECT_EQ(link.sent, (std::vector<Bytes>{Cmd({0x55, 0xAA, 0xFD, 0, 0, 0xFD})}));
    EXPECT_EQ(store.DataFormatCode, 3);
    EXPECT_EQ(store.TransferBaud, 115200u);
    EXPECT_EQ(protocol.LastDeviceInfo().version1, "1.2.3");
    EXPECT_EQ(protocol.LastDeviceInfo().version2, "3.2.4");
}

TEST_F(ProtocolFixture, IdentifyRejectsAnotherProductButStillTakesItsParameters) {
    link.Arrive(DeviceInfoReply(0x1F, 14, 57600));
    EXPECT_FALSE(protocol.IdentifyDevice());
    EXPECT_EQ(store.DataFormatCode, 14);
    EXPECT_EQ(store.TransferBaud, 57600u);
}

TEST_F(ProtocolFixture, IdentifyRejectsMalformedRepliesWithoutTouchingTheStore) {
    store.DataFormatCode = 7;
    for (std::uint8_t flags : {1, 2, 3}) {
        link.Arrive(DeviceInfoReply(0x1E, 2, 9600, flags));
        EXPECT_FALSE(protocol.IdentifyDevice()) << int(flags);
        link.arrivals.clear();
        link.queued.clear();
    }
    Bytes unsynced = DeviceInfoReply(0x1E, 2, 9600);
    unsynced[1] = 0xAB;
    link.Arrive(unsynced);
    EXPECT_FALSE(protocol.IdentifyDevice());
    EXPECT_EQ(store.DataFormatCode, 7);
}

TEST_F(ProtocolFixture, IdentifyAsksOnceMoreWhenNothingCameAndReadsAReplyInPieces) {
    for (int i = 0; i < 6; ++i) link.Arrive({});  // the first window stays empty
    Bytes reply = DeviceInfoReply(0x1E, 2, 115200);
    link.Arrive(Bytes(reply.begin(), reply.begin() + 5));
    link.Arrive(Bytes(reply.begin() + 5, reply.begin() + 20));
    link.Arrive(Bytes(reply.begin() + 20, reply.end()));
    EXPECT_TRUE(protocol.IdentifyDevice());
    EXPECT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(store.TransferBaud, 115200u);
}

TEST_F(ProtocolFixture, IdentifyKeepsOnlyTheFirst38BytesOfAWindow) {
    Bytes reply = DeviceInfoReply(0x1E, 2, 115200);
    reply.insert(reply.end(), 100, 0xEE);
    link.Arrive(reply);
    EXPECT_TRUE(protocol.IdentifyDevice());
    EXPECT_EQ(link.receives, 1);  // a full window ends the collection
}

TEST_F(ProtocolFixture, BluetoothWithoutConnectionSendsNothing) {
    store.UseSerialLink = false;
    link.connected = false;
    EXPECT_FALSE(protocol.IdentifyDevice());
    EXPECT_FALSE(protocol.RequestFrame(1));
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(ProtocolFixture, TotalsAreReadAfterDrainingStaleInput) {
    link.queued = {1, 2, 3};
    link.onSend = [&](const Bytes&) { link.Arrive(TotalsReply(120, 3, 4)); };
    const auto totals = protocol.QueryTotals();
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->framesToDownload, 120);
    EXPECT_EQ(totals->TotalFrames(), 127);
    EXPECT_EQ(link.sent, (std::vector<Bytes>{Cmd({0x55, 0xAA, 0xFE, 0, 0, 0xFE})}));
}

TEST_F(ProtocolFixture, TotalsFailOnMissingOrMalformedReplies) {
    EXPECT_FALSE(protocol.QueryTotals());
    EXPECT_EQ(link.sent.size(), 2u);  // asked twice
    link.sent.clear();
    Bytes bad = TotalsReply(5);
    bad[2] = 0x01;
    link.onSend = [&](const Bytes&) { link.Arrive(bad); };
    EXPECT_FALSE(protocol.QueryTotals());
    EXPECT_TRUE(log.messages.empty());
}

TEST_F(ProtocolFixture, FailedTotalsRepeatIsReportedAndSerialStillLooks) {
    int sends = 0;
    link.onSend = [&](const Bytes&) {
        if (++sends == 1) {
            link.sendOk = false;
            for (int i = 0; i < 6; ++i) link.Arrive({});
            link.Arrive(TotalsReply(9));
        }
    };
    const auto totals = protocol.QueryTotals();
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kWriteFailed});
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->framesToDownload, 9);
}

TEST_F(ProtocolFixture, FrameRequestByteOrderFollowsLinkAndFormat) {
    link.Arrive(DeviceInfoReply(0x1E, 3, 115200));
    ASSERT_TRUE(protocol.IdentifyDevice());
    protocol.RequestFrame(0x0102);
    store.UseSerialLink = false;
    protocol.RequestFrame(0x0102);
    store.UseSerialLink = true;
    RecorderProtocol other{link, clock, store, log, TraitsFor(2)};
    other.RequestFrame(0x0102);
    link.sent.erase(link.sent.begin());  // the identification
    EXPECT_EQ(link.sent[0], Cmd({0x55, 0xAA, 0xFA, 0x02, 0x01, 0xFD}));
    EXPECT_EQ(link.sent[1], Cmd({0x55, 0xAA, 0xFA, 0x01, 0x02, 0xFD}));
    EXPECT_EQ(link.sent[2], Cmd({0x55, 0xAA, 0xFA, 0x01, 0x02, 0xFD}));
}

TEST_F(ProtocolFixture, StopSendsTwiceAndDrains) {
    link.Arrive(Bytes(500, 0x11));
    link.Arrive(Bytes(200, 0x22));
    protocol.StopTransfer();
    EXPECT_EQ(link.sent, (std::vector<Bytes>(2, Cmd({0x55, 0xAA, 0xF3, 0, 0, 0xF3}))));
    EXPECT_EQ(clock.slept, 600ms);
    EXPECT_TRUE(link.queued.empty());
    EXPECT_TRUE(link.arrivals.empty());
}

TEST_F(ProtocolFixture, DeleteWaitsForTheSlowAcknowledgement) {
    link.onSend = [&](const Bytes&) {
        for (int i = 0; i < 4; ++i) link.Arrive({});
        link.Arrive(Ack(0xFA));
    };
    EXPECT_TRUE(protocol.DeleteDeviceData(5, 1));
    EXPECT_EQ(link.sent[0], Cmd({0x55, 0xAA, 0xF4, 0x10, 0x05, 0x09}));
    EXPECT_EQ(log.deleting, (std::vector<bool>{true, false}));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kDeleted});
}

TEST_F(ProtocolFixture, DeleteGivesUpAfterElevenSeconds) {
    EXPECT_FALSE(protocol.DeleteDeviceData(0, 0));
    EXPECT_EQ(link.receives, 11);
    EXPECT_EQ(clock.slept, 11s);
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kDeleteError});
    link.sendOk = false;
    log.messages.clear();
    EXPECT_FALSE(protocol.DeleteDeviceData(0, 0));
    EXPECT_TRUE(log.messages.empty());  // a failed send says nothing here
}

TEST_F(ProtocolFixture, ClockIsSentInTwoHalvesAndTheFirstAckDecides) {
    link.onSend = [&](const Bytes& cmd) {
        if (cmd[2] == 0xF7) link.Arrive(Ack(0xF9));
        if (cmd[2] == 0xF8) link.Arrive(Bytes(38, 0));  // not examined
    };
    EXPECT_TRUE(protocol.SetDeviceClock(DeviceClockWord(2010, 8, 3, 12, 34, 56)));
    ASSERT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(link.sent[0], Cmd({0x55, 0xAA, 0xF7, 0x0A, 0x0E, 0x0F}));
    EXPECT_EQ(link.sent[1], Cmd({0x55, 0xAA, 0xF8, 0x26, 0xE2, 0x00}));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kClockSet});
}

TEST_F(ProtocolFixture, ClockFailsWithoutAcknowledgement) {
    link.onSend = [&](const Bytes&) { link.Arrive(Ack(0xFA)); };
    EXPECT_FALSE(protocol.SetDeviceClock(1));
    EXPECT_EQ(link.sent.size(), 1u);
    EXPECT_TRUE(log.messages.empty());

    link.onSend = [&](const Bytes&) {
        link.Arrive(Ack(0xF9));
        link.sendOk = false;
    };
    EXPECT_FALSE(protocol.SetDeviceClock(1));
    EXPECT_EQ(log.messages, std::vector<std::string>{msg::kWriteFailed});
}

}  // namespace
}  // namespace quenda
