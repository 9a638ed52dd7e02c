#include "views/TrendReadout.h"

#include "views/TrendTestData.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

using test::SecondsFrom2200;

// The graphs of a 1000 × 700 screen (see TrendLayoutTest): H = 140, P = 840.
constexpr LayoutRect kSpo2Graph{70, 275, 911, 415};
constexpr LayoutRect kPulseGraph{70, 513, 911, 653};
constexpr int kP = 840;

ReadoutGraphs Graphs(std::int64_t firstSample = 0) { return {kSpo2Graph, kPulseGraph, firstSample}; }

class TrendReadout : public ::testing::Test {
protected:
    std::vector<SampleRecord> samples = SecondsFrom2200(10'000);

    LayoutPoint Spo2Point(std::int64_t n, std::int64_t first = 0) const {
        return {kSpo2Graph.left + static_cast<int>(n - first), CurveY(TrendChannel::Spo2, samples[n], kSpo2Graph)};
    }
    LayoutPoint PulsePoint(std::int64_t n, std::int64_t first = 0) const {
        return {kPulseGraph.left + static_cast<int>(n - first),
                CurveY(TrendChannel::PulseRate, samples[n], kPulseGraph)};
    }
};

TEST_F(TrendReadout, PulsePointReadsToo) {
    const auto hit = HitReadout(PulsePoint(10), Graphs(), samples);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->sample, 10);
    EXPECT_EQ(hit->texts.pulseRate, "60");
    // Both arrows go to the sample, whichever curve was pointed at.
    EXPECT_EQ(hit->spo2Arrow.point, Spo2Point(10));
    EXPECT_EQ(hit->pulseArrow.point, PulsePoint(10));
    LayoutPoint off = PulsePoint(10);
    off.y -= 1;
    EXPECT_FALSE(HitReadout(off, Graphs(), samples));
}

TEST_F(TrendReadout, GraphEdgesLeftAndTopInRightAndBottomOut) {
    // Left edge: sample S at x0.
    EXPECT_TRUE(HitReadout(Spo2Point(0), Graphs(), samples));
    // Right edge x0 + P + 1 is outside; x0 + P (the next page's first sample) is inside.
    EXPECT_TRUE(HitReadout(Spo2Point(kP), Graphs(), samples));
    samples[kP + 1].spo2 = 90;
    EXPECT_FALSE(HitReadout(Spo2Point(kP + 1), Graphs(), samples));
    // Top edge: SpO2 100 lies on the graph top and is read.
    samples[3].spo2 = 100;
    EXPECT_TRUE(HitReadout(Spo2Point(3), Graphs(), samples));
    // Bottom edge: a value of 0 lies on the baseline and cannot be picked.
    samples[4].spo2 = 0;
    samples[4].pulseRate = 0;
    EXPECT_EQ(Spo2Point(4).y, kSpo2Graph.bottom);
    EXPECT_FALSE(HitReadout(Spo2Point(4), Graphs(), samples));
    EXPECT_FALSE(HitReadout(PulsePoint(4), Graphs(), samples));
}

TEST_F(TrendReadout, NothingPastTheLastSample) {
    // Page 11 ends with sample 9999 at column 759.
    EXPECT_TRUE(HitReadout(Spo2Point(9999, 9240), Graphs(9240), samples));
    samples.resize(9999);
    EXPECT_FALSE(HitReadout({kSpo2Graph.left + 759, 300}, Graphs(9240), samples));
    EXPECT_FALSE(HitReadout({kSpo2Graph.left, 300}, Graphs(9240), std::span<const SampleRecord>{}));
}

TEST(TrendArrows, ComeFromTheFartherEdge) {
    // Middle of the SpO2 graph: 275 + 70 = 345.
    const ReadoutArrow low = PlaceArrow({100, 400}, kSpo2Graph);
    EXPECT_EQ(low.direction, ReadoutArrow::kFromAbove);
    EXPECT_EQ(low.length, 125);
    const ReadoutArrow middle = PlaceArrow({100, 345}, kSpo2Graph);
    EXPECT_EQ(middle.direction, ReadoutArrow::kFromBelow);
    EXPECT_EQ(middle.length, 70);

    const auto down = ArrowLines(low);
    EXPECT_EQ(down[0], (LayoutLine{{100, 400}, {100, 275}}));
    EXPECT_EQ(down[1], (LayoutLine{{95, 395}, {100, 400}}));
    EXPECT_EQ(down[2], (LayoutLine{{105, 395}, {100, 400}}));
    const auto up = ArrowLines(PlaceArrow({100, 300}, kSpo2Graph));
    EXPECT_EQ(up[0], (LayoutLine{{100, 300}, {100, 415}}));
    EXPECT_EQ(up[1], (LayoutLine{{95, 305}, {100, 300}}));

    EXPECT_TRUE(ReadoutArrow{}.IsParked());
    EXPECT_FALSE(low.IsParked());
}

TEST(TrendCursor, LeftTurnsBackAPageAtTheGraphsLeftEdge) {
    // A parked arrow puts the cursor on the graph's left edge.
    const KeyboardCursor start = CursorAtArrow(ReadoutArrow{}, 70, 1680);
    EXPECT_EQ(start.x, 70);
    EXPECT_EQ(start.sample, 1680);
    const CursorStep inside = StepCursorLeft({100, 1710}, 70, kP);
    EXPECT_EQ(inside.paging, CursorPaging::None);
    EXPECT_EQ(inside.x, 99);
    const CursorStep turn = StepCursorLeft(start, 70, kP);
    EXPECT_EQ(turn.paging, CursorPaging::PageUp);
    EXPECT_EQ(turn.x, 70 + kP - 1);
    const CursorStep first = StepCursorLeft({70, 0}, 70, kP);
    EXPECT_EQ(first.paging, CursorPaging::None);
    EXPECT_EQ(first.x, 70) << "sample 0 has nothing to its left";
}

TEST(TrendCursor, RightTurnsOnAPageAtTheRightEnd) {
    const CursorStep inside = StepCursorRight({100, 30}, 70, kP, 10'000);
    EXPECT_EQ(inside.paging, CursorPaging::None);
    EXPECT_EQ(inside.x, 101);
    const CursorStep turn = StepCursorRight({70 + kP, kP}, 70, kP, 10'000);
    EXPECT_EQ(turn.paging, CursorPaging::PageDown);
    EXPECT_EQ(turn.x, 71);
    const CursorStep beyond = StepCursorRight({80, 10'001}, 70, kP, 10'000);
    EXPECT_EQ(beyond.paging, CursorPaging::None);
    EXPECT_EQ(beyond.x, 80);
}

TEST_F(TrendReadout, CursorReadsTheColumnEvenOnTheBaseline) {
    const auto hit = ReadoutAtColumn(75, Graphs(840), samples);
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->sample, 845);
    EXPECT_EQ(hit->spo2Arrow.point, Spo2Point(845, 840));
    // A probe-off sample (SpO2 0) sits on the baseline: the pointer cannot pick
    // it, the cursor must, or it could never pass it.
    samples[846].spo2 = 0;
    const auto zero = ReadoutAtColumn(76, Graphs(840), samples);
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->texts.spo2, "0");
    EXPECT_EQ(zero->spo2Arrow.direction, ReadoutArrow::kFromAbove);
    EXPECT_FALSE(ReadoutAtColumn(70 + 760, Graphs(9240), samples)) << "past the last sample";
}

}  // namespace
}  // namespace quenda
