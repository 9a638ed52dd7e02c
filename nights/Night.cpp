#include "nights/Night.h"

#include "analysis/ClinicalJson.h"

#include <cstdio>
#include <string_view>

namespace quenda {

NightFigures FiguresOf(const NightAnalysis& night) {
    const ClinicalSummary& c = night.clinical;
    NightFigures f;
    f.validSamples = c.validSamples;
    f.validHours = c.validHours;
    f.odi3 = c.odi3;
    f.odi4 = c.odi4;
    f.desaturationBurden = c.desaturationBurden;
    f.t90 = c.t90;
    f.t88Minutes = c.t88Minutes;
    f.longestLe88Seconds = c.longestLe88Seconds;
    f.nadirSpo2 = c.nadirSpo2;
    f.spo2Mean = c.spo2Mean;
    f.spo2Median = c.spo2Median;
    f.pulseMean = c.pulseMean;
    f.pulseMedian = c.pulseMedian;
    f.pulseMin = c.pulseMin;
    f.pulseMax = c.pulseMax;
    f.coverage = c.coverage;
    const AnalysisResults& r = night.report;
    f.spo2Maximum = r.statistics.spo2Maximum;
    f.spo2Minimum = r.statistics.spo2Minimum;
    f.spo2Average = r.statistics.spo2Average;
    f.pulseMaximum = r.statistics.prMaximum;
    f.pulseMinimum = r.statistics.prMinimum;
    f.pulseAverage = r.statistics.prAverage;
    f.desaturationEvents = r.desaturation.eventCount;
    f.desaturationIndex = r.desaturation.indexPerHour;
    f.pulseEvents = r.pulse.eventCount;
    f.pulseIndex = r.pulse.indexPerHour;
    f.pulseRiseIndex = night.pulseRises.index;
    if (HasFigure(night.pulseRises.coupledShare)) f.coupledShare = night.pulseRises.coupledShare;
    return f;
}

ComputedFigures ComputeNightFigures(std::span<const SampleRecord> samples, const FigureSettings& settings,
                                    const Exclusions& exclusions, const ScoredStudy& scoring) {
    const NightAnalysis night = AnalyzeNight(samples, exclusions, settings, scoring);
    ComputedFigures out{FiguresOf(night), {}, {}, settings.Key()};
    out.clinicalJson = ClinicalJson(night, samples, &out.clinicalColumns);
    return out;
}

const std::vector<std::string>& ClinicalColumnNames() {
    static const std::vector<std::string> names = [] {
        // Of a scored night: the scored study's columns are there for the nights that have one.
        const ScoredStudy oneEvent{"", {{0, 10'000, AnnotationKind::Apnea, SleepStage::None, "Apnea"}}};
        std::vector<std::string> out;
        ComputeNightFigures({}, FigureSettings{}, {}, oneEvent)
            .clinicalColumns.ForEach([&](std::string_view name, std::string_view) { out.emplace_back(name); });
        return out;
    }();
    return names;
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
