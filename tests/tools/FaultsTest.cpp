#include "SimTestSupport.h"
#include "tools/sim/Options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace quenda::sim::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

Recorder WithFaults(std::initializer_list<const char*> faults) {
    RecorderConfig c = SmallConfig();
    std::string error;
    for (const char* fault : faults) EXPECT_TRUE(ParseFault(fault, c.faults, error)) << error;
    return Recorder(c);
}

TEST(RecorderFaults, NoReplyAnswersNothingButStillLogs) {
    Recorder r = WithFaults({"no-reply"});
    for (const CommandFrame& c : {MakeCommand(kIdentifyDevice), MakeCommand(kQueryTotals), MakeFrameRequest(0, false),
                                  MakeCommand(kStopTransfer), MakeDeleteCommand(0, 0), MakeCommand(kSetClockLow)}) {
        EXPECT_TRUE(r.Send(c).empty());
    }
    EXPECT_THAT(r.log, ElementsAre("identify", "totals", "frame 0", "stop", "delete id=0 type=0", "clock-low"));
    EXPECT_FALSE(r.model.Recordings().empty()) << "a dead recorder erases nothing";
}

TEST(RecorderFaults, IdentityAndTotalsFaults) {
    Recorder r = WithFaults({"product-code:0x0021", "zero-totals"});
    const Bytes info = r.Answer(MakeCommand(kIdentifyDevice));
    EXPECT_EQ(info[5], 0x00);
    EXPECT_EQ(info[6], 0x21);
    const Bytes totals = r.Answer(MakeCommand(kQueryTotals));
    EXPECT_TRUE(std::all_of(totals.begin() + 5, totals.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST(RecorderFaults, OneShotFrameFaultsHealOnTheRepeatRequest) {
    Recorder r = WithFaults({"drop-frame:1", "garbage:2:5", "oversize:3"});
    Recorder clean(SmallConfig());

    EXPECT_TRUE(r.Send(MakeFrameRequest(1, false)).empty()) << "dropped";
    EXPECT_EQ(r.Frame(1), clean.Frame(1));

    const Bytes garbled = r.Frame(2);
    const Bytes frame2 = clean.Frame(2);
    ASSERT_GT(garbled.size(), frame2.size());
    const std::size_t stray = garbled.size() - frame2.size();
    EXPECT_EQ(stray, 5u);
    EXPECT_TRUE(std::equal(frame2.begin(), frame2.end(), garbled.begin() + static_cast<std::ptrdiff_t>(stray)));
    EXPECT_FALSE(HasSyncPair(Bytes(garbled.begin(), garbled.begin() + static_cast<std::ptrdiff_t>(stray))));
    EXPECT_EQ(r.Frame(2), frame2);

    const Bytes big = r.Frame(3);
    EXPECT_THAT(Bytes(big.begin(), big.begin() + 7), ElementsAre(0x55, 0xAA, 0x00, 0x00, 0x03, 0x13, 0x88));
    EXPECT_EQ(big.size(), 7u + 5000u + 1u);
    EXPECT_FALSE(HasSyncPair(big, 1)) << "the junk must not look like a frame";
    EXPECT_EQ(r.Frame(3), clean.Frame(3));

    EXPECT_THAT(r.log, Contains("fault drop-frame:1"));
    EXPECT_THAT(r.log, Contains("fault oversize:3"));
}

TEST(RecorderFaults, EndEarlyAndRefuseHoldForEveryRequest) {
    Recorder r = WithFaults({"end-early:1", "refuse:2"});
    for (int attempt = 0; attempt < 2; ++attempt) {
        ExpectEmptyFrame(r.Frame(1), kStatusNoMoreData);
        ExpectEmptyFrame(r.Frame(2), kStatusRefused);
    }
    EXPECT_EQ(ParseFrame(r.Frame(0), 2).samples.size(), 4u);
}

TEST(RecorderFaults, SilentAfterAnswersThatFrameThenNothing) {
    Recorder r = WithFaults({"silent-after:1"});
    EXPECT_EQ(r.Send(MakeFrameRequest(0, false)).size(), 1u);
    EXPECT_EQ(r.Send(MakeFrameRequest(1, false)).size(), 1u);
    for (const CommandFrame& c : {MakeFrameRequest(2, false), MakeFrameRequest(1, false), MakeCommand(kStopTransfer),
                                  MakeCommand(kIdentifyDevice)}) {
        EXPECT_TRUE(r.Send(c).empty());
    }
}

TEST(RecorderFaults, DeleteAndClockFailuresGoUnacknowledged) {
    Recorder r = WithFaults({"delete-fails", "clock-fails"});
    EXPECT_TRUE(r.Send(MakeDeleteCommand(1, 1)).empty());
    EXPECT_EQ(r.model.Recordings().count(1), 1u) << "a failed erase leaves the data";

    const std::uint32_t word = DeviceClockWord(2026, 1, 2, 3, 4, 5);
    EXPECT_TRUE(r.Send(MakeCommand(kSetClockLow, word & 0xFF, (word >> 8) & 0xFF)).empty());
    EXPECT_EQ(r.Send(MakeCommand(kSetClockHigh, (word >> 16) & 0xFF, word >> 24)).size(), 1u);
    EXPECT_EQ(r.model.Clock(), (DateTime{2026, 1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace quenda::sim::testing
