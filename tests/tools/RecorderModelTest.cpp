#include "SimTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenda::sim::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

Bytes Padded(Bytes head) {
    head.resize(kReplyWindowBytes, 0);
    return head;
}

TEST(RecorderStatusReplies, IdentifyAndTotalsByteForByte) {
    RecorderConfig c = SmallConfig(3);
    c.device.transferBaud = 57'600;
    c.secondTotal = 0x0102;
    c.thirdTotal = 0x0304;
    Recorder r(c);

    EXPECT_EQ(r.Answer(MakeCommand(kIdentifyDevice)),
              Padded({0x55, 0xAA, 0x00, 0xFF, 0xFF, 0x00, 0x1E, 0x00, 0x03, 0x00, 0x00, 0xE1, 0x00,  //
                      0x00, 0x07, 0xE9, 0x00, 1,    2,    3,    3,    2,    4}));
    // 17 samples at 4 per frame: 5 frames.
    EXPECT_EQ(r.Answer(MakeCommand(kQueryTotals)),
              Padded({0x55, 0xAA, 0x00, 0xFF, 0xFE, 0, 0, 0, 0, 0x00, 0x05, 0, 0, 0x01, 0x02, 0, 0, 0x03, 0x04}));
    EXPECT_THAT(r.log, ElementsAre("identify", "totals"));
}

TEST(RecorderStatusReplies, ClockHalvesAreAcknowledgedAndSetTheClock) {
    Recorder r(SmallConfig());
    const Bytes ack = Padded({0x55, 0xAA, 0x00, 0xFF, 0xF9});

    // 2010-08-03 12:34:56 as a host sends it.
    EXPECT_EQ(r.Answer({0x55, 0xAA, 0xF7, 0x0A, 0x0E, 0x0F}), ack);
    EXPECT_FALSE(r.model.Clock()) << "half a clock word sets nothing";
    EXPECT_EQ(r.Answer({0x55, 0xAA, 0xF8, 0x26, 0xE2, 0x00}), ack);
    EXPECT_EQ(r.model.Clock(), (DateTime{2010, 8, 3, 12, 34, 56}));
    EXPECT_THAT(r.log, ElementsAre("clock-low", "clock 2010-08-03 12:34:56"));

    // A high half on its own is answered but cannot set the clock.
    r.log.clear();
    EXPECT_EQ(r.Answer(MakeCommand(kSetClockHigh, 0x11, 0x22)), ack);
    EXPECT_EQ(r.model.Clock(), (DateTime{2010, 8, 3, 12, 34, 56}));
    EXPECT_THAT(r.log, ElementsAre("clock-high without a low half"));
}

TEST(RecorderStatusReplies, DeleteErasesOneIdOrAllAndTotalsFollow) {
    RecorderConfig c = SmallConfig();
    c.secondTotal = 7;
    c.eraseDelay = std::chrono::milliseconds(1234);
    Recorder r(c);

    // DeleteDeviceData(5, 1) as a host sends it.
    const std::vector<Reply> replies = r.Send({0x55, 0xAA, 0xF4, 0x10, 0x05, 0x09});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes, Padded({0x55, 0xAA, 0x00, 0xFF, 0xFA}));
    EXPECT_EQ(replies[0].delay, std::chrono::milliseconds(1234)) << "the ack waits for the erase";
    EXPECT_FALSE(replies[0].abandonOnStop);
    EXPECT_EQ(r.model.Recordings().count(5), 0u);
    EXPECT_EQ(r.model.Recordings().count(1), 1u);
    // ID 1's 10 samples remain: 3 frames, the other totals untouched.
    EXPECT_EQ(r.Answer(MakeCommand(kQueryTotals)),
              Padded({0x55, 0xAA, 0x00, 0xFF, 0xFE, 0, 0, 0, 0, 0, 3, 0, 0, 0, 7}));

    // ID 0 is every ID; an empty recorder reports no data at all.
    r.Send(MakeDeleteCommand(0, 2));
    EXPECT_TRUE(r.model.Recordings().empty());
    EXPECT_EQ(r.Answer(MakeCommand(kQueryTotals)), Padded({0x55, 0xAA, 0x00, 0xFF, 0xFE}));
    EXPECT_EQ(r.log[0], "delete id=5 type=1");
    EXPECT_EQ(r.log[2], "delete id=0 type=2");

    // IDs above 255 travel in the low nibble of p1.
    r.Send(MakeDeleteCommand(300, 3));
    EXPECT_EQ(r.log.back(), "delete id=300 type=3");
}

