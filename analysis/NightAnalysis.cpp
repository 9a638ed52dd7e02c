#include "analysis/NightAnalysis.h"

#include "analysis/Analysis.h"
#include "analysis/ClinicalSetup.h"
#include "analysis/NightPass.h"
#include "base/StringFormat.h"

#include <algorithm>

namespace quenda {

// Raised whenever the figures a night's analysis gives change or grow, so that
// what an older program stored is computed again like figures stored under
// other settings. 2: the desaturations' shape, pulse rises and biomarkers;
// 3: the scored events and the hypoxic burden.
constexpr int kFiguresRevision = 3;

std::string FigureSettings::Key() const {
    const Thresholds& t = thresholds;
    return Format("%s;%d,%d,%d,%d,%d,%d;r%d", std::string(ProfileName(profile)).c_str(), t.saturationsHigh,
                  t.saturationsLow, t.prHigh, t.prLow, t.desaturationsEvent, t.pulseEvent, kFiguresRevision);
}

FigureSettings ReadFigureSettings(const Settings& settings) {
    return {ReadThresholds(settings), ReadClinicalSetup(settings).Profile()};
}

NightAnalysis AnalyzeNight(std::span<const SampleRecord> samples, const Exclusions& exclusions,
                           const FigureSettings& settings, const ScoredStudy& scoring) {
    NightAnalysis out;
    ComputeStatistics(samples, settings.thresholds, out.report);
    NightPass pass(samples.size());
    out.clinical = ComputeClinicalSummary(samples, {settings.profile, exclusions}, &out.marks, &pass);
    out.pulseRises =
        pass.rises.Finish(static_cast<std::int64_t>(samples.size()), out.clinical.events3, out.clinical.countedSamples);
    out.shape = ShapesOf(out.clinical, samples);
    out.biomarkers = ComputeBiomarkers(pass.TakeCountedSpo2());
    out.scored = ComputeScoredFigures(samples, exclusions, scoring);
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
