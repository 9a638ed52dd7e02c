// The clinical rules go by the recorder's clock: a second without a sample is
// an invalid reading to every rule, and a break between nights a long gap.
#include "SampleSeries.h"
#include "analysis/Clinical.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

constexpr int kGap = -1;  // a second without a sample

// One value per second from 2026-03-01 00:00:00, each run of {value, seconds}:
// a sample with that SpO2 (pulse 70), or none for kGap.
std::vector<SampleRecord> Timeline(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<SampleRecord> samples;
    std::size_t second = 0;
    for (const auto& [value, count] : runs) {
        for (int k = 0; k < count; ++k, ++second)
            if (value != kGap) samples.push_back(testing::SampleAt(second, value, 70));
    }
    return samples;
}

// One character per sample: x excluded, - invalid, m margin, a artefact, . counted.
std::string Picture(const SampleMarks& m) {
    std::string s;
    for (SampleMark mark : m.marks) s += "x-ma."[static_cast<int>(mark)];
    return s;
}

std::string Repeat(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

TEST(ClinicalGap, EventsAndBaselinesAcrossMissingSeconds) {
    // After a 9-s dip cut by a gap, the window before second 130 holds 100 × 96
    // and the dip's 9 × 91, back at their own seconds (not their indices: an
    // earlier gap sets the two apart), from which they later leave.
    const double rejoined = (100 * 96 + 9 * 91) / 109.0;
    const struct {
        const char* name;
        std::vector<SampleRecord> samples;
        std::vector<ClinicalEvent> events;  // depth 3 and 4 alike
    } cases[] = {
        {"60 missing seconds leave 60 of 120: a baseline",
         Timeline({{96, 60}, {kGap, 60}, {91, 30}, {96, 60}}),
         {{60, 30, 96, 91, 150}}},
        {"61 missing seconds leave 59: none", Timeline({{96, 60}, {kGap, 61}, {91, 30}, {96, 60}}), {}},
        {"a 1-s gap closes an event; the next opens after it",
         Timeline({{96, 120}, {91, 15}, {kGap, 1}, {91, 15}, {96, 60}}),
         {{120, 15, 96, 91, 75}, {135, 15, 96, 91, 75}}},
        {"a 9-s dip cut by a gap rejoins the baseline",
         Timeline({{96, 10}, {kGap, 10}, {96, 100}, {91, 9}, {kGap, 1}, {91, 20}, {95, 200}, {90, 15}, {95, 30}}),
         {{119, 20, rejoined, 91, 20 * rejoined - 20 * 91}, {339, 15, 95, 90, 75}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ClinicalSummary s = ComputeClinicalSummary(c.samples);
        for (const auto& got : {s.events3, s.events4, DetectDesaturations(c.samples)}) {
            ASSERT_EQ(got.size(), c.events.size());
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(std::tie(got[i].start, got[i].length, got[i].nadir),
                          std::tie(c.events[i].start, c.events[i].length, c.events[i].nadir));
                EXPECT_NEAR(got[i].baseline, c.events[i].baseline, 1e-9);
                EXPECT_NEAR(got[i].area, c.events[i].area, 1e-9);
            }
        }
    }
}

TEST(ClinicalGap, MarginsAndArtefactsBySeconds) {
    const std::string aroundGap = Repeat('.', 5) + Repeat('m', 10) + Repeat('.', 5);
    const struct {
        const char* name;
        std::vector<SampleRecord> samples;
        std::string want;
    } cases[] = {
        {"margins reach 5 s from a 1-s gap, not 6", Timeline({{96, 10}, {kGap, 1}, {96, 10}}), aroundGap},
        // A margin sample is never the reference, so a step across a gap is
        // judged over at least 12 s: 10 points is never an artefact.
        {"10 points across 29 missing seconds", Timeline({{96, 10}, {kGap, 29}, {86, 10}}), aroundGap},
        {"across 30", Timeline({{96, 10}, {kGap, 30}, {86, 10}}), aroundGap},
        {"across 31", Timeline({{96, 10}, {kGap, 31}, {86, 10}}), aroundGap},
        {"50 points 12 s after the last accepted sample: more than 4 a second",
         Timeline({{100, 10}, {kGap, 1}, {50, 10}}), Repeat('.', 5) + Repeat('m', 10) + "a...."},
        {"13 s after: accepted", Timeline({{100, 10}, {kGap, 2}, {50, 10}}), aroundGap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Picture(MarkSamples(c.samples, ClinicalProfile::Default, {})), c.want);
        EXPECT_EQ(Picture(MarkSamples(c.samples, ClinicalProfile::Raw, {})), Repeat('.', 20));
    }
}

TEST(ClinicalGap, FiguresAfterAFiftyNineMinuteGapRestOnTheSamplesThereAre) {
    // An hour at 96 with one dip, 59 minutes without a sample, then 2 minutes
    // at 85 cut by a 1-s gap. Nothing after the gap is scored against the 96
    // an hour back, and the missing seconds are in no denominator.
    const auto samples = Timeline({{96, 1800}, {91, 30}, {96, 1770}, {kGap, 59 * 60}, {85, 60}, {kGap, 1}, {85, 60}});
    const ClinicalSummary s = ComputeClinicalSummary(samples);
    ASSERT_EQ(s.events3.size(), 1u);
    EXPECT_EQ(s.events3[0].start, 1800);
    const double hours = 3720 / 3600.0;
    EXPECT_EQ(s.countedSamples, 3720);
    EXPECT_DOUBLE_EQ(s.countedHours, hours);
    EXPECT_DOUBLE_EQ(s.coverage, 100.0);
    EXPECT_DOUBLE_EQ(s.odi3, 1 / hours);
    EXPECT_DOUBLE_EQ(s.desaturationBurden, 150 / 60.0 / hours);
    EXPECT_DOUBLE_EQ(s.t90, 100.0 * 120 / 3720);
    EXPECT_DOUBLE_EQ(s.t88Minutes, 2.0);
    EXPECT_DOUBLE_EQ(s.bands[2].percent, 100.0 * 120 / 3720);
    // The gap breaks the run at or below 88; the first of the equal halves wins.
    EXPECT_EQ(s.longestLe88Seconds, 60);
    EXPECT_EQ(s.longestLe88Start, 3600);
}

TEST(ClinicalGap, BreakBetweenNightsIsALongGap) {
    // 96 × 120 then 92 × 15 (an event still open), then the next night's
    // 92 × 30 and 96 × 100, its first stamp `step` seconds after the last one.
    const auto night = [](std::int64_t step) {
        std::vector<SampleRecord> samples;
        std::size_t second = 7200;
        const auto run = [&](int spo2, int count) {
            for (int k = 0; k < count; ++k) samples.push_back(testing::SampleAt(second++, spo2, 70));
        };
        run(96, 120);
        run(92, 15);
        second += static_cast<std::size_t>(step - 1);
        run(92, 30);
        run(96, 100);
        return samples;
    };
    const struct {
        const char* name;
        std::int64_t step;
    } cases[] = {{"an hour: the longest gap in a night", 3600},
                 {"an hour and a second", 3601},
                 {"the same stamp again", 0},
                 {"backwards", -600}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto samples = night(c.step);
        EXPECT_EQ(DetectDesaturations(samples), (std::vector<ClinicalEvent>{{120, 15, 96, 92, 60}}));
        // The default profile's margins end the event 5 s before the break.
        EXPECT_EQ(ComputeClinicalSummary(samples, {ClinicalProfile::Default, {}}).events3,
                  (std::vector<ClinicalEvent>{{120, 10, 96, 92, 40}}));
        EXPECT_EQ(Picture(MarkSamples(samples, ClinicalProfile::Default, {})),
                  Repeat('.', 130) + Repeat('m', 10) + Repeat('.', 125));
    }
}

TEST(ClinicalGap, ClockStepsAcrossTheCalendar) {
    const auto at = [](int year, int month, int day, int hour, int minute, int second) {
        SampleRecord r;
        r.year = static_cast<std::uint8_t>(year - 2000);
        r.month = static_cast<std::uint8_t>(month);
        r.day = static_cast<std::uint8_t>(day);
        r.hour = static_cast<std::uint8_t>(hour);
        r.minute = static_cast<std::uint8_t>(minute);
        r.second = static_cast<std::uint8_t>(second);
        return r;
    };
    const std::int64_t kBreak = SampleClock::kBreakStep;
    const struct {
        SampleRecord from, to;
        std::int64_t step;
    } cases[] = {
        {at(2026, 3, 1, 22, 10, 5), at(2026, 3, 1, 22, 10, 6), 1},
        {at(2026, 3, 1, 22, 10, 59), at(2026, 3, 1, 22, 11, 0), 1},
        {at(2026, 3, 1, 22, 59, 59), at(2026, 3, 1, 23, 0, 0), 1},
        {at(2026, 3, 1, 22, 10, 30), at(2026, 3, 1, 22, 11, 0), 30},
        {at(2026, 2, 28, 23, 59, 59), at(2026, 3, 1, 0, 0, 0), 1},
        {at(2024, 2, 28, 23, 59, 59), at(2024, 2, 29, 0, 0, 0), 1},
        {at(2026, 3, 1, 22, 0, 0), at(2026, 3, 1, 23, 0, 0), 3600},
        {at(2026, 3, 1, 22, 0, 0), at(2026, 3, 1, 23, 0, 1), kBreak},
        {at(2026, 3, 1, 22, 0, 59), at(2026, 3, 1, 22, 0, 60), kBreak},  // no such second
        {at(2026, 3, 1, 22, 0, 30), at(2026, 3, 1, 22, 0, 227), kBreak},
        {at(2026, 3, 1, 22, 59, 59), at(2026, 3, 1, 22, 60, 0), kBreak},  // no such minute
        {at(2026, 4, 31, 22, 0, 0), at(2026, 4, 31, 22, 0, 1), kBreak},   // no such day
    };
    for (const auto& c : cases) {
        SampleClock clock;
        const std::int64_t first = clock.Next(c.from);
        EXPECT_EQ(clock.Next(c.to) - first, c.step) << int{c.to.day} << " " << int{c.to.second};
    }
}

}  // namespace
}  // namespace quenda
