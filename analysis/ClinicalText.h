#pragma once

#include "analysis/Clinical.h"
#include "analysis/NightAnalysis.h"

#include <span>
#include <string>
#include <vector>

namespace quenda {

// The clinical summary in words, shared by the clinical page and quenda-cli:
// each figure with its value and a one-line definition. All texts go through
// UiText.
struct ClinicalLine {
    std::string label;
    std::string value;
    std::string definition;
};

// The figures in the order the page and the command line show them, each ODI
// with its class, the pulse rises last. The samples give the time stamps of
// the nadir and of the longest low run.
std::vector<ClinicalLine> ClinicalLines(const NightAnalysis& night, std::span<const SampleRecord> samples);

// "Shape of the 3 % desaturations", and its lines: mean ± SD of depth, length,
// fall (with its slope) and recovery, the deepest and the longest with their
// times, and the time in desaturation. Labels and values only; "-" for a
// figure with nothing to rest on.
std::string ShapeHeading();
std::vector<ClinicalLine> ShapeLines(const NightAnalysis& night, std::span<const SampleRecord> samples);

// "Counted 10:42:11 of 11:32:26 (92.7 %) — artefacts 0:35:02, excluded 0:15:13":
// how much of the data set the figures rest on. Artefacts include the margin
// samples beside invalid readings: the artefact rules set both aside.
std::string CoverageLine(const ClinicalSummary& summary);

// The rules the figures were scored by: the profile, the 3 %/4 % rule with its
// baseline and minimum length, the pulse-rise rule, the artefact rule (default
// profile) and the oximeter's averaging time (0: not stated).
std::string CriteriaLine(ClinicalProfile profile, int averagingSeconds);

// "14 nights, 103 h: open one night from the Nights window for its figures":
// what the page says above the figures of a data set that holds several
// nights (by the night rule the library follows), whose figures over days
// are no night's; empty for one night or none.
std::string ManyNightsNotice(std::span<const SampleRecord> samples);

// Why the ODI counts differ from the analysis report's desaturation count:
// the line under the ODI rows.
std::string ClinicalOdiNote();

// "≥ 95", "90–94", ..., "< 80".
std::string BandLabel(const Spo2Band& band);

// "YYYY-MM-DD HH:MM:SS", the century added in front of the stored year.
std::string FullTimeStamp(const SampleRecord& r);

// "H:MM:SS" of a number of seconds.
std::string Duration(long long seconds);

}  // namespace quenda
