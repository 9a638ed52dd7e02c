#include "device/Commands.h"
#include "store/NightRule.h"
#include "tools/sim/DateTime.h"
#include "tools/sim/RecorderModel.h"
#include "tools/sim/Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>

namespace quenda::sim {
namespace {

// Dips: a sample at least 4 % below the highest of the minute before it,
// counted once per fall.
int CountDips(const std::vector<SampleRecord>& s) {
    int dips = 0;
    bool inDip = false;
    std::deque<int> window;
    for (const SampleRecord& r : s) {
        const int peak = window.empty() ? r.spo2 : *std::max_element(window.begin(), window.end());
        const bool low = r.spo2 + 4 <= peak;
        if (low && !inDip) ++dips;
        inDip = low || (inDip && r.spo2 + 2 <= peak);
        window.push_back(r.spo2);
        if (window.size() > 60) window.pop_front();
    }
    return dips;
}

TEST(RecordingGenerator, LooksLikeANightOfSleep) {
    const auto night = GenerateRecording(7, 8 * 3600, {2026, 12, 6, 22, 30, 0}, 3);
    ASSERT_EQ(night.size(), 8u * 3600u);

    long spo2Sum = 0;
    int pulseLow = 255, pulseHigh = 0;
    for (const SampleRecord& r : night) {
        ASSERT_EQ(r.id, 7);
        ASSERT_GE(r.spo2, 78) << "dips fall by at most 15 % from a baseline of 94..98 %";
        ASSERT_LE(r.spo2, 100);
        ASSERT_GE(r.pulseRate, 50);
        ASSERT_LE(r.pulseRate, 110);
        ASSERT_LE(r.auxValue, 40);
        spo2Sum += r.spo2;
        pulseLow = std::min<int>(pulseLow, r.pulseRate);
        pulseHigh = std::max<int>(pulseHigh, r.pulseRate);
    }
    const double meanSpo2 = static_cast<double>(spo2Sum) / static_cast<double>(night.size());
    EXPECT_GT(meanSpo2, 92.0);
    EXPECT_LT(meanSpo2, 98.5);
    EXPECT_GE(pulseHigh - pulseLow, 15) << "the pulse rises and falls";
    const int dips = CountDips(night);
    EXPECT_GE(dips, 10);
    EXPECT_LE(dips, 400) << "dips, not noise";
}

TEST(RecordingGenerator, TimesRunOneSecondApartAcrossMidnightAndNewYear) {
    const DateTime start{2026, 12, 31, 23, 59, 30};
    const auto s = GenerateRecording(1, 120, start, 1);
    EXPECT_EQ(TimeOf(s.front()), start);
    EXPECT_EQ(TimeOf(s.back()), (DateTime{2027, 1, 1, 0, 1, 29}));
    for (std::size_t i = 1; i < s.size(); ++i) {
        ASSERT_EQ(SecondsBetween(TimeOf(s[i - 1]), TimeOf(s[i])), 1) << i;
    }
}

TEST(RecordingGenerator, DeterministicPerSeedAndId) {
    const DateTime start{2026, 1, 1, 22, 0, 0};
    const auto a = GenerateRecording(1, 3600, start, 9);
    EXPECT_EQ(a, GenerateRecording(1, 3600, start, 9));
    EXPECT_NE(a, GenerateRecording(1, 3600, start, 10));
    auto other = GenerateRecording(2, 3600, start, 9);
    for (SampleRecord& r : other) r.id = 1;
    EXPECT_NE(a, other) << "each ID is a different night";
}

TEST(RecordingGenerator, IdsRecordOnConsecutiveNights) {
    const auto all = GenerateRecordings({{9, 60}, {2, 30 * 3600}, {4, 8 * 3600}}, {2026, 3, 1, 22, 30, 0}, 1);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(TimeOf(all.at(2).front()), (DateTime{2026, 3, 1, 22, 30, 0}));
    // ID 2 runs 30 hours, to 04:30 on the 3rd; ID 4 starts that evening.
    EXPECT_EQ(TimeOf(all.at(4).front()), (DateTime{2026, 3, 3, 22, 30, 0}));
    EXPECT_EQ(TimeOf(all.at(9).front()), (DateTime{2026, 3, 4, 22, 30, 0}));
    EXPECT_EQ(all.at(9).size(), 60u);
}

TEST(RecordingGenerator, TheDefaultRecorderHoldsAFortnightOfNightsNeverErased) {
    const RecorderConfig config;
    ASSERT_EQ(CheckConfig(config), "");
    const auto all = GenerateRecordings(config.ids, config.start, config.seed);
    const std::vector<SampleRecord>& id1 = all.at(1);
    const RecordingNights found = ApplyNightRule(id1);
    ASSERT_EQ(found.nights.size(), 15u) << "14 nights, one broken in two";
    EXPECT_EQ(found.leftOut, 0);

    std::set<std::string> dates;
    std::vector<int> dips;
    int broken = 0;
    std::int32_t nightSamples = 0;
    for (std::size_t i = 0; i < found.nights.size(); ++i) {
        const NightSpan& n = found.nights[i];
        dates.insert(DateText(n.DateSeconds()));
        EXPECT_EQ(n.GapSeconds(), 0) << i;
        nightSamples += n.Samples();
        const std::int64_t off = i + 1 < found.nights.size() ? found.nights[i + 1].start - n.end : 86'400;
        if (off < 2 * 3600) {
            // Switched off for longer than the night rule's longest step, the
            // rest of the night the same night's date.
            ++broken;
            EXPECT_GT(off, kMaxNightStep) << i;
            EXPECT_EQ(found.nights[i + 1].DateSeconds(), n.DateSeconds()) << i;
            continue;
        }
        EXPECT_GT(off, 12 * 3600) << "a day without recording after night " << i;
        EXPECT_GE(nightSamples, 6 * 3600) << i;
        EXPECT_LE(nightSamples, 8 * 3600 + 1800) << i;
        const auto first = id1.begin() + (n.last - nightSamples + 1);
        dips.push_back(CountDips({first, id1.begin() + n.last + 1}));
        nightSamples = 0;
    }
    EXPECT_EQ(broken, 1);
    ASSERT_EQ(dates.size(), 14u);
    EXPECT_EQ(*dates.begin(), "2026-12-06");
    EXPECT_EQ(*dates.rbegin(), "2026-12-19");
    const auto [fewest, most] = std::minmax_element(dips.begin(), dips.end());
    EXPECT_GE(*most, *fewest * 3 / 2) << "nights differ as a sleeper's do";
    // The shorter ID follows on the evening after the last night.
    EXPECT_EQ(TimeOf(all.at(2).front()), (DateTime{2026, 12, 20, 22, 30, 0}));
    EXPECT_EQ(all.at(2).size(), 1800u);
}

TEST(DateTimeHelpers, ParseFormatAndClockWord) {
    EXPECT_EQ(ParseDateTime("2024-02-29 23:59:59"), (DateTime{2024, 2, 29, 23, 59, 59}));
    EXPECT_EQ(ParseDateTime("2024-02-29T00:00:00"), (DateTime{2024, 2, 29, 0, 0, 0}));
    for (const char* bad : {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-01-01 24:00:00", "2024-1-01 00:00:00",
                            "2024-01-01 00:00", "2024-01-01 00:00:0x"}) {
        EXPECT_FALSE(ParseDateTime(bad)) << bad;
    }
    EXPECT_EQ(FormatDateTime(AddSeconds({2024, 2, 28, 23, 59, 59}, 1)), "2024-02-29 00:00:00");
    EXPECT_EQ(DecodeClockWord(DeviceClockWord(2063, 12, 31, 23, 59, 58)), (DateTime{2063, 12, 31, 23, 59, 58}));
}

}  // namespace
}  // namespace quenda::sim
