#pragma once

#include "analysis/AnalysisResults.h"
#include "analysis/Thresholds.h"
#include "store/SampleRecord.h"

#include <span>

namespace quenda {

// Shortest runs that count as events, in samples (seconds).
inline constexpr int kDesaturationMinLength = 10;
inline constexpr int kPulseMinLength = 8;

// One sample per second.
inline constexpr double kSamplesPerHour = 3600.0;

// Replaces `results` with the analysis of `samples` (the current data set, in
// time order): clears everything, keeps the four limits, computes the summary
// statistics in one pass and ends with DetectEvents.
//
// An empty data set leaves every result zero (the report page is not drawn
// then), rather than reading a sample that is not there.
void ComputeStatistics(std::span<const SampleRecord> samples, const Thresholds& thresholds, AnalysisResults& results);

// Replaces both event lists, counts, indexes, average durations and event
// summaries of `results`; the summary statistics and limits are left alone.
//
// An event of a channel is a run of at least kDesaturationMinLength (SpO2) or
// kPulseMinLength (pulse) consecutive samples all at or below the level at
// which the current fall began, less the channel's threshold. Only falls count,
// equal neighbours neither end a fall nor move its starting level, and a run
// still going at the last sample is kept if it is long enough.
void DetectEvents(std::span<const SampleRecord> samples, const Thresholds& thresholds, AnalysisResults& results);

}  // namespace quenda
