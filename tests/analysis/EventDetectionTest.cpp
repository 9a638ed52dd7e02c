#include "SampleSeries.h"
#include "analysis/Analysis.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

using testing::Analyse;
using testing::Append;
using testing::FromChannels;
using testing::FromPulse;
using testing::FromSpo2;

// 97, 98, 96, 95, 94, 94, then `lows` samples of 93, then `tail`.
std::vector<int> DesaturationRun(int lows, std::vector<int> tail = {95, 97}) {
    std::vector<int> v = {97, 98, 96, 95, 94, 94};
    Append(v, 93, lows);
    v.insert(v.end(), tail.begin(), tail.end());
    return v;
}

// 80, 80, 80, then `lows` samples of 74, then 79.
std::vector<int> PulseRun(int lows) {
    std::vector<int> v = {80, 80, 80};
    Append(v, 74, lows);
    v.push_back(79);
    return v;
}

TEST(DesaturationEvents, FallFromTheLevelWhereItBeganCountsFromTheSampleReachingTheThreshold) {
    const auto r = Analyse(FromSpo2(DesaturationRun(8)));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0], (EventRecord{4, 10, 94, 93, 1}));
    EXPECT_EQ(r.desaturation.eventCount, 1);
    EXPECT_TRUE(r.pulse.events.empty());

    // One sample short of the minimum length.
    EXPECT_TRUE(Analyse(FromSpo2(DesaturationRun(7))).desaturation.events.empty());
}

TEST(DesaturationEvents, RunCutOffByTheEndOfTheDataIsKeptWhenLongEnough) {
    const auto ended = Analyse(FromSpo2(DesaturationRun(8, {})));
    ASSERT_EQ(ended.desaturation.events.size(), 1u);
    EXPECT_EQ(ended.desaturation.events[0], (EventRecord{4, 10, 94, 93, 1}));

    EXPECT_TRUE(Analyse(FromSpo2(DesaturationRun(7, {}))).desaturation.events.empty());
    // An event whose first sample is the last one.
    EXPECT_TRUE(Analyse(FromSpo2({98, 98, 94})).desaturation.events.empty());
}

TEST(PulseEvents, EightSamplesMakeAnEventAndSevenDoNot) {
    const auto r = Analyse(FromPulse(PulseRun(8)));
    ASSERT_EQ(r.pulse.events.size(), 1u);
    EXPECT_EQ(r.pulse.events[0], (EventRecord{3, 8, 74, 74, 6}));
    EXPECT_TRUE(r.desaturation.events.empty());

    EXPECT_TRUE(Analyse(FromPulse(PulseRun(7))).pulse.events.empty());
}

TEST(PulseEvents, RisesNeverMakeAnEvent) {
    EXPECT_TRUE(Analyse(FromPulse({70, 80, 90, 100, 110})).pulse.events.empty());
    // Staying high for long after a big rise is no event either.
    std::vector<int> v = {60};
    Append(v, 140, 30);
    EXPECT_TRUE(Analyse(FromPulse(v)).pulse.events.empty());
}

TEST(EventThresholds, ExactlyTheThresholdStartsAndExactlyTheLoweredLevelContinues) {
    // Reference 98, threshold 4: 94 starts the event, 94 keeps it, 95 ends it.
    std::vector<int> v = {98, 94};
    Append(v, 94, 9);
    v.push_back(95);
    auto r = Analyse(FromSpo2(v));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0].start, 1);
    EXPECT_EQ(r.desaturation.events[0].length, 10);

    // A fall one short of the threshold starts nothing.
    std::vector<int> shallow = {98};
    Append(shallow, 95, 20);
    EXPECT_TRUE(Analyse(FromSpo2(shallow)).desaturation.events.empty());

    // The threshold is the one the computation is given, used as it is.
    Thresholds t;
    t.desaturationsEvent = 3;
    r = Analyse(FromSpo2(shallow), t);
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0], (EventRecord{1, 20, 95, 95, 3}));
    t.desaturationsEvent = 25;
    std::vector<int> deep = {98};
    Append(deep, 74, 20);
    EXPECT_TRUE(Analyse(FromSpo2(deep), t).desaturation.events.empty());
}

TEST(EventThresholds, FlatStretchKeepsTheStartingLevelAndARiseResetsIt) {
    // 98 98 98 97 96 95 94...: the fall began at 98 however long the flat start.
    std::vector<int> flat = {98, 98, 98, 97, 96, 95};
    Append(flat, 94, 10);
    auto r = Analyse(FromSpo2(flat));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0].start, 6);

    // The small rise to 97 starts a new fall from 97, so 94 is too shallow and
    // only 93 begins the event.
    std::vector<int> rise = {98, 96, 97, 95};
    Append(rise, 94, 3);
    Append(rise, 93, 10);
    r = Analyse(FromSpo2(rise));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0], (EventRecord{7, 10, 93, 93, 1}));
}

