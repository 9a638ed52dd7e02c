#include "nights/Night.h"

#include "analysis/Analysis.h"
#include "analysis/ClinicalJson.h"

#include <cstdio>

namespace quenda {

NightFigures FiguresOf(const ClinicalSummary& s) {
    NightFigures f;
    f.validSamples = s.validSamples;
    f.validHours = s.validHours;
    f.odi3 = s.odi3;
    f.odi4 = s.odi4;
    f.desaturationBurden = s.desaturationBurden;
    f.t90 = s.t90;
    f.t88Minutes = s.t88Minutes;
    f.longestLe88Seconds = s.longestLe88Seconds;
    f.nadirSpo2 = s.nadirSpo2;
    f.spo2Mean = s.spo2Mean;
    f.spo2Median = s.spo2Median;
    f.pulseMean = s.pulseMean;
    f.pulseMedian = s.pulseMedian;
    f.pulseMin = s.pulseMin;
    f.pulseMax = s.pulseMax;
    return f;
}

ComputedFigures ComputeNightFigures(std::span<const SampleRecord> samples, const Thresholds& thresholds) {
    const ClinicalSummary clinical = ComputeClinicalSummary(samples);
    ComputedFigures out{FiguresOf(clinical), ClinicalJson(clinical, samples)};
    if (samples.empty()) return out;
    AnalysisResults results;
    ComputeStatistics(samples, thresholds, results);
    NightFigures& f = out.figures;
    const SummaryStatistics& s = results.statistics;
    f.spo2Maximum = s.spo2Maximum;
    f.spo2Minimum = s.spo2Minimum;
    f.spo2Average = s.spo2Average;
    f.pulseMaximum = s.prMaximum;
    f.pulseMinimum = s.prMinimum;
    f.pulseAverage = s.prAverage;
    f.desaturationEvents = results.desaturation.eventCount;
    f.desaturationIndex = results.desaturation.indexPerHour;
    f.pulseEvents = results.pulse.eventCount;
    f.pulseIndex = results.pulse.indexPerHour;
    return out;
}

bool IsDateText(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || y < 2000 || y > 2127) {
        return false;
    }
    SampleRecord r;
    r.year = static_cast<std::uint8_t>(y - 2000);
    r.month = static_cast<std::uint8_t>(m);
    r.day = static_cast<std::uint8_t>(d);
    return SampleSeconds(r).has_value();
}

}  // namespace quenda
