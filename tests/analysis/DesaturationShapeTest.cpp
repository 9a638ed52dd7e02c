// The shape of the counted desaturations, worked by hand.
#include "SampleSeries.h"
#include "analysis/DesaturationShape.h"
#include "analysis/NightAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quenda {
namespace {

using testing::Append;

TEST(DesaturationShape, FallRecoveryAndSlopeOfTwoEvents) {
    std::vector<int> spo2;
    Append(spo2, 96, 10);
    // A: 12 s from 10, baseline 96, first at its nadir of 90 three seconds in.
    for (const int v : {93, 92, 91, 90, 90, 91, 92, 93, 93, 93, 93, 93}) spo2.push_back(v);
    Append(spo2, 96, 18);
    // B: 10 s from 40, baseline 95.5, at its nadir of 91 from the start.
    Append(spo2, 91, 1);
    Append(spo2, 92, 9);
    Append(spo2, 96, 10);
    const auto samples = testing::FromSpo2(spo2);
    const std::vector<ClinicalEvent> events{{10, 12, 96, 90, 48}, {40, 10, 95.5, 91, 36}};
    const DepthShape d = ShapeOf(events, samples, 7.5, 60);

    ASSERT_EQ(d.events.size(), 2u);
    EXPECT_DOUBLE_EQ(d.events[0].depth, 6);
    EXPECT_EQ(d.events[0].fall, 3);
    EXPECT_EQ(d.events[0].recovery, 9);  // to where it closed: fall + recovery = length
    EXPECT_DOUBLE_EQ(d.events[0].slope, 2);
    EXPECT_DOUBLE_EQ(d.events[1].depth, 4.5);
    EXPECT_EQ(d.events[1].fall, 0);
    EXPECT_EQ(d.events[1].recovery, 10);
    EXPECT_TRUE(std::isnan(d.events[1].slope));
    // Population SD: half the difference of two values.
    EXPECT_DOUBLE_EQ(d.depth.mean, 5.25);
    EXPECT_DOUBLE_EQ(d.depth.sd, 0.75);
    EXPECT_DOUBLE_EQ(d.length.mean, 11);
    EXPECT_DOUBLE_EQ(d.length.sd, 1);
    EXPECT_DOUBLE_EQ(d.area.mean, 42);
    EXPECT_DOUBLE_EQ(d.fall.mean, 1.5);
    EXPECT_DOUBLE_EQ(d.recovery.sd, 0.5);
    EXPECT_DOUBLE_EQ(d.slope.mean, 2);  // B has no slope and takes no part
    EXPECT_DOUBLE_EQ(d.slope.sd, 0);
    EXPECT_EQ(d.deepest, 0);
    EXPECT_EQ(d.longest, 0);
    EXPECT_NEAR(d.timeInDesaturation, 100 * 22 / 60.0, 1e-12);
    EXPECT_EQ(d.odiClass, OdiClass::Mild);
}

TEST(DesaturationShape, TiesGoToTheFirstAndNoEventHasNoFigures) {
    const auto samples = testing::FromSpo2(std::vector<int>(40, 90));
    const std::vector<ClinicalEvent> events{{0, 10, 95, 90, 50}, {10, 12, 95, 90, 60}, {25, 12, 95, 90, 60}};
    const DepthShape d = ShapeOf(events, samples, 0, 40);
    EXPECT_EQ(d.deepest, 0);
    EXPECT_EQ(d.longest, 1);

    const DepthShape none = ShapeOf({}, samples, 0, 40);
    EXPECT_TRUE(std::isnan(none.depth.mean));
    EXPECT_TRUE(std::isnan(none.slope.sd));
    EXPECT_EQ(none.deepest, -1);
    EXPECT_EQ(none.timeInDesaturation, 0);
    EXPECT_EQ(ShapeOf({}, {}, 0, 0).timeInDesaturation, 0);  // no counted time
}

TEST(DesaturationShape, OdiClassesAtTheirCutOffs) {
    const std::pair<double, OdiClass> cases[] = {
        {0, OdiClass::Normal},    {4.99, OdiClass::Normal},    {5, OdiClass::Mild},    {14.99, OdiClass::Mild},
        {15, OdiClass::Moderate}, {29.99, OdiClass::Moderate}, {30, OdiClass::Severe}, {120, OdiClass::Severe},
    };
    for (const auto& [odi, want] : cases) EXPECT_EQ(ClassOfOdi(odi), want) << odi;
    EXPECT_EQ(OdiClassName(OdiClass::Moderate), "moderate");
}

TEST(DesaturationShape, EveryDepthOfTheNightAnalysis) {
    // Two minutes at 96 make the baseline; event A of the first test follows.
    std::vector<int> spo2;
    Append(spo2, 96, 120);
    for (const int v : {93, 92, 91, 90, 90, 91, 92, 93, 93, 93, 93, 93}) spo2.push_back(v);
    Append(spo2, 96, 30);
    const NightAnalysis night = AnalyzeNight(testing::FromSpo2(spo2), {}, {{}, ClinicalProfile::Raw});
    ASSERT_EQ(night.shape.depth3.events.size(), 1u);
    EXPECT_EQ(night.shape.depth3.events[0].fall, 3);
    EXPECT_EQ(night.shape.depth3.events[0].recovery, 9);
    // Depth 4 opens a second later (the first 93 entered its baseline) and
    // still reaches 90 at the same sample.
    ASSERT_EQ(night.clinical.events4.size(), 1u);
    EXPECT_EQ(night.shape.depth4.events[0].fall, 123 - night.clinical.events4[0].start);
    EXPECT_EQ(night.shape.depth4.odiClass, ClassOfOdi(night.clinical.odi4));
}

}  // namespace
}  // namespace quenda
