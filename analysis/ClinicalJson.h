#pragma once

#include "analysis/Clinical.h"
#include "analysis/NightAnalysis.h"
#include "store/SampleRecord.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// A JSON object built key by key (keys are plain ASCII, values already JSON):
// integers as they are, doubles with two decimals, or with six significant
// digits where two decimals would say too little (Significant); a double that
// is no figure (kNoFigure) as null.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    JsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<long long>(value)); }
    JsonObject& Add(std::string_view key, double value);
    JsonObject& Significant(std::string_view key, double value);
    JsonObject& Raw(std::string_view key, const std::string& json);
    std::string Close() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

// The items, already JSON, as one array.
std::string JsonArray(const std::vector<std::string>& items);

// The clinical summary as the JSON object `quenda-cli analyze --json` gives
// as "clinical" and the nights library stores per night (no trailing
// newline): times as "YYYY-MM-DD HH:MM:SS" from the samples, other floats
// rounded to 2 decimals. Inside it, the figures that rest on the same counted
// samples: "shape" (of the 3 % and 4 % desaturations), "pulse_rises" and
// "biomarkers" (flat, at six significant digits). Last, a scored study's
// "scored_events" (null without scoring) and "hypoxic_burden" (null without
// a respiratory event). Every night gives the same
// keys in the same order, so that a listing can flatten them into columns.
std::string ClinicalJson(const NightAnalysis& night, std::span<const SampleRecord> samples);

// `text` as a JSON string, quotes included, with the characters JSON needs
// escaped, DEL and the C1 controls too; malformed UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace quenda
