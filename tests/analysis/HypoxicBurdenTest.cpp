// The hypoxic burden on short nights worked out by hand, the window search
// on curves drawn to order, and the zero-phase filter against a direct sum.
#include "SampleSeries.h"
#include "analysis/HypoxicBurden.h"
#include "analysis/NightAnalysis.h"
#include "analysis/ScoredFigures.h"
#include "store/NightRule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

namespace quenda {
namespace {

// A night of `seconds` at 95 %, from the series' first second.
std::vector<int> Flat(int seconds) { return std::vector<int>(static_cast<std::size_t>(seconds), 95); }

// SpO2 `value` over 1-based seconds first..last, as the method counts them.
void Dip(std::vector<int>& spo2, int first, int last, int value) {
    for (int s = first; s <= last; ++s) spo2[static_cast<std::size_t>(s - 1)] = value;
}

// An event whose end falls in 1-based second `end` (onset + duration + 1, floored).
ScoredAnnotation EventEndingAt(const std::vector<SampleRecord>& samples, int end, int duration,
                               AnnotationKind kind = AnnotationKind::Hypopnea) {
    const std::int64_t first = *SampleSeconds(samples.front());
    return {(first + end - 1 - duration) * 1000, duration * 1000LL, kind, SleepStage::None, "Hypopnea"};
}

ScoredAnnotation Stage(const std::vector<SampleRecord>& samples, int from, int seconds, SleepStage stage) {
    const std::int64_t first = *SampleSeconds(samples.front());
    return {(first + from) * 1000, seconds * 1000LL, AnnotationKind::Stage, stage, StageText(stage)};
}

ScoredFigures Scored(const std::vector<SampleRecord>& samples, std::vector<ScoredAnnotation> annotations,
                     const Exclusions& exclusions = {}) {
    ScoredStudy study{kEdfAnnotationsSource, std::move(annotations)};
    SortAnnotations(study.annotations);
    return AnalyzeNight(samples, exclusions, {}, study).scored;
}

TEST(HypoxicBurden, FilterIsTheDirectZeroPhaseSum) {
    std::mt19937 random(40);
    std::vector<double> curve(kEnsembleLength);
    for (double& v : curve) v = std::uniform_real_distribution<double>(85, 97)(random);
    // Written out: pad by mirroring, run forward with the input held at its
    // first value before it, then backward with it held at its last after.
    const int n = kEnsembleLength, pad = kBurdenPadding, taps = kBurdenFilterTaps;
    std::vector<double> x;
    for (int k = pad; k >= 1; --k) x.push_back(2 * curve[0] - curve[static_cast<std::size_t>(k)]);
    x.insert(x.end(), curve.begin(), curve.end());
    for (int k = 1; k <= pad; ++k) x.push_back(2 * curve[n - 1] - curve[static_cast<std::size_t>(n - 1 - k)]);
    const int m = static_cast<int>(x.size());
    const auto get = [](const std::vector<double>& v, int i) {
        return v[static_cast<std::size_t>(std::clamp(i, 0, static_cast<int>(v.size()) - 1))];
    };
    std::vector<double> forward(static_cast<std::size_t>(m)), both(static_cast<std::size_t>(m));
    for (int i = 0; i < m; ++i)
        for (int k = 0; k < taps; ++k)
            forward[static_cast<std::size_t>(i)] += kBurdenFilter[static_cast<std::size_t>(k)] * get(x, i - k);
    for (int i = 0; i < m; ++i)
        for (int k = 0; k < taps; ++k)
            both[static_cast<std::size_t>(i)] += kBurdenFilter[static_cast<std::size_t>(k)] * get(forward, i + k);
    const std::vector<double> filtered = ZeroPhaseLowPass(curve);
    ASSERT_EQ(filtered.size(), curve.size());
    for (int i = 0; i < n; ++i)
        EXPECT_NEAR(filtered[static_cast<std::size_t>(i)], both[static_cast<std::size_t>(i + pad)], 1e-9) << i;

    // A straight line stays the line, scaled by the gain of two passes: the
    // mirrored padding carries it past both ends, and the start-up is cut off.
    const double gain = std::accumulate(kBurdenFilter.begin(), kBurdenFilter.end(), 0.0);
    std::vector<double> line(kEnsembleLength);
    for (std::size_t i = 0; i < line.size(); ++i) line[i] = 90 + 0.03 * static_cast<double>(i);
    const std::vector<double> smooth = ZeroPhaseLowPass(line);
    for (std::size_t i = 0; i < line.size(); ++i) EXPECT_NEAR(smooth[i], gain * gain * line[i], 1e-9) << i;
}

// Curves drawn to order: 95 everywhere but the given 1-based positions of
// the piece searched, which starts at 121 - D.
TEST(HypoxicBurden, WindowSearch) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, double>> points;  // piece position, value
        BurdenWindow expected;
    };
    constexpr int kD = 10, kG = 60;  // the piece: positions 111..181 of the curve, 71 long
    const std::vector<Case> cases = {
        {"last peak before over 3/4, first after", {{5, 96}, {8, 95.5}, {20, 90}, {40, 94}, {50, 96}}, {-2, 40, true}},
        {"exactly 3/4 is not over it", {{5, 96}, {8, 94.5}, {20, 90}, {40, 94}, {50, 96}}, {-5, 40, true}},
        {"the deepest of two minima", {{5, 96}, {12, 92}, {20, 90}, {30, 96}}, {-5, 20, true}},
        {"nadir at position 2", {{2, 90}, {40, 96}}, {}},
        {"nadir at the piece's last but one", {{5, 96}, {70, 90}}, {}},
        {"nadir at the piece's last but two", {{5, 96}, {69, 90}, {70, 96}}, {-5, 60, true}},
        {"nadir at position 3", {{2, 96}, {3, 90}, {30, 96}}, {-8, 20, true}},
        {"no peak after the nadir", {{5, 96}, {20, 90}}, {}},
        {"flat", {}, {}},
    };
    for (const Case& c : cases) {
        std::vector<double> curve(kEnsembleLength, 95.0);
        for (const auto& [position, value] : c.points) curve[static_cast<std::size_t>(119 - kD + position)] = value;
        EXPECT_EQ(FindBurdenWindow(curve, kD, kG), c.expected) << c.name;
    }
}

