#pragma once

#include "analysis/Clinical.h"
#include "store/SampleRecord.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// A JSON object built key by key (keys are plain ASCII, values already JSON):
// integers as they are, doubles with two decimals.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    JsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<long long>(value)); }
    JsonObject& Add(std::string_view key, double value);
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
// rounded to 2 decimals.
std::string ClinicalJson(const ClinicalSummary& summary, std::span<const SampleRecord> samples);

// `text` as a JSON string, quotes included, with the characters JSON needs
// escaped, DEL and the C1 controls too; malformed UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace quenda
