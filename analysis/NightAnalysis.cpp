#include "analysis/NightAnalysis.h"

#include "analysis/Analysis.h"
#include "analysis/ClinicalSetup.h"
#include "base/StringFormat.h"

#include <algorithm>

namespace quenda {

std::string FigureSettings::Key() const {
    const Thresholds& t = thresholds;
    return Format("%s;%d,%d,%d,%d,%d,%d", std::string(ProfileName(profile)).c_str(), t.saturationsHigh,
                  t.saturationsLow, t.prHigh, t.prLow, t.desaturationsEvent, t.pulseEvent);
}

FigureSettings ReadFigureSettings(const Settings& settings) {
    return {ReadThresholds(settings), ReadClinicalSetup(settings).Profile()};
}

NightAnalysis AnalyzeNight(std::span<const SampleRecord> samples, const Exclusions& exclusions,
                           const FigureSettings& settings) {
    NightAnalysis out;
    ComputeStatistics(samples, settings.thresholds, out.report);
    out.clinical = ComputeClinicalSummary(samples, {settings.profile, exclusions}, &out.marks);
    return out;
}

Exclusions ExclusionsWithin(const Exclusions& exclusions, std::int32_t first, std::int32_t last) {
    Exclusions own;
    for (const SampleSpan& s : exclusions.Spans()) {
        const std::int32_t from = std::max(s.first, first);
        const std::int32_t to = std::min(s.last, last);
        if (from <= to) own.Exclude({from - first, to - first});
    }
    return own;
}

}  // namespace quenda
