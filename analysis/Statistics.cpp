#include "analysis/Analysis.h"

#include <cstdint>

namespace quenda {

namespace {

SummaryStatistics Summarise(std::span<const SampleRecord> samples, const Thresholds& t) {
    SummaryStatistics s;
    s.spo2Maximum = s.spo2Minimum = samples.front().spo2;
    s.prMaximum = s.prMinimum = samples.front().pulseRate;
    // Integer sums are exact here, as a double would be: 518,400 samples of at
    // most 255 stay far below 2^53.
    std::int64_t spo2Sum = 0;
    std::int64_t prSum = 0;
    for (const SampleRecord& r : samples) {
        const int spo2 = r.spo2;
        const int pr = r.pulseRate;
        spo2Sum += spo2;
        prSum += pr;
        // Strict comparisons: a value equal to a limit is neither high nor low.
        s.spo2HighCount += spo2 > t.saturationsHigh;
        s.spo2LowCount += spo2 < t.saturationsLow;
        s.prHighCount += pr > t.prHigh;
        s.prLowCount += pr < t.prLow;
        if (spo2 > s.spo2Maximum) s.spo2Maximum = spo2;
        if (spo2 < s.spo2Minimum) s.spo2Minimum = spo2;
        if (pr > s.prMaximum) s.prMaximum = pr;
        if (pr < s.prMinimum) s.prMinimum = pr;
    }
    const double n = static_cast<double>(samples.size());
    s.spo2Average = static_cast<std::int32_t>(static_cast<double>(spo2Sum) / n);
    s.prAverage = static_cast<std::int32_t>(static_cast<double>(prSum) / n);
    return s;
}

}  // namespace

void ComputeStatistics(std::span<const SampleRecord> samples, const Thresholds& thresholds, AnalysisResults& results) {
    results = AnalysisResults{};
    results.limits = {thresholds.saturationsHigh, thresholds.saturationsLow, thresholds.prHigh, thresholds.prLow};
    if (!samples.empty()) results.statistics = Summarise(samples, thresholds);
    DetectEvents(samples, thresholds, results);
}

}  // namespace quenda