TEST(HypoxicBurden, OneDipOfKnownDepthAndLength) {
    // An hour at 95 %; one 20-s event ending in second 1021, SpO2 90 for the
    // 20 seconds after: 5 points × 20 s = 100 %·s = 1.6667 %·min in one hour.
    std::vector<int> spo2 = Flat(3600);
    Dip(spo2, 1022, 1041, 90);
    const auto samples = testing::FromSpo2(spo2);
    const ScoredFigures f = Scored(samples, {EventEndingAt(samples, 1021, 20)});
    ASSERT_TRUE(f.hasBurden);
    EXPECT_TRUE(f.burden.window.found);
    EXPECT_LE(f.burden.window.start, 1);
    EXPECT_GE(f.burden.window.end, 20);
    EXPECT_EQ(f.burden.eventsUsed, 1);
    EXPECT_NEAR(f.burden.value, 100.0 / 60.0, 0.01);
    EXPECT_NEAR(f.burden.hours, 1.0, 1e-12);
    // An excluded second of the dip is no reading: 19 of its seconds count, over 3599 s.
    const ScoredFigures less =
        Scored(samples, {EventEndingAt(samples, 1021, 20)}, Exclusions(std::vector<SampleSpan>{{1029, 1029}}));
    EXPECT_NEAR(less.burden.value, 95.0 / 60.0 / (3599.0 / 3600.0), 0.01);
}

TEST(HypoxicBurden, OverlappingWindowsCountOnce) {
    // Events ending in seconds 105 and 115 are too early for the ensemble,
    // so the window is [-5, 45]: the first covers 100..150, the second from
    // where the first stopped, 150..160. SpO2 90 over 140..155: 11 s in the
    // first window, 6 in the second (its window starts on the first's last
    // second, as the method counts it) = 17 × 5 / 60 %·min in one hour.
    std::vector<int> spo2 = Flat(3600);
    Dip(spo2, 140, 155, 90);
    const auto samples = testing::FromSpo2(spo2);
    const ScoredFigures f =
        Scored(samples, {EventEndingAt(samples, 105, 10), EventEndingAt(samples, 115, 10, AnnotationKind::Apnea)});
    EXPECT_EQ(f.burden.window, BurdenWindow{});
    EXPECT_EQ(f.burden.eventsUsed, 2);
    EXPECT_NEAR(f.burden.value, 17 * 5 / 60.0, 0.01);
    EXPECT_EQ(f.apneas, 1);
    EXPECT_EQ(f.hypopneas, 1);
}

TEST(HypoxicBurden, EventsNearTheNightsEnds) {
    // Ends in second 100 (no 100 s before it) and 3555 (its window would reach
    // the night's last second) are left out; 101 and 3554 count. Each counted
    // one has a 6-s dip of 5 points in its window: 2 × 30 / 60 %·min.
    std::vector<int> spo2 = Flat(3600);
    Dip(spo2, 110, 115, 90);
    Dip(spo2, 3560, 3565, 90);
    const auto samples = testing::FromSpo2(spo2);
    const ScoredFigures f = Scored(samples, {EventEndingAt(samples, 100, 10), EventEndingAt(samples, 101, 10),
                                             EventEndingAt(samples, 3554, 10), EventEndingAt(samples, 3555, 10)});
    EXPECT_EQ(f.burden.window, BurdenWindow{});
    EXPECT_EQ(f.burden.eventsUsed, 2);
    EXPECT_NEAR(f.burden.value, 1.0, 0.01);
}

