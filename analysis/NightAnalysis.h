#pragma once

#include "analysis/AnalysisResults.h"
#include "analysis/Biomarkers.h"
#include "analysis/Clinical.h"
#include "analysis/DesaturationShape.h"
#include "analysis/Marking.h"
#include "analysis/PulseRises.h"
#include "analysis/ScoredFigures.h"
#include "analysis/ScoredStudy.h"
#include "analysis/Thresholds.h"
#include "store/SampleRecord.h"

#include <span>
#include <string>

namespace quenda {

class Settings;

// What a night's figures depend on besides its samples and exclusions: the
// report's thresholds and the clinical profile, as the settings file holds
// them when the figures are asked for. (The averaging time of Clinical Setup
// is printed beside the figures and changes none of them.)
struct FigureSettings {
    Thresholds thresholds;
    ClinicalProfile profile = ClinicalProfile::Default;

    // One line naming every value, stored beside figures computed under these
    // settings so a reader under others knows to compute them again.
    std::string Key() const;
    bool operator==(const FigureSettings&) const = default;
};

// Read now from the settings file.
FigureSettings ReadFigureSettings(const Settings& settings);

// Everything computed of one night (or of any data set shown as one): the
// recorder's report figures, the clinical summary, the marking of each sample
// and the figures that rest on the same counted samples. Every road that
// shows, prints, exports or stores a night's figures takes them from here, so
// the same night gives the same answer everywhere.
struct NightAnalysis {
    AnalysisResults report;    // the report page's statistics and events (index rule)
    ClinicalSummary clinical;  // under the profile, the exclusions and the gap rule
    SampleMarks marks;         // what each sample is to the clinical figures
    DesaturationShapes shape;  // of the clinical summary's desaturations
    PulseRiseFigures pulseRises;
    Biomarkers biomarkers;  // of the counted SpO2 samples as one series
    ScoredFigures scored;   // of the night's scoring, when it has one
};

// `samples`: oldest first; `exclusions`: sample indexes within them;
// `scoring`: the sleep study's scoring the night holds (none for most).
NightAnalysis AnalyzeNight(std::span<const SampleRecord> samples, const Exclusions& exclusions,
                           const FigureSettings& settings, const ScoredStudy& scoring = {});

// The part of `exclusions` (indexes within a data set) that falls inside
// samples first..last, as indexes within that part (0 = sample `first`).
Exclusions ExclusionsWithin(const Exclusions& exclusions, std::int32_t first, std::int32_t last);

}  // namespace quenda
