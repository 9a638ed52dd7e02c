#pragma once

#include "analysis/Clinical.h"

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

// The figures in the order the page and the command line show them. The
// samples give the time stamps of the nadir and of the longest low run.
std::vector<ClinicalLine> ClinicalLines(const ClinicalSummary& summary, std::span<const SampleRecord> samples);

// "Counted 10:42:11 of 11:32:26 (92.7 %) — artefacts 0:35:02, excluded 0:15:13":
// how much of the data set the figures rest on. Artefacts include the margin
// samples beside invalid readings: the artefact rules set both aside.
std::string CoverageLine(const ClinicalSummary& summary);

// The rules the figures were scored by: the profile, the 3 %/4 % rule with its
// baseline and minimum length, the artefact rule (default profile) and the
// oximeter's averaging time (0: not stated).
std::string CriteriaLine(ClinicalProfile profile, int averagingSeconds);

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