TEST(HypoxicBurden, FlatNightTakesTheDefaultWindow) {
    const auto samples = testing::FromSpo2(Flat(3600));
    const ScoredFigures f = Scored(
        samples, {EventEndingAt(samples, 900, 15), EventEndingAt(samples, 1500, 25), EventEndingAt(samples, 2100, 20)});
    EXPECT_EQ(f.burden.window, (BurdenWindow{-5, 45, false}));
    EXPECT_EQ(f.burden.eventsUsed, 3);
    EXPECT_EQ(f.burden.value, 0.0);
    EXPECT_NEAR(f.ahi, 3.0, 1e-9);
    EXPECT_FALSE(f.sleepBasis);
}

TEST(ScoredFigures, HoursAsleepByTheStages) {
    // W for 10 min, N2 for 40, then a stage without a duration (30 s of R)
    // and ? to the end. SpO2 below 50 for a minute of N2: asleep all the
    // same, but no reading for the burden's hours.
    std::vector<int> spo2 = Flat(3600);
    Dip(spo2, 1201, 1260, 40);
    const auto samples = testing::FromSpo2(spo2);
    const ScoredFigures f =
        Scored(samples, {Stage(samples, 0, 600, SleepStage::Wake), Stage(samples, 600, 2400, SleepStage::N2),
                         Stage(samples, 3000, 0, SleepStage::Rem), Stage(samples, 3030, 570, SleepStage::Unscored),
                         EventEndingAt(samples, 1500, 20, AnnotationKind::Apnea)});
    EXPECT_TRUE(f.sleepBasis);
    EXPECT_NEAR(f.hours, 2430 / 3600.0, 1e-12);
    EXPECT_NEAR(f.ahi, 3600 / 2430.0, 1e-12);
    EXPECT_NEAR(f.burden.hours, 2370 / 3600.0, 1e-12);
    EXPECT_TRUE(f.burden.sleepBasis);
    // Stages alone are scoring; nothing at all is none.
    const ScoredFigures stagesOnly = Scored(samples, {Stage(samples, 0, 600, SleepStage::N1)});
    EXPECT_TRUE(stagesOnly.scored);
    EXPECT_FALSE(stagesOnly.hasBurden);
    EXPECT_EQ(stagesOnly.ahi, 0.0);
    EXPECT_FALSE(Scored(samples, {}).scored);
}

TEST(ScoredStudy, ClassifiesAnnotationTexts) {
    struct Case {
        const char* text;
        AnnotationKind kind;
        SleepStage stage;
    };
    const Case cases[] = {
        {"Obstructive Apnea", AnnotationKind::Apnea, SleepStage::None},
        {"central apnoea", AnnotationKind::Apnea, SleepStage::None},
        {"Hypopnea", AnnotationKind::Hypopnea, SleepStage::None},
        {"HYPOPNOEA", AnnotationKind::Hypopnea, SleepStage::None},
        {"Obstructive Hypopnea|Obstructive Hypopnea", AnnotationKind::Hypopnea, SleepStage::None},
        {"Apnea with desaturation", AnnotationKind::Other, SleepStage::None},
        {"Hypopnea arousal", AnnotationKind::Other, SleepStage::None},
        {"RERA apnea", AnnotationKind::Other, SleepStage::None},
        {"SpO2 desaturation", AnnotationKind::Other, SleepStage::None},
        {"Lights off", AnnotationKind::Other, SleepStage::None},
        {"Sleep stage W", AnnotationKind::Stage, SleepStage::Wake},
        {"Sleep stage 4", AnnotationKind::Stage, SleepStage::N4},
        {"Sleep stage N3", AnnotationKind::Stage, SleepStage::N3},
        {"Sleep stage R", AnnotationKind::Stage, SleepStage::Rem},
        {"Sleep stage ?", AnnotationKind::Stage, SleepStage::Unscored},
        {"Sleep stage N4", AnnotationKind::Other, SleepStage::None},
        {"sleep stage 2", AnnotationKind::Other, SleepStage::None},
    };
    for (const Case& c : cases) {
        SleepStage stage = SleepStage::Wake;
        EXPECT_EQ(ClassifyAnnotationText(c.text, stage), c.kind) << c.text;
        EXPECT_EQ(stage, c.stage) << c.text;
    }
}

}  // namespace
}  // namespace quenda
