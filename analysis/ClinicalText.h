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
