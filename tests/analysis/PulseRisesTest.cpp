// Pulse rises and the desaturations they answer, on hand-made nights, through
// the night analysis every road takes them from.
#include "SampleSeries.h"
#include "analysis/NightAnalysis.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quenda {
namespace {

constexpr int kGap = -1;  // a second without a sample

// One sample per second from 2026-03-01 00:00:00 with SpO2 96, each run of
// {pulse, seconds}; no sample for kGap.
std::vector<SampleRecord> Pulse(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<SampleRecord> samples;
    std::size_t second = 0;
    for (const auto& [pulse, count] : runs) {
        for (int k = 0; k < count; ++k, ++second)
            if (pulse != kGap) samples.push_back(testing::SampleAt(second, 96, pulse));
    }
    return samples;
}

// Every valid sample counts.
PulseRiseFigures RisesOf(const std::vector<SampleRecord>& samples) {
    return AnalyzeNight(samples, {}, {{}, ClinicalProfile::Raw}).pulseRises;
}

TEST(PulseRises, StartEndAndLength) {
    const struct {
        const char* name;
        std::vector<SampleRecord> samples;
        std::vector<PulseRise> rises;
    } cases[] = {
        {"10 bpm above 30 s at 70 starts one", Pulse({{70, 30}, {80, 5}, {70, 10}}), {{30, 5, 70, 80}}},
        {"9 does not", Pulse({{70, 30}, {79, 5}, {70, 10}}), {}},
        {"baseline + 5 ends one: 2 s do not count", Pulse({{70, 30}, {80, 2}, {75, 10}}), {}},
        {"3 s do", Pulse({{70, 30}, {80, 3}, {75, 10}}), {{30, 3, 70, 80}}},
        {"baseline + 6 goes on", Pulse({{70, 30}, {82, 2}, {76, 1}, {75, 10}}), {{30, 3, 70, 82}}},
        {"15 counted seconds in the window make a baseline",
         Pulse({{70, 15}, {kGap, 15}, {80, 5}, {70, 10}}),
         {{15, 5, 70, 80}}},
        {"14 do not", Pulse({{70, 14}, {kGap, 16}, {80, 5}, {70, 10}}), {}},
        // After the gap the window holds both 80s: no new start at 80.
        {"a missing second ends one", Pulse({{70, 30}, {80, 2}, {kGap, 1}, {80, 5}, {70, 10}}), {}},
        {"so does a reading that is not counted", Pulse({{70, 30}, {80, 2}, {0, 1}, {80, 5}, {70, 10}}), {}},
        {"one open at the end ends there", Pulse({{70, 30}, {80, 3}}), {{30, 3, 70, 80}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PulseRiseFigures f = RisesOf(c.samples);
        EXPECT_EQ(f.rises, c.rises);
        EXPECT_DOUBLE_EQ(f.index, static_cast<double>(c.rises.size()) * 3600 / static_cast<double>(c.samples.size()));
    }
}

// 96 % for 120 s, 92 % from second 120 to 134 (a 3 % desaturation that
// closes at 135), then 96 % to second 299; pulse 70 with 5 s at 80 from
// `rise`; no samples at the seconds of `gap`.
std::vector<SampleRecord> DipAndRise(int rise, std::pair<int, int> gap = {0, 0}) {
    std::vector<SampleRecord> samples;
    for (int s = 0; s < 300; ++s) {
        if (s >= gap.first && s < gap.second) continue;
        const int spo2 = s >= 120 && s < 135 ? 92 : 96;
        const int pulse = s >= rise && s < rise + 5 ? 80 : 70;
        samples.push_back(testing::SampleAt(static_cast<std::size_t>(s), spo2, pulse));
    }
    return samples;
}

TEST(PulseRises, AnswerTheDesaturationsFromTheirStartTo30sAfterTheirEnd) {
    const struct {
        const char* name;
        std::vector<SampleRecord> samples;
        int answered;
    } cases[] = {
        {"at its start", DipAndRise(120), 1},
        {"a second before", DipAndRise(119), 0},
        {"30 s after its end", DipAndRise(165), 1},
        {"31 s after", DipAndRise(166), 0},
        // By the clock: after 10 missing seconds, sample 161 is at second 171.
        {"31 s after by the clock, across a gap", DipAndRise(171, {140, 150}), 0},
        {"30 s after by the clock, across a gap", DipAndRise(165, {140, 150}), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const NightAnalysis night = AnalyzeNight(c.samples, {}, {{}, ClinicalProfile::Raw});
        ASSERT_EQ(night.clinical.events3.size(), 1u);
        ASSERT_EQ(night.clinical.events3[0].length, 15);
        const PulseRiseFigures& f = night.pulseRises;
        ASSERT_EQ(f.rises.size(), 1u);
        EXPECT_EQ(f.answered, c.answered);
        EXPECT_DOUBLE_EQ(f.coupledShare, 100.0 * c.answered);
        EXPECT_EQ(f.uncoupled, 1 - c.answered);
        const double hours = static_cast<double>(c.samples.size()) / 3600;
        EXPECT_DOUBLE_EQ(f.index, 1 / hours);
        EXPECT_DOUBLE_EQ(f.uncoupledIndex, (1 - c.answered) / hours);
    }
    // Without a desaturation there is no share.
    EXPECT_TRUE(std::isnan(RisesOf(Pulse({{70, 30}, {80, 5}})).coupledShare));
}

}  // namespace
}  // namespace quenda
