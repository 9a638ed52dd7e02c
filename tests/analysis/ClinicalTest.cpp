// The clinical summary against series worked out by hand.
#include "SampleSeries.h"
#include "analysis/Clinical.h"
#include "analysis/ClinicalJson.h"
#include "analysis/NightAnalysis.h"
#include "tools/sim/Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace quenda {
namespace {

using testing::Append;
using testing::FromChannels;
using testing::FromSpo2;

constexpr int kNoFinger = 127;  // what the recorder stores without a finger
constexpr int kNoSignal = 0;

struct SeriesCase {
    const char* name;
    std::vector<int> spo2;
    std::vector<ClinicalEvent> depth3;
    std::vector<ClinicalEvent> depth4;
};

std::vector<int> Series(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<int> v;
    for (const auto& [value, count] : runs) Append(v, value, count);
    return v;
}

void ExpectEvents(const std::vector<ClinicalEvent>& got, const std::vector<ClinicalEvent>& want, int depth) {
    ASSERT_EQ(got.size(), want.size()) << "depth " << depth;
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "depth " << depth << " event " << i);
        EXPECT_EQ(got[i].start, want[i].start);
        EXPECT_EQ(got[i].length, want[i].length);
        EXPECT_NEAR(got[i].baseline, want[i].baseline, 1e-9);
        EXPECT_EQ(got[i].nadir, want[i].nadir);
        EXPECT_NEAR(got[i].area, want[i].area, 1e-9);
    }
}

TEST(Clinical, DesaturationsOfHandWorkedSeries) {
    // 60 × 96, a 9-s dip, one 96, then a 20-s dip: the short dip does not
    // count and its samples rejoin the baseline of the next one:
    // (60·96 + 9·91 + 96) / 70.
    const double rejoined = 6675.0 / 70.0;
    const std::vector<SeriesCase> cases{
        {"flat 96 % night", Series({{96, 3600}}), {}, {}},
        {"5 % for 30 s after a stable 120 s",
         Series({{96, 120}, {91, 30}, {96, 150}}),
         {{120, 30, 96, 91, 150}},
         {{120, 30, 96, 91, 150}}},
        {"exactly 3 %", Series({{96, 120}, {93, 20}, {96, 60}}), {{120, 20, 96, 93, 60}}, {}},
        {"9-s dip", Series({{96, 120}, {91, 9}, {96, 60}}), {}, {}},
        {"9-s dip, then a counted one",
         Series({{96, 60}, {91, 9}, {96, 1}, {91, 20}, {96, 30}}),
         {{70, 20, rejoined, 91, 20 * rejoined - 20 * 91}},
         {{70, 20, rejoined, 91, 20 * rejoined - 20 * 91}}},
        {"recovers to b - 2 and falls again: one event",
         Series({{96, 120}, {91, 15}, {94, 5}, {91, 15}, {96, 45}}),
         {{120, 35, 96, 91, 160}},
         {{120, 35, 96, 91, 160}}},
        // Invalid samples in the baseline do not count; one inside the dip
        // closes the first event, and the second opens on a baseline without
        // the first one's samples.
        {"invalid samples around and inside",
         Series({{96, 50}, {kNoFinger, 1}, {96, 70}, {91, 12}, {kNoSignal, 1}, {91, 12}, {96, 40}}),
         {{121, 12, 96, 91, 60}, {134, 12, 96, 91, 60}},
         {{121, 12, 96, 91, 60}, {134, 12, 96, 91, 60}}},
        {"59 valid samples in the window: no baseline",
         Series({{96, 59}, {kNoFinger, 61}, {91, 30}, {96, 60}}),
         {},
         {}},
        {"60 valid samples in the window",
         Series({{96, 60}, {kNoFinger, 60}, {91, 30}, {96, 60}}),
         {{120, 30, 96, 91, 150}},
         {{120, 30, 96, 91, 150}}},
        {"still open at the end", Series({{96, 120}, {90, 12}}), {{120, 12, 96, 90, 72}}, {{120, 12, 96, 90, 72}}},
    };
    for (const SeriesCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto samples = FromSpo2(c.spo2);
        const ClinicalSummary s = ComputeClinicalSummary(samples);
        ExpectEvents(s.events3, c.depth3, 3);
        ExpectEvents(s.events4, c.depth4, 4);
    }
}

