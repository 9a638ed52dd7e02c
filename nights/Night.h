#pragma once

#include "analysis/Clinical.h"
#include "analysis/Thresholds.h"
#include "store/NightSplit.h"  // the night rule: SplitNights, NightSpan, SampleSeconds
#include "store/SampleRecord.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// A night's number in the library: given once, never reused, stable for the
// life of the library (a rebuild keeps it).
using NightNumber = std::int64_t;

// The figures of one night, computed over that night's samples alone and
// stored, so that listing never reads a sample file. The clinical ones are
// those of the clinical summary; the rest are the report's statistics under
// the thresholds of the moment the night was added.
struct NightFigures {
    // Clinical summary (analysis/Clinical.h).
    std::int32_t validSamples = 0;
    double validHours = 0;
    double odi3 = 0;                // per valid hour
    double odi4 = 0;                // per valid hour
    double desaturationBurden = 0;  // %·min per valid hour
    double t90 = 0;                 // % of valid samples with SpO2 < 90
    double t88Minutes = 0;
    std::int32_t longestLe88Seconds = 0;
    std::int32_t nadirSpo2 = 0;
    double spo2Mean = 0;
    double spo2Median = 0;
    double pulseMean = 0;
    double pulseMedian = 0;
    std::int32_t pulseMin = 0;
    std::int32_t pulseMax = 0;
    // Share of the night's samples the clinical figures rest on, %; 100 until
    // artefacts or exclusions set samples aside.
    double coverage = 100;

    // The report's statistics (analysis/Analysis.h).
    std::int32_t spo2Maximum = 0;
    std::int32_t spo2Minimum = 0;
    std::int32_t spo2Average = 0;
    std::int32_t pulseMaximum = 0;
    std::int32_t pulseMinimum = 0;
    std::int32_t pulseAverage = 0;
    std::int32_t desaturationEvents = 0;
    double desaturationIndex = 0;  // events per hour
    std::int32_t pulseEvents = 0;
    double pulseIndex = 0;

    bool operator==(const NightFigures&) const = default;
};

// The figures of a clinical summary (statistics left zero).
NightFigures FiguresOf(const ClinicalSummary& summary);

// Every figure of `samples` (one night's, oldest first), plus the "clinical"
// object of `quenda-cli analyze --json` for the same samples, as JSON text.
struct ComputedFigures {
    NightFigures figures;
    std::string clinicalJson;
};
ComputedFigures ComputeNightFigures(std::span<const SampleRecord> samples, const Thresholds& thresholds);

// A span of sample indexes within a night (0 = its first sample), both ends
// included: what the user excluded.
struct SampleSpan {
    std::int32_t first = 0;
    std::int32_t last = 0;
    bool operator==(const SampleSpan&) const = default;
};

// One night as the library lists it.
struct NightRow {
    NightNumber night = 0;
    int id = 0;
    std::string name;          // the patient name of that ID when the night was added (UTF-8)
    std::string date;          // "YYYY-MM-DD": the night's date by the night rule
    std::int64_t start = 0;    // SampleSeconds of its first sample
    std::int64_t end = 0;      // SampleSeconds of its last sample
    std::int32_t samples = 0;  // samples in it (recorded seconds)
    std::int64_t gapSeconds = 0;
    std::filesystem::path source;  // the data file holding its samples
    std::int32_t first = 0;        // index of its first sample in that file
    std::int32_t last = 0;         // index of its last sample, included
    NightFigures figures;
    std::string clinicalJson;  // the "clinical" object, as `analyze --json` gives it
    std::string note;          // the user's own, UTF-8
    std::int64_t addedAt = 0;  // Unix seconds when it entered the library
    // The source file was not found when the row was read (only when the
    // listing was asked to look).
    bool missing = false;

    std::string StartText() const { return IsoLocalTime(start); }
    std::string EndText() const { return IsoLocalTime(end); }
    // Seconds from its first to its last sample, both included.
    std::int64_t DurationSeconds() const { return end - start + 1; }
};

// Which nights a listing gives. Dates are night dates, both ends included.
struct NightFilter {
    std::optional<int> id;
    std::optional<std::string> from;  // "YYYY-MM-DD"
    std::optional<std::string> to;    // "YYYY-MM-DD"
    // Look for each source file (one stat per distinct file) and mark the
    // rows whose file is gone.
    bool checkMissing = true;
};

// "YYYY-MM-DD" that is a real date; used for --from and --to.
bool IsDateText(const std::string& text);

}  // namespace quenda