TEST(RecorderCommandParsing, RejectsBadChecksumsAndResynchronises) {
    Recorder r(SmallConfig());
    const CommandFrame identify = MakeCommand(kIdentifyDevice);

    EXPECT_TRUE(r.Feed({0x55, 0xAA, 0xFD, 0x00, 0x00, 0xFC}).empty());
    EXPECT_THAT(r.log, ElementsAre("bad-checksum 55 AA FD 00 00 FC"));

    // Noise before a command, and a stray sync pair inside the search.
    r.log.clear();
    Bytes noisy{0x00, 0x13, 0x55, 0x12, 0x55, 0xAA};
    noisy.insert(noisy.end(), identify.begin(), identify.end());
    EXPECT_EQ(r.Feed(noisy).size(), 1u);
    EXPECT_THAT(r.log, ElementsAre("skipped 4 bytes", "bad-checksum 55 AA 55 AA FD 00", "identify"));

    // A truncated command does not swallow the good one behind it.
    r.log.clear();
    EXPECT_EQ(r.Feed({0x55, 0xAA, 0xFD, 0x55, 0xAA, 0xFD, 0x00, 0x00, 0xFD}).size(), 1u);
    EXPECT_THAT(r.log, ElementsAre("bad-checksum 55 AA FD 55 AA FD", "identify"));

    // A command may arrive a byte at a time.
    r.log.clear();
    std::size_t replies = 0;
    for (std::uint8_t b : MakeFrameRequest(2, false)) replies += r.Feed({b}).size();
    EXPECT_EQ(replies, 1u);
    EXPECT_THAT(r.log, ElementsAre("frame 2"));

    // Unknown codes are logged and not answered.
    r.log.clear();
    EXPECT_TRUE(r.Send(MakeCommand(0x12, 1, 2)).empty());
    EXPECT_THAT(r.log, ElementsAre("unknown 55 AA 12 01 02 15"));
}

TEST(RecorderCommandParsing, StopAbandonsFramesQueuedBeforeIt) {
    Recorder r(SmallConfig());
    Bytes both;
    for (const CommandFrame& c : {MakeFrameRequest(0, false), MakeCommand(kStopTransfer)}) {
        both.insert(both.end(), c.begin(), c.end());
    }
    const std::vector<Reply> replies = r.Feed(both);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_TRUE(replies[0].abandonOnStop);
    EXPECT_EQ(replies[1].kind, Reply::Kind::AbandonOutput);
    EXPECT_THAT(r.log, ElementsAre("frame 0", "stop"));
}

TEST(RecorderFrames, LayoutAndOrderAcrossIds) {
    Recorder r(SmallConfig());
    ASSERT_EQ(r.model.FramesToDownload(), 5);

    const Bytes first = r.Frame(0);
    EXPECT_THAT(Bytes(first.begin(), first.begin() + 7), ElementsAre(0x55, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x20));

    // Frames in order carry ID 1 then ID 5, each oldest first; the last frame
    // holds the one sample left over.
    std::vector<SampleRecord> received;
    for (int n = 0; n < 5; ++n) {
        const ParsedFrame f = ParseFrame(r.Frame(n), 2);
        EXPECT_EQ(f.status, n) << "an ordinary frame's status word is its number";
        EXPECT_EQ(f.samples.size(), n < 4 ? 4u : 1u);
        received.insert(received.end(), f.samples.begin(), f.samples.end());
    }
    std::vector<SampleRecord> expected = r.model.Recordings().at(1);
    const auto& five = r.model.Recordings().at(5);
    expected.insert(expected.end(), five.begin(), five.end());
    EXPECT_EQ(received, expected);

    // Past the end: "no more data", nothing in it.
    for (int n : {5, 6, 0xFFFB}) {
        SCOPED_TRACE(n);
        ExpectEmptyFrame(r.Frame(n), kStatusNoMoreData);
    }
}