// The 4 % desaturations are the 3 % ones whose nadir reaches 4 below their
// baseline, on every night: simulated nights of random lengths and seeds under
// both profiles, with bursts of invalid readings thrown in.
TEST(Clinical, Odi4IsNestedInOdi3OnRandomNights) {
    std::mt19937 rng(39);
    for (int night = 0; night < 12; ++night) {
        SCOPED_TRACE(::testing::Message() << "night " << night);
        const int hours = std::uniform_int_distribution<int>(2, 9)(rng);
        auto samples = sim::GenerateRecording(1, hours * 3600, {2026, 3, 1, 22, 0, 0}, rng());
        for (int burst = std::uniform_int_distribution<int>(0, 20)(rng); burst > 0; --burst) {
            const auto at = std::uniform_int_distribution<std::size_t>(0, samples.size() - 1)(rng);
            for (std::size_t k = at; k < std::min(samples.size(), at + 30); ++k) samples[k].spo2 = kNoFinger;
        }
        for (const ClinicalProfile profile : {ClinicalProfile::Raw, ClinicalProfile::Default}) {
            const ClinicalSummary s = ComputeClinicalSummary(samples, {profile, {}});
            EXPECT_LE(s.odi4, s.odi3);
            std::vector<ClinicalEvent> deep;
            for (const ClinicalEvent& e : s.events3)
                if (e.baseline - e.nadir >= 4) deep.push_back(e);
            EXPECT_EQ(s.events4, deep);
        }
    }
}

TEST(Clinical, FiguresOfOneDipAndTheReportAnalysisBesideThem) {
    const auto samples = FromSpo2(Series({{96, 120}, {91, 30}, {96, 150}}));
    const AnalysisResults before = testing::Analyse(samples);
    const ClinicalSummary s = ComputeClinicalSummary(samples);

    EXPECT_EQ(s.validSamples, 300);
    EXPECT_DOUBLE_EQ(s.validHours, 300 / 3600.0);
    EXPECT_DOUBLE_EQ(s.odi3, 12.0);
    EXPECT_DOUBLE_EQ(s.odi4, 12.0);
    EXPECT_DOUBLE_EQ(s.desaturationBurden, 150 / 60.0 * 12);  // %·min per hour
    EXPECT_EQ(s.t90, 0);                                      // 91 is not below 90
    EXPECT_EQ(s.t88Minutes, 0);
    EXPECT_EQ(s.longestLe88Start, -1);
    EXPECT_EQ(s.nadirSpo2, 91);
    EXPECT_EQ(s.nadirIndex, 120);
    EXPECT_DOUBLE_EQ(s.spo2Mean, 95.5);
    EXPECT_DOUBLE_EQ(s.spo2Median, 96);
    EXPECT_DOUBLE_EQ(s.bands[0].minutes, 4.5);
    EXPECT_DOUBLE_EQ(s.bands[0].percent, 90);
    EXPECT_DOUBLE_EQ(s.bands[1].minutes, 0.5);
    EXPECT_DOUBLE_EQ(s.bands[1].percent, 10);

    // The report page's own analysis of the same night is what it always was:
    // one event from 120, 30 s long.
    EXPECT_EQ(testing::Analyse(samples), before);
    ASSERT_EQ(before.desaturation.eventCount, 1);
    EXPECT_EQ(before.desaturation.events[0], (EventRecord{120, 30, 91, 91, 5}));
}

TEST(Clinical, LowTimesRunsAndBands) {
    // 100 × 96, 20 × 88, a no-signal sample, 30 × 85, 5 × 89, 10 × 87, 34 × 96.
    const auto samples = FromSpo2(Series({{96, 100}, {88, 20}, {kNoSignal, 1}, {85, 30}, {89, 5}, {87, 10}, {96, 34}}));
    const ClinicalSummary s = ComputeClinicalSummary(samples);
    EXPECT_EQ(s.validSamples, 199);
    EXPECT_DOUBLE_EQ(s.t90, 100.0 * 65 / 199);
    EXPECT_DOUBLE_EQ(s.t88Minutes, 1.0);  // 20 + 30 + 10 samples
    // The invalid sample breaks the first run; the 89s break the second.
    EXPECT_EQ(s.longestLe88Seconds, 30);
    EXPECT_EQ(s.longestLe88Start, 121);
    EXPECT_EQ(s.nadirSpo2, 85);
    EXPECT_EQ(s.nadirIndex, 121);
    const int bandSamples[kSpo2BandCount] = {134, 0, 65, 0, 0};
    for (int b = 0; b < kSpo2BandCount; ++b) EXPECT_EQ(s.bands[static_cast<std::size_t>(b)].samples, bandSamples[b]);
    EXPECT_DOUBLE_EQ(s.bands[2].percent, 100.0 * 65 / 199);
}

