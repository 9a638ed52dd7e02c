#pragma once

#include "analysis/HypoxicBurden.h"
#include "analysis/Marking.h"
#include "analysis/ScoredStudy.h"
#include "store/SampleRecord.h"

#include <span>
#include <vector>

namespace quenda {

// What a night's scoring gives: the respiratory events counted against the
// time asleep (the AHI), and their hypoxic burden.
struct ScoredFigures {
    bool scored = false;  // any respiratory event or stage: without, no figures
    int apneas = 0;
    int hypopneas = 0;
    // Asleep by the stages (sleepBasis), or without stages the seconds that
    // hold a reading, in hours.
    double hours = 0;
    bool sleepBasis = false;
    double ahi = kNoFigure;
    bool hasBurden = false;  // at least one respiratory event
    HypoxicBurden burden;
};

// The night's seconds as the scored figures read them, from its first
// sample's second to its last: each second's SpO2 when it holds a reading
// (a sample, not excluded, SpO2 50 to 100), else NaN; and its stage asleep
// (1) or not (0), empty when the scoring holds no stage.
struct ScoredSeconds {
    std::int64_t firstSecond = 0;  // SampleSeconds of the night's first second
    std::vector<double> spo2;
    std::vector<std::uint8_t> asleep;
};
ScoredSeconds SecondsOf(std::span<const SampleRecord> samples, const Exclusions& exclusions, const ScoredStudy& study);

// A respiratory event or a stage of the scoring where the views draw it: the
// samples from the first at or after its onset to the last before its end.
struct ScoredMark {
    SampleSpan span;
    AnnotationKind kind = AnnotationKind::Other;
    SleepStage stage = SleepStage::None;
    bool operator==(const ScoredMark&) const = default;
};

// The marks of the scoring's respiratory events and stages over `samples`
// (oldest first), by first sample; what falls between two samples or
// outside them all has none.
std::vector<ScoredMark> ScoredMarksOf(std::span<const SampleRecord> samples, const ScoredStudy& study);

// The respiratory event mark holding sample `index`, if any (`marks` as
// ScoredMarksOf gives them).
const ScoredMark* RespiratoryMarkAt(std::span<const ScoredMark> marks, std::int32_t index);

// `samples` oldest first; `exclusions` sample indexes within them.
ScoredFigures ComputeScoredFigures(std::span<const SampleRecord> samples, const Exclusions& exclusions,
                                   const ScoredStudy& study);

}  // namespace quenda
