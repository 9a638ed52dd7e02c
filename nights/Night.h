#pragma once

#include "analysis/Clinical.h"
#include "analysis/ClinicalJson.h"
#include "analysis/NightAnalysis.h"
#include "store/NightRule.h"  // the night rule: ApplyNightRule, NightSpan, SampleSeconds
#include "store/SampleRecord.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace quenda {

// A night's number in the library: given once, never reused, stable for the
// life of the library (a rebuild keeps it).
using NightNumber = std::int64_t;

// The figures of one night, computed over that night's samples alone
// (AnalyzeNight) and stored, so that listing never reads a sample file. They
// follow the night's exclusions and the settings they were computed under
// (FigureSettings: the report's thresholds and the clinical profile); the
// library computes them again when they are read under other settings.
struct NightFigures {
    // Clinical summary (analysis/Clinical.h), over the counted samples.
    std::int32_t validSamples = 0;
    double validHours = 0;
    double odi3 = 0;                // per counted hour
    double odi4 = 0;                // per counted hour
    double desaturationBurden = 0;  // %·min per counted hour
    double t90 = 0;                 // % of counted samples with SpO2 < 90
    double t88Minutes = 0;
    std::int32_t longestLe88Seconds = 0;
    std::int32_t nadirSpo2 = 0;
    double spo2Mean = 0;
    double spo2Median = 0;
    double pulseMean = 0;
    double pulseMedian = 0;
    std::int32_t pulseMin = 0;
    std::int32_t pulseMax = 0;
    // Share of the night's recorded samples the clinical figures rest on, %.
    double coverage = 100;
    // Whether any sample was counted: a night whose every second is excluded
    // or invalid has no figures (shown empty, never as 0).
    bool AnyCounted() const { return coverage > 0; }

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

    // Pulse rises (analysis/PulseRises.h).
    double pulseRiseIndex = 0;           // rises per counted hour
    std::optional<double> coupledShare;  // % of 3 % desaturations a rise answers; none without them

    bool operator==(const NightFigures&) const = default;
};

// The stored figures of an analysis.
NightFigures FiguresOf(const NightAnalysis& night);

// Every figure of `samples` (one night's, oldest first), plus the "clinical"
// object of `quenda-cli analyze --json` for the same samples, as JSON text,
// and the settings they were computed under.
struct ComputedFigures {
    NightFigures figures;
    std::string clinicalJson;
    ClinicalColumns clinicalColumns;  // the scalars of clinicalJson, flat
    std::string settingsKey;          // FigureSettings::Key()
};
// `exclusions`: the night's own, sample indexes within it.
// `scoring`: the night's scored study (NightLibrary::Scoring), if any.
ComputedFigures ComputeNightFigures(std::span<const SampleRecord> samples, const FigureSettings& settings,
                                    const Exclusions& exclusions = {}, const ScoredStudy& scoring = {});

// The names of the clinical columns today's program gives a night, scored
// figures included, in their order: a table of nights has one column each.
const std::vector<std::string>& ClinicalColumnNames();

// The user's exclusions of a night are SampleSpans (analysis/Marking.h):
// sample indexes within the night (0 = its first sample), both ends included.

// One night as the library lists it.
struct NightRow {
    NightNumber night = 0;
    int id = 0;
    std::string name;             // the patient name of that ID when the night was added (UTF-8)
    std::string date;             // "YYYY-MM-DD": the night's date by the night rule (of its shifted start)
    std::int64_t start = 0;       // SampleSeconds of its first sample, plus its clock shift
    std::int64_t end = 0;         // SampleSeconds of its last sample, plus its clock shift
    std::int64_t clockShift = 0;  // seconds its recorder's clock is corrected by (`nights shift`)
    std::int32_t samples = 0;     // samples in it (recorded seconds)
    std::int64_t gapSeconds = 0;
    std::filesystem::path source;  // the data file holding its samples
    std::int32_t first = 0;        // index of its first sample in that file
    std::int32_t last = 0;         // index of its last sample, included
    NightFigures figures;
    std::string clinicalJson;  // the "clinical" object, as `analyze --json` gives it
    ClinicalColumns clinicalColumns;  // its scalars, flat
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

// What was done to a night besides its note and exclusions.
struct NightChanges {
    std::int64_t clockShift = 0;
    // The night and, in the order merged, each night merged into it; empty
    // when it is no merged night.
    std::vector<NightNumber> mergedFrom;
    // The two nights a split made, when this is one of them.
    std::optional<std::pair<NightNumber, NightNumber>> split;

    bool operator==(const NightChanges&) const = default;
};

// Which nights a listing gives. Dates are night dates, both ends included.
struct NightFilter {
    std::optional<int> id;
    std::optional<std::string> from;  // "YYYY-MM-DD"
    std::optional<std::string> to;    // "YYYY-MM-DD"
    // Look for each source file (one stat per distinct file) and mark the
    // rows whose file is gone.
    bool checkMissing = true;
    // Read each night's clinical columns (the CSV, the AHI and the burden
    // need them); a listing without them inflates half as much.
    bool clinicalColumns = true;
};

// "YYYY-MM-DD" that is a real date; used for --from and --to.
bool IsDateText(const std::string& text);

}  // namespace quenda
