#pragma once

#include "analysis/Clinical.h"
#include "store/SampleRecord.h"

#include <span>
#include <string>
#include <string_view>

namespace quenda {

// The clinical summary as the JSON object `quenda-cli analyze --json` gives
// as "clinical" and the nights library stores per night (no trailing
// newline): times as "YYYY-MM-DD HH:MM:SS" from the samples, other floats
// rounded to 2 decimals.
std::string ClinicalJson(const ClinicalSummary& summary, std::span<const SampleRecord> samples);

// `text` as a JSON string, quotes included, with the characters JSON needs
// escaped.
std::string JsonString(std::string_view text);

}  // namespace quenda