TEST(EventThresholds, InsideAnEventTheValueMayRiseAsLongAsItStaysAtTheLoweredLevel) {
    // From 98 the event holds at 94 and below; 92 -> 94 is a rise, yet inside.
    const std::vector<int> v = {98, 94, 92, 94, 90, 91, 93, 94, 92, 93, 94, 95, 96};
    const auto r = Analyse(FromSpo2(v));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0], (EventRecord{1, 10, 94, 90, 4}));
}

TEST(EventThresholds, OnsetDropIsTheStepIntoTheEventNotTheWholeFall) {
    // A cliff: 97 straight to 80.
    std::vector<int> cliff = {97};
    Append(cliff, 80, 12);
    auto r = Analyse(FromSpo2(cliff));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0].onsetDrop, 17);

    // A slope: the last step before the event is 2 points.
    std::vector<int> slope = {97, 96, 95};
    Append(slope, 93, 12);
    r = Analyse(FromSpo2(slope));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0].onsetDrop, 2);
    EXPECT_EQ(r.desaturation.events[0].start, 3);
}

TEST(EventThresholds, ShortDipDoesNotCarryItsLengthIntoTheNextEvent) {
    std::vector<int> v = {98};
    Append(v, 93, 6);  // too short
    v.push_back(98);
    Append(v, 93, 10);  // exactly long enough, measured from its own start
    v.push_back(98);
    const auto r = Analyse(FromSpo2(v));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0].start, 8);
    EXPECT_EQ(r.desaturation.events[0].length, 10);
}

TEST(EventSummaries, AveragesAreTruncatedAndLargestValuesTakenOverAllEvents) {
    std::vector<int> v = {97};
    Append(v, 92, 10);  // max 92, min 92, onset 5, length 10
    v.push_back(97);
    v.push_back(96);
    Append(v, 90, 13);  // max 90, min 90, onset 6, length 13
    v.push_back(97);
    v.push_back(94);    // 3 below 97: not yet
    Append(v, 93, 11);  // starts at 93: max 93, min 93, onset 1, length 11
    v.push_back(99);
    const auto r = Analyse(FromSpo2(v));
    const ChannelEvents& d = r.desaturation;
    ASSERT_EQ(d.eventCount, 3);
    EXPECT_EQ(d.summary.timeInEvents, 34);
    EXPECT_EQ(d.averageDuration, 11);              // 34 / 3 = 11.33
    EXPECT_EQ(d.summary.averageEventMaximum, 91);  // 275 / 3 = 91.67
    EXPECT_EQ(d.summary.averageEventMinimum, 91);
    EXPECT_EQ(d.summary.largestOnsetDrop, 6);
    EXPECT_EQ(d.summary.longestEvent, 13);
    EXPECT_EQ(d.events[2].onsetDrop, 1);
}

TEST(EventSummaries, IndexPerHourCountsEventsPerThreeThousandSixHundredSamples) {
    std::vector<int> v;
    for (int e = 0; e < 3; ++e) {
        Append(v, 97, 100);
        Append(v, 91, 20);
    }
    Append(v, 97, 1800 - static_cast<int>(v.size()));
    ASSERT_EQ(v.size(), 1800u);
    const auto r = Analyse(FromSpo2(v));
    EXPECT_EQ(r.desaturation.eventCount, 3);
    EXPECT_FLOAT_EQ(r.desaturation.indexPerHour, 6.0f);
    EXPECT_FLOAT_EQ(r.pulse.indexPerHour, 0.0f);
    // With no events the summaries stay zero.
    EXPECT_EQ(r.pulse.summary, EventSummary{});
    EXPECT_EQ(r.pulse.averageDuration, 0);
}

TEST(EventSummaries, ChannelsAreDetectedSeparatelyInOnePass) {
    std::vector<int> spo2 = {97};
    Append(spo2, 92, 12);
    Append(spo2, 97, 7);
    std::vector<int> pulse;
    Append(pulse, 75, 5);
    Append(pulse, 60, 9);
    Append(pulse, 75, 6);
    const auto r = Analyse(FromChannels(spo2, pulse));
    ASSERT_EQ(r.desaturation.events.size(), 1u);
    ASSERT_EQ(r.pulse.events.size(), 1u);
    EXPECT_EQ(r.desaturation.events[0], (EventRecord{1, 12, 92, 92, 5}));
    EXPECT_EQ(r.pulse.events[0], (EventRecord{5, 9, 60, 60, 15}));
}

TEST(DetectEventsAlone, ReplacesOnlyTheEventResults) {
    AnalysisResults r = Analyse(FromSpo2(DesaturationRun(8)));
    const SummaryStatistics statistics = r.statistics;
    DetectEvents(FromSpo2({97, 97, 97}), Thresholds{}, r);
    EXPECT_TRUE(r.desaturation.events.empty());
    EXPECT_EQ(r.desaturation.eventCount, 0);
    EXPECT_EQ(r.statistics, statistics);
}

}  // namespace
}  // namespace quenda
