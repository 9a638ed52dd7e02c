#pragma once

#include "analysis/Clinical.h"
#include "analysis/NightAnalysis.h"
#include "store/SampleRecord.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// The scalar figures of a night's clinical object, flat, as a table of
// nights gives them: nested keys joined by "_" ("nadir_spo2"), a [start, end]
// pair as "_start" and "_end", lists left out; each value as the JSON writes
// it, a string without its quotes, null as "". Kept as one text of
// "name\tvalue\n" lines in the object's order, so a library stores and
// reads it as it is.
class ClinicalColumns {
public:
    ClinicalColumns() = default;
    explicit ClinicalColumns(std::string text) : text_(std::move(text)) {}
    void Add(std::string_view name, std::string_view value);
    // The value of `name`; none when the night has no such figure (one
    // computed by an older program, or a scored figure of an unscored night).
    std::optional<std::string_view> Find(std::string_view name) const;
    // visit(name, value) for each figure, in order.
    template <class Visit>
    void ForEach(Visit visit) const {
        for (std::size_t at = 0; at < text_.size();) {
            const std::size_t tab = text_.find('\t', at), end = text_.find('\n', at);
            if (tab == std::string::npos || end == std::string::npos || tab > end) return;
            visit(std::string_view(text_).substr(at, tab - at), std::string_view(text_).substr(tab + 1, end - tab - 1));
            at = end + 1;
        }
    }
    const std::string& Text() const { return text_; }
    bool operator==(const ClinicalColumns&) const = default;

private:
    std::string text_;
};

// A JSON object built key by key (keys are plain ASCII, values already JSON):
// integers as they are, doubles with two decimals, or with six significant
// digits where two decimals would say too little (Significant); a double that
// is no figure (kNoFigure) as null. Given ClinicalColumns, every figure added
// (not Raw) is written there too, under the object's prefix; Nested gives
// the object for a key inside it.
class JsonObject {
public:
    JsonObject() = default;
    explicit JsonObject(ClinicalColumns* columns, std::string prefix = {})
        : columns_(columns), prefix_(std::move(prefix)) {}
    JsonObject Nested(std::string_view key) const;

    JsonObject& Add(std::string_view key, long long value) { return Figure(key, std::to_string(value)); }
    JsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<long long>(value)); }
    JsonObject& Add(std::string_view key, double value);
    JsonObject& Significant(std::string_view key, double value);
    // One scalar already JSON (a number, a string, null): a figure.
    JsonObject& Figure(std::string_view key, const std::string& json);
    // [first, second]: in the columns as key_start and key_end.
    JsonObject& Pair(std::string_view key, long long first, long long second);
    // Anything already JSON (a list, an object): no figure of its own.
    JsonObject& Raw(std::string_view key, const std::string& json);
    std::string Close() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    void Column(std::string_view key, std::string_view json);

    std::string text_;
    ClinicalColumns* columns_ = nullptr;
    std::string prefix_;
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
// keys in the same order. `columns`, if given, receives its figures flat.
std::string ClinicalJson(const NightAnalysis& night, std::span<const SampleRecord> samples,
                         ClinicalColumns* columns = nullptr);

// `text` as a JSON string, quotes included, with the characters JSON needs
// escaped, DEL and the C1 controls too; malformed UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace quenda