TEST(Clinical, MediansOfAnEvenCountAndPulseRange) {
    // The last sample's pulse (255) is outside the valid range: it takes part in
    // nothing.
    const auto samples = FromChannels({96, 97, 98, 99, 99}, {60, 61, 70, 80, 255});
    const ClinicalSummary s = ComputeClinicalSummary(samples);
    EXPECT_EQ(s.validSamples, 4);
    EXPECT_DOUBLE_EQ(s.spo2Median, 97.5);
    EXPECT_DOUBLE_EQ(s.spo2Mean, 97.5);
    EXPECT_DOUBLE_EQ(s.pulseMedian, 65.5);
    EXPECT_DOUBLE_EQ(s.pulseMean, 67.75);
    EXPECT_EQ(s.pulseMin, 60);
    EXPECT_EQ(s.pulseMax, 80);
    EXPECT_DOUBLE_EQ(ComputeClinicalSummary(FromChannels({96, 90, 93}, {70, 70, 70})).spo2Median, 93);
}

TEST(Clinical, NoValidSamplesGiveZeroEverywhere) {
    for (const auto& spo2 : {std::vector<int>{}, std::vector<int>{kNoSignal, kNoFinger, kNoSignal}}) {
        const ClinicalSummary s = ComputeClinicalSummary(FromSpo2(spo2));
        EXPECT_EQ(s.validSamples, 0);
        EXPECT_EQ(s.validHours, 0);
        EXPECT_EQ(s.odi3, 0);
        EXPECT_EQ(s.desaturationBurden, 0);
        EXPECT_EQ(s.t90, 0);
        EXPECT_EQ(s.nadirSpo2, 0);
        EXPECT_EQ(s.nadirIndex, -1);
        EXPECT_EQ(s.spo2Median, 0);
        EXPECT_EQ(s.pulseMax, 0);
        EXPECT_TRUE(s.events3.empty());
        EXPECT_TRUE(s.events4.empty());
        for (const Spo2Band& b : s.bands) EXPECT_EQ(b.percent, 0);
        EXPECT_EQ(s.bands[4].low, kValidSpo2Min);  // the ranges are there to be shown
        EXPECT_EQ(s.bands[0].low, 95);
    }
    // The report page's analysis still counts every sample of such a night.
    const AnalysisResults r = testing::Analyse(FromSpo2({kNoSignal, kNoFinger, kNoSignal}));
    EXPECT_EQ(r.statistics.spo2Maximum, kNoFinger);
    EXPECT_EQ(r.statistics.spo2Minimum, kNoSignal);
}

// A table of nights reads the clinical object's scalars as columns: each by
// its whole name, as the JSON writes it, null as empty; lists are no column.
TEST(Clinical, ColumnsAreTheJsonsScalarsByTheirWholeName) {
    for (const bool counted : {true, false}) {
        const auto samples = counted ? FromSpo2(Series({{97, 120}, {91, 20}, {97, 120}}))
                                     : FromSpo2({kNoSignal, kNoFinger, kNoSignal});
        ClinicalColumns columns;
        const std::string json = ClinicalJson(AnalyzeNight(samples, {}, FigureSettings{}, {}), samples, &columns);
        EXPECT_EQ(json, ClinicalJson(AnalyzeNight(samples, {}, FigureSettings{}, {}), samples));
        const struct {
            const char* name;
            std::optional<std::string_view> value;
        } cases[] = {
            {"odi3", counted ? "13.95" : ""},
            {"nadir_spo2", counted ? "91" : ""},
            {"valid_samples", counted ? "260" : "0"},
            {"profile", "default"},
            {"shape_depth3_odi_class", counted ? "mild" : ""},
            {"spo2", std::nullopt},  // only a part of "spo2_mean" and "nadir_spo2"
            {"odi", std::nullopt},
            {"events3", std::nullopt},
            {"scored_events_ahi", std::nullopt},
        };
        for (const auto& c : cases) EXPECT_EQ(columns.Find(c.name), c.value) << c.name << " counted " << counted;
        std::set<std::string, std::less<>> names;  // one column each
        columns.ForEach([&](std::string_view name, std::string_view) { EXPECT_TRUE(names.emplace(name).second) << name; });
        EXPECT_GT(names.size(), 90u);
    }
}

}  // namespace
}  // namespace quenda
