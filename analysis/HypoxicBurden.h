#pragma once

#include "analysis/NoFigure.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// The hypoxic burden of a night's respiratory events, %·min per hour of
// sleep: the area of each event's SpO2 fall below the highest reading of
// the 100 s before its end, over a search window found from the ensemble of
// all the night's events, summed and divided by the hours asleep. As
// published by Azarbarzin et al. (European Heart Journal 2019), the steps as
// described for the open implementation of Sutherland, de Chazal et al.
// (Sleep 2022).
//
// Seconds are counted from the night's first second. A reading is SpO2 from
// 50 to 100 in a second that holds a sample and that the user did not
// exclude; anything else is no reading (NaN below).

// One event, in milliseconds from the night's first second.
struct RespiratoryEventTime {
    std::int64_t onsetMs = 0;
    std::int64_t durationMs = 0;
};

// The 31-tap low-pass FIR filter the ensemble curve is smoothed with.
inline constexpr int kBurdenFilterTaps = 31;
extern const std::array<double, kBurdenFilterTaps> kBurdenFilter;
// Samples mirrored through each end of the curve before it is filtered.
inline constexpr int kBurdenPadding = 90;

// The curve filtered forward and backward (zero phase), each pass starting
// from the filter's steady state for its first value, after padding it at
// each end with kBurdenPadding samples mirrored through the end value; the
// padding is cut off again. `curve` must be longer than kBurdenPadding.
std::vector<double> ZeroPhaseLowPass(std::span<const double> curve);

// The ensemble curve's 241 seconds: 120 before each event's end to 120 after.
inline constexpr int kEnsembleHalf = 120;
inline constexpr int kEnsembleLength = 2 * kEnsembleHalf + 1;

// The search window, seconds relative to an event's end; [-5, 45] when the
// ensemble shows no clear fall and recovery.
struct BurdenWindow {
    int start = -5;
    int end = 45;
    bool found = false;
    bool operator==(const BurdenWindow&) const = default;
};

// The window from the filtered ensemble curve (kEnsembleLength values),
// the events' mean duration D and mean onset-to-onset gap G (whole seconds,
// rounded up).
BurdenWindow FindBurdenWindow(std::span<const double> filtered, int meanDuration, int meanGap);

struct HypoxicBurden {
    double value = kNoFigure;  // %·min per hour; none without hours
    int eventsUsed = 0;
    double hours = 0;         // asleep (or, without stages, all) with a reading
    bool sleepBasis = false;  // hours from the stages
    BurdenWindow window;
};

// `spo2`: each second of the night, NaN for no reading; `events` in onset
// order; `asleep`: each second's stage asleep (1) or not (0), empty when the
// night has no stages. Call with at least one event.
HypoxicBurden ComputeHypoxicBurden(std::span<const double> spo2, std::span<const RespiratoryEventTime> events,
                                   std::span<const std::uint8_t> asleep);

}  // namespace quenda
