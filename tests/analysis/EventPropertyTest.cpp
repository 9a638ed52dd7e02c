// The detector against a second, independently written reading of what an
// event is, on seeded random series full of plateaus, slopes and dips.
#include "SampleSeries.h"
#include "analysis/Analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace quenda {
namespace {

// Walks the series fall by fall instead of step by step: a fall begins at the
// first sample of a non-increasing stretch; if that stretch reaches `threshold`
// below its first sample, the event is the run of samples from there on that
// stay at or below that depth. After a rise (which is also how every event
// ends) the next fall may begin.
std::vector<EventRecord> ReferenceEvents(const std::vector<int>& v, int threshold, int minLength) {
    std::vector<EventRecord> events;
    const std::size_t n = v.size();
    std::size_t k = 0;
    while (k + 1 < n) {
        if (v[k + 1] > v[k]) {
            ++k;
            continue;
        }
        const long long level = v[k];
        std::size_t j = k + 1;
        while (j < n && v[j] <= v[j - 1] && level - v[j] < threshold) ++j;
        if (j == n) break;
        if (v[j] > v[j - 1]) {
            k = j;
            continue;
        }
        const long long depth = level - threshold;
        std::size_t end = j;
        while (end < n && v[end] <= depth) ++end;
        if (end - j >= static_cast<std::size_t>(minLength)) {
            const auto first = v.begin() + static_cast<std::ptrdiff_t>(j);
            const auto last = v.begin() + static_cast<std::ptrdiff_t>(end);
            events.push_back({static_cast<std::int32_t>(j), static_cast<std::int32_t>(end - j),
                              *std::max_element(first, last), *std::min_element(first, last), v[j - 1] - v[j]});
        }
        if (end == n) break;
        k = end;
    }
    return events;
}

// A random walk that dwells, drifts, drops and recovers.
std::vector<int> RandomSeries(std::mt19937& rng, int length, int low, int high) {
    std::uniform_int_distribution<int> kind(0, 99);
    std::uniform_int_distribution<int> small(1, 3);
    std::uniform_int_distribution<int> big(1, 14);
    std::uniform_int_distribution<int> start(low, high);
    std::vector<int> v;
    int value = start(rng);
    for (int i = 0; i < length; ++i) {
        const int k = kind(rng);
        if (k < 40) {
            // plateau: the value stays
        } else if (k < 70) {
            value += (k % 2 == 0 ? 1 : -1) * small(rng);
        } else if (k < 88) {
            value -= big(rng);
        } else {
            value += big(rng);
        }
        value = std::clamp(value, low, high);
        v.push_back(value);
    }
    return v;
}

void ExpectSummaryMatches(const ChannelEvents& channel, const std::vector<EventRecord>& events) {
    ASSERT_EQ(channel.eventCount, static_cast<int>(events.size()));
    int time = 0;
    int longest = 0;
    int largestDrop = 0;
    long long maxima = 0;
    long long minima = 0;
    for (const EventRecord& e : events) {
        time += e.length;
        longest = std::max(longest, e.length);
        largestDrop = std::max(largestDrop, e.onsetDrop);
        maxima += e.maximum;
        minima += e.minimum;
    }
    EXPECT_EQ(channel.summary.timeInEvents, time);
    EXPECT_EQ(channel.summary.longestEvent, longest);
    EXPECT_EQ(channel.summary.largestOnsetDrop, largestDrop);
    if (!events.empty()) {
        const auto count = static_cast<long long>(events.size());
        EXPECT_EQ(channel.summary.averageEventMaximum, maxima / count);
        EXPECT_EQ(channel.summary.averageEventMinimum, minima / count);
        EXPECT_EQ(channel.averageDuration, time / count);
    }
}

TEST(EventDetectionProperty, AgreesWithTheFallByFallReadingOnRandomSeries) {
    std::mt19937 rng(20260301);
    std::uniform_int_distribution<int> length(1, 700);
    // Thresholds a little outside the dialog's 1..20 too, as a hand-edited file may hold.
    std::uniform_int_distribution<int> threshold(-2, 22);
    std::size_t desaturations = 0;
    std::size_t pulseEvents = 0;
    for (int round = 0; round < 1500; ++round) {
        const int n = length(rng);
        const auto spo2 = RandomSeries(rng, n, 0, 127);
        const auto pulse = RandomSeries(rng, n, 0, 255);
        Thresholds t;
        t.desaturationsEvent = threshold(rng);
        t.pulseEvent = threshold(rng);
        SCOPED_TRACE(::testing::Message() << "round " << round << ", " << n << " samples, thresholds "
                                          << t.desaturationsEvent << " / " << t.pulseEvent);

        AnalysisResults r;
        ComputeStatistics(testing::FromChannels(spo2, pulse), t, r);
        const auto expectedSpo2 = ReferenceEvents(spo2, t.desaturationsEvent, kDesaturationMinLength);
        const auto expectedPulse = ReferenceEvents(pulse, t.pulseEvent, kPulseMinLength);
        ASSERT_EQ(r.desaturation.events, expectedSpo2);
        ASSERT_EQ(r.pulse.events, expectedPulse);
        ExpectSummaryMatches(r.desaturation, expectedSpo2);
        ExpectSummaryMatches(r.pulse, expectedPulse);

        const auto [spo2Min, spo2Max] = std::minmax_element(spo2.begin(), spo2.end());
        EXPECT_EQ(r.statistics.spo2Maximum, *spo2Max);
        EXPECT_EQ(r.statistics.spo2Minimum, *spo2Min);
        EXPECT_EQ(r.statistics.spo2Average, std::accumulate(spo2.begin(), spo2.end(), 0) / n);
        EXPECT_EQ(r.statistics.prAverage, std::accumulate(pulse.begin(), pulse.end(), 0) / n);
        EXPECT_EQ(r.statistics.spo2HighCount, std::count_if(spo2.begin(), spo2.end(), [](int x) { return x > 94; }));
        EXPECT_EQ(r.statistics.prLowCount, std::count_if(pulse.begin(), pulse.end(), [](int x) { return x < 60; }));

        desaturations += expectedSpo2.size();
        pulseEvents += expectedPulse.size();
    }
    // The series must actually exercise the detector.
    EXPECT_GT(desaturations, 500u);
    EXPECT_GT(pulseEvents, 500u);
}

}  // namespace
}  // namespace quenda
