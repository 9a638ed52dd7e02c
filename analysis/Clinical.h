#pragma once

#include "analysis/Marking.h"
#include "store/SampleRecord.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// The clinical summary of a night: the indices overnight oximetry is read by
// today (ODI, T90, nadir, burden...). It sits beside the report page's own
// figures and never changes them: those measure each fall from where it began,
// with every sample taking part; these work against a running baseline and
// leave out the samples the recorder took without a finger or a signal.
//
// Every time below is in seconds of the recorder's clock (SampleClock in
// Marking.h). A night can hold seconds without a sample; each such missing
// second counts as an invalid reading wherever a rule looks at time, and a
// break between nights as a gap longer than every window. Figures that rest on
// samples (hours, T90, bands, coverage) count the samples there are, one second
// each; a missing second is in none of them.

// The recorder's readings with no finger or no signal fall outside these.
inline constexpr int kValidSpo2Min = 50;    // %
inline constexpr int kValidSpo2Max = 100;   // %
inline constexpr int kValidPulseMin = 20;   // bpm
inline constexpr int kValidPulseMax = 250;  // bpm

// Baseline: the mean SpO2 over the 120 seconds before a sample of the samples
// that take part: valid ones outside the desaturations counted so far (a
// missing second takes no part); defined only when at least 60 of those
// seconds hold one.
inline constexpr int kBaselineWindow = 120;
inline constexpr int kBaselineMinSamples = 60;
// A desaturation counts when it lasts at least this many seconds.
inline constexpr int kClinicalMinEventLength = 10;
// SpO2 at or below this counts toward T88 and its longest run (which a missing
// second breaks).
inline constexpr int kLowSpo2Level = 88;
// T90 counts SpO2 strictly below this.
inline constexpr int kT90Level = 90;

inline bool IsValidSample(const SampleRecord& r) {
    return r.spo2 >= kValidSpo2Min && r.spo2 <= kValidSpo2Max && r.pulseRate >= kValidPulseMin &&
           r.pulseRate <= kValidPulseMax;
}

// One counted desaturation.
struct ClinicalEvent {
    std::int32_t start = 0;   // index of its first sample
    std::int32_t length = 0;  // samples, i.e. seconds: no event holds a missing second
    double baseline = 0;      // SpO2 %, frozen when the event opened
    std::int32_t nadir = 0;   // lowest SpO2 in it, %
    double area = 0;          // sum of (baseline - SpO2) over its samples, %·s

    bool operator==(const ClinicalEvent&) const = default;
};

// The 3 % desaturations, the drop the AASM scoring manual takes for a
// hypopnoea (Berry RB et al., AASM Manual for the Scoring of Sleep and
// Associated Events, v2.6, 2020), against a running baseline of the two
// minutes before:
// - an event opens at the first sample outside an event whose baseline is
//   defined and whose SpO2 is at or below baseline - 3; the baseline is frozen
//   there;
// - it closes at the first later sample that is invalid or has SpO2 at or
//   above the frozen baseline - 1, or at the first missing second, whichever
//   comes first (neither is part of it); an event still open at the end closes
//   there;
// - it counts when it lasts at least kClinicalMinEventLength seconds. A counted
//   event's samples stay out of later baselines; an uncounted one's go back in.
// Linear time: a running window sum, each sample added and removed once; a gap
// of any length costs at most one pass over the window.
inline constexpr int kDesaturationDepth = 3;  // %
std::vector<ClinicalEvent> DetectDesaturations(std::span<const SampleRecord> samples);

// The deeper desaturations are some of the 3 % ones, never others: those whose
// nadir is at least `depth` below their baseline, with the same start, end,
// baseline and area. Were each depth detected on its own, a counted 3 % event
// would keep its samples out of the next baseline while the 4 % scan kept them
// in, and ODI 4 could come out above ODI 3, which reads as an error.
inline constexpr int kDeepDesaturationDepth = 4;  // %
std::vector<ClinicalEvent> DeeperDesaturations(const std::vector<ClinicalEvent>& events, int depth);

