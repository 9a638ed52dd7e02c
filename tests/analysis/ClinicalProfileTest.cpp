// The marking of samples (margins, artefacts, exclusions) and the clinical
// summary under each profile.
#include "ClinicalGolden.h"
#include "SampleSeries.h"
#include "analysis/Clinical.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quenda {
namespace {

using testing::FromChannels;
using testing::FromSpo2;

constexpr int kNoFinger = 127;

std::vector<int> Runs(std::initializer_list<std::pair<int, int>> runs) {
    std::vector<int> v;
    for (const auto& [value, count] : runs) testing::Append(v, value, count);
    return v;
}

// One character per sample: x excluded, - invalid, m margin, a artefact,
// . counted.
std::string Picture(const SampleMarks& m) {
    std::string s;
    for (SampleMark mark : m.marks) s += "x-ma."[static_cast<int>(mark)];
    return s;
}

std::string Repeat(char c, int n) { return std::string(static_cast<std::size_t>(n), c); }

TEST(ClinicalProfile, RawProfileGivesTheFiguresTheSummaryAlwaysGave) {
    // Every figure at full precision, against lines written before profiles
    // existed; QUENDA_REGENERATE_GOLDEN=1 writes them again.
    const std::string golden = QUENDA_TEST_DATA "/clinical-raw.golden";
    std::string got;
    for (const auto& [name, samples] : testing::GoldenSeries(QUENDA_TEST_DATA)) {
        const ClinicalSummary raw = ComputeClinicalSummary(samples, {ClinicalProfile::Raw, {}});
        got += testing::GoldenLine(name, raw) + "\n";
        EXPECT_EQ(raw.countedSamples, raw.validSamples) << name;
        EXPECT_EQ(raw.marginSamples + raw.artefactSamples + raw.excludedSamples, 0) << name;
    }
    if (std::getenv("QUENDA_REGENERATE_GOLDEN") != nullptr) std::ofstream(golden) << got;
    std::stringstream want;
    want << std::ifstream(golden).rdbuf();
    EXPECT_EQ(got, want.str());
}

TEST(ClinicalProfile, MarkingOfHandMadeSeries) {
    struct Case {
        const char* name;
        std::vector<int> spo2;
        std::vector<int> pulse;  // empty: 70 throughout
        std::string want;
    };
    const std::vector<Case> cases{
        {"one-sample spike: the next sample is accepted", Runs({{96, 10}, {80, 1}, {96, 10}}), {},
         Repeat('.', 10) + "a" + Repeat('.', 10)},
        {"a real step of 12 % is accepted after 12 / 4 s", Runs({{96, 10}, {84, 10}}), {},
         Repeat('.', 10) + "aa" + Repeat('.', 8)},
        {"a step of exactly 4 % a second is real", Runs({{96, 10}, {92, 4}}), {}, Repeat('.', 14)},
        {"pulse jump of 60 bpm: 3 s", Runs({{96, 20}}), Runs({{70, 10}, {130, 10}}),
         Repeat('.', 10) + "aa" + Repeat('.', 8)},
        {"margins around an invalid run at the start", Runs({{kNoFinger, 3}, {96, 10}}), {},
         "---" + Repeat('m', 5) + Repeat('.', 5)},
        {"in the middle", Runs({{96, 10}, {0, 2}, {96, 10}}), {},
         Repeat('.', 5) + Repeat('m', 5) + "--" + Repeat('m', 5) + Repeat('.', 5)},
        {"at the end", Runs({{96, 8}, {kNoFinger, 2}}), {}, "..." + Repeat('m', 5) + "--"},
        {"a margin sample is never the reference: after more than 30 s any level is real",
         Runs({{96, 10}, {kNoFinger, 30}, {70, 8}}), {}, Repeat('.', 5) + Repeat('m', 5) + Repeat('-', 30) +
         Repeat('m', 5) + "..."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto samples = c.pulse.empty() ? FromSpo2(c.spo2) : FromChannels(c.spo2, c.pulse);
        EXPECT_EQ(Picture(MarkSamples(samples, ClinicalProfile::Default, {})), c.want);
        // The raw profile marks only what is out of range.
        std::string raw = c.want;
        for (char& ch : raw) ch = ch == '-' ? '-' : '.';
        EXPECT_EQ(Picture(MarkSamples(samples, ClinicalProfile::Raw, {})), raw);
    }
}

TEST(ClinicalProfile, ExclusionHidesSamplesWithoutMovingTheArtefactRule) {
    // The spike at 10 is still judged against sample 9 inside the exclusion,
    // and sample 11 is still accepted against sample 9.
    const auto samples = FromSpo2(Runs({{96, 10}, {80, 1}, {96, 10}}));
    const SampleMarks m = MarkSamples(samples, ClinicalProfile::Default, Exclusions({{{8, 9}, {30, 40}}}));
    EXPECT_EQ(Picture(m), Repeat('.', 8) + "xxa" + Repeat('.', 10));
    EXPECT_EQ(m.excluded, 2);  // cut to the data set
    EXPECT_EQ(m.artefact, 1);
    EXPECT_EQ(m.counted, 18);
}

TEST(ClinicalProfile, ExclusionsMergeAndSplit) {
    Exclusions e;
    e.Exclude({10, 20});
    e.Exclude({30, 25});  // ends in either order
    EXPECT_EQ(e.Spans(), (std::vector<SampleSpan>{{10, 20}, {25, 30}}));
    e.Exclude({21, 24});  // touching both: one span
    EXPECT_EQ(e.Spans(), (std::vector<SampleSpan>{{10, 30}}));
    e.Include({15, 16});
    EXPECT_EQ(e.Spans(), (std::vector<SampleSpan>{{10, 14}, {17, 30}}));
    e.Exclude({0, 2});
    e.Include({12, 40});
    EXPECT_EQ(e.Spans(), (std::vector<SampleSpan>{{0, 2}, {10, 11}}));
    EXPECT_TRUE(e.Contains(11));
    EXPECT_FALSE(e.Contains(12));
    EXPECT_EQ(e.Samples(), 5);
    e.Include({0, 100});
    EXPECT_TRUE(e.Empty());
}

TEST(ClinicalProfile, ExclusionInsideAnEventEndsTheEventThere) {
    // A 30-s dip from 120; 135..139 excluded. The first event closes at 135;
    // the dip's rest opens a second one against a baseline without the first.
    const auto samples = FromSpo2(Runs({{96, 120}, {91, 30}, {96, 150}}));
    for (ClinicalProfile profile : {ClinicalProfile::Raw, ClinicalProfile::Default}) {
        ClinicalOptions options{profile, Exclusions({{{135, 139}}})};
        const ClinicalSummary s = ComputeClinicalSummary(samples, options);
        SCOPED_TRACE(std::string(ProfileName(profile)));
        // The default profile takes the 5 % fall in one second for an artefact
        // and opens the event one sample later.
        const int open = profile == ClinicalProfile::Raw ? 120 : 121;
        ASSERT_EQ(s.events3.size(), 2u);
        EXPECT_EQ(s.events3[0].start, open);
        EXPECT_EQ(s.events3[0].length, 135 - open);
        EXPECT_EQ(s.events3[1].start, 140);
        EXPECT_EQ(s.events3[1].length, 10);
        EXPECT_EQ(s.excludedSamples, 5);
        EXPECT_EQ(s.excluded, (std::vector<SampleSpan>{{135, 139}}));
        EXPECT_EQ(s.countedSamples, profile == ClinicalProfile::Raw ? 295 : 293);  // and the rise at 150
        EXPECT_DOUBLE_EQ(s.odi3, 2 / (s.countedSamples / 3600.0));
        EXPECT_EQ(s.validSamples, 300);  // its meaning is the same under each profile
    }
}

TEST(ClinicalProfile, TrimAtBothEndsLeavesTheNightBetween) {
    // Getting into bed (a low start) and taking the probe off (a low end) are
    // trimmed away: the nadir, T90 and the means rest on the night between.
    // (The start is only 3 % low: a larger step would make the first samples
    // after the trim artefacts, judged against the trimmed ones.)
    const auto samples = FromSpo2(Runs({{93, 60}, {96, 300}, {87, 40}}));
    ClinicalOptions options{ClinicalProfile::Default, {}};
    options.exclusions.Exclude({0, 59});
    options.exclusions.Exclude({360, 399});
    const ClinicalSummary s = ComputeClinicalSummary(samples, options);
    EXPECT_EQ(s.countedSamples, 300);
    EXPECT_EQ(s.excludedSamples, 100);
    EXPECT_DOUBLE_EQ(s.coverage, 75.0);
    EXPECT_EQ(s.nadirSpo2, 96);
    EXPECT_EQ(s.nadirIndex, 60);
    EXPECT_EQ(s.t90, 0);
    EXPECT_DOUBLE_EQ(s.spo2Mean, 96);
    EXPECT_EQ(s.longestLe88Start, -1);
    EXPECT_DOUBLE_EQ(s.bands[0].percent, 100);
    // Untrimmed, the raw profile sees both ends.
    const ClinicalSummary raw = ComputeClinicalSummary(samples);
    EXPECT_EQ(raw.nadirSpo2, 87);
    EXPECT_DOUBLE_EQ(raw.coverage, 100.0);
}

TEST(ClinicalProfile, DefaultProfileCountsWithoutMarginsAndArtefacts) {
    // A no-finger minute takes 10 margin samples with it, and a spike is set
    // aside: neither reaches the nadir, and the hours shrink by both.
    const auto samples = FromSpo2(Runs({{96, 100}, {60, 1}, {96, 99}, {kNoFinger, 60}, {96, 100}}));
    ClinicalSummary s = ComputeClinicalSummary(samples, {ClinicalProfile::Default, {}});
    EXPECT_EQ(s.validSamples, 300);
    EXPECT_EQ(s.marginSamples, 10);
    EXPECT_EQ(s.artefactSamples, 1);
    EXPECT_EQ(s.countedSamples, 289);
    EXPECT_DOUBLE_EQ(s.countedHours, 289 / 3600.0);
    EXPECT_DOUBLE_EQ(s.coverage, 100.0 * 289 / 360);
    EXPECT_EQ(s.nadirSpo2, 96);
    EXPECT_EQ(ComputeClinicalSummary(samples).nadirSpo2, 60);
}

}  // namespace
}  // namespace quenda