TEST(RecorderFrames, FormatCodeDecidesRequestAndMemoryOrder) {
    for (int code : {0, 1, 2, 3, 4, 11}) {
        SCOPED_TRACE(code);
        Recorder r(SmallConfig(code));
        std::vector<SampleRecord> received;
        for (int n = 0; n < r.model.FramesToDownload(); ++n) {
            const ParsedFrame f = ParseFrame(r.Frame(n), code);
            received.insert(received.end(), f.samples.begin(), f.samples.end());
        }
        ASSERT_EQ(received.size(), 17u);
        EXPECT_EQ(received.front().id, 1);
        EXPECT_EQ(received.back().id, 5);
        const bool newestFirst = code == 1 || code == 3 || code == 4 || code == 11;
        for (std::size_t i = 1; i < received.size(); ++i) {
            if (received[i].id != received[i - 1].id) continue;
            const auto step = SecondsBetween(TimeOf(received[i - 1]), TimeOf(received[i]));
            EXPECT_EQ(step, newestFirst ? -1 : 1) << "sample " << i;
        }
    }
}

TEST(RecorderFrames, FrameNumberIsLowByteFirstOnlyWithFormatCode3) {
    for (int code : {2, 3}) {
        SCOPED_TRACE(code);
        RecorderConfig c = SmallConfig(code);
        c.ids = {{1, 500}};
        c.samplesPerFrame = 1;
        Recorder r(c);
        const bool lowFirst = code == 3;

        const ParsedFrame f = ParseFrame(r.Answer(MakeFrameRequest(258, lowFirst)), code);
        EXPECT_EQ(f.status, 258);
        EXPECT_EQ(f.samples.size(), 1u);
        // The other byte order asks for frame 513, which does not exist.
        EXPECT_EQ(ParseFrame(r.Answer(MakeFrameRequest(258, !lowFirst)), code).status, kStatusNoMoreData);
        EXPECT_THAT(r.log, ElementsAre("frame 258", "frame 513"));
    }
}

TEST(RecorderFrames, FullFramesFitTheHostBuffer) {
    RecorderConfig c = SmallConfig();
    c.ids = {{1, 2 * kMaxSamplesPerFrame}};
    c.samplesPerFrame = kMaxSamplesPerFrame;
    Recorder r(c);
    const Bytes f = r.Frame(1);
    EXPECT_EQ(f.size(), kFrameBufferBytes);
    EXPECT_EQ(ParseFrame(f, 2).length, kMaxFramePayload);
}

TEST(RecorderConfigCheck, RefusesWhatTheProtocolCannotCarry) {
    RecorderConfig c = SmallConfig();
    EXPECT_EQ(CheckConfig(c), "");
    c.samplesPerFrame = kMaxSamplesPerFrame + 1;
    EXPECT_NE(CheckConfig(c), "");
    c = SmallConfig();
    c.ids.push_back({5, 3});
    EXPECT_NE(CheckConfig(c), "") << "an ID twice";
    c = SmallConfig();
    c.ids = {{1, kMaxSamples}, {2, kMaxSamples}};
    c.samplesPerFrame = 1;
    EXPECT_NE(CheckConfig(c), "") << "frame numbers would reach the status markers";
    EXPECT_THROW(RecorderModel{c}, std::invalid_argument);
}

}  // namespace
}  // namespace quenda::sim::testing