// Time in one SpO2 band.
struct Spo2Band {
    int low = 0;   // % inclusive
    int high = 0;  // % inclusive
    std::int32_t samples = 0;
    double minutes = 0;
    double percent = 0;  // of the counted time
};

// ≥ 95, 90–94, 85–89, 80–84, < 80 (valid SpO2 starts at 50).
inline constexpr int kSpo2BandCount = 5;
using Spo2Bands = std::array<Spo2Band, kSpo2BandCount>;
inline constexpr Spo2Bands kEmptySpo2Bands{{{95, kValidSpo2Max}, {90, 94}, {85, 89}, {80, 84}, {kValidSpo2Min, 79}}};

// Which samples the summary counts (Marking.h). The raw profile without
// exclusions is the summary as it has always been.
struct ClinicalOptions {
    ClinicalProfile profile = ClinicalProfile::Raw;
    Exclusions exclusions;
};

// Below, "counted" is what the profile counts: under the raw profile every
// valid sample outside the exclusions, under the default one the samples
// marked Counted. Every figure that rests on samples rests on the counted ones.
struct ClinicalSummary {
    std::int32_t validSamples = 0;  // valid samples, whatever the profile
    double validHours = 0;
    double odi3 = 0;                // counted 3 % events per counted hour
    double odi4 = 0;                // the 4 % ones among them, per counted hour
    double desaturationBurden = 0;  // area of the depth-3 events, %·min per counted hour
    double t90 = 0;                 // % of counted samples with SpO2 < 90
    double t88Minutes = 0;          // counted samples with SpO2 <= 88, in minutes
    std::int32_t longestLe88Seconds = 0;
    std::int32_t longestLe88Start = -1;  // sample index; -1 when there is no such run
    std::int32_t nadirSpo2 = 0;
    std::int32_t nadirIndex = -1;  // first sample at the nadir; -1 without valid samples
    double spo2Mean = 0;
    double spo2Median = 0;
    double pulseMean = 0;
    double pulseMedian = 0;
    std::int32_t pulseMin = 0;
    std::int32_t pulseMax = 0;
    Spo2Bands bands = kEmptySpo2Bands;
    std::vector<ClinicalEvent> events3;
    std::vector<ClinicalEvent> events4;  // a subset of events3 (DeeperDesaturations)

    // How much of the data set the figures rest on.
    ClinicalProfile profile = ClinicalProfile::Raw;
    std::int32_t samples = 0;
    std::int32_t countedSamples = 0;
    double countedHours = 0;
    double coverage = 0;  // counted / samples × 100; 0 without samples
    std::int32_t marginSamples = 0;
    std::int32_t artefactSamples = 0;
    std::int32_t excludedSamples = 0;
    std::vector<SampleSpan> excluded;  // the exclusions, cut to the data set
};

class NightPass;

// Every figure of the summary, in linear time: one pass marks the samples as
// MarkSamples does and gathers the counted values and the desaturations, 3 % and 4 %.
// Without a counted sample every figure is 0 and both event lists are empty
// (the coverage fields are still filled in). `marks`, when given, receives the
// marking; `night`, when given, takes every sample of the same pass
// (NightPass.h).
ClinicalSummary ComputeClinicalSummary(std::span<const SampleRecord> samples, const ClinicalOptions& options,
                                       SampleMarks* marks = nullptr, NightPass* night = nullptr);
// The raw profile without exclusions.
ClinicalSummary ComputeClinicalSummary(std::span<const SampleRecord> samples);

// Mean, median and range of one channel's valid values.
struct ValueSpread {
    double mean = 0;
    double median = 0;  // an even count takes the mean of the two middle values
    int minimum = 0;
    int maximum = 0;
};

}  // namespace quenda
