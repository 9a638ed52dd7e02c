#pragma once

#include "analysis/NoFigure.h"
#include "nights/Night.h"

#include <optional>
#include <string_view>
#include <vector>

namespace quenda {

// The figures a night is followed by across nights: the Nights window's
// chart, the printed Nights pages and the period summary read them from a
// listed night the one way below. A figure added here reaches all of them.
// The AHI and the hypoxic burden are a scored night's (ScoredFiguresOf): none
// for a night without scoring.
enum class NightFigure {
    Odi3,
    Odi4,
    T90,
    T88,
    Nadir,
    MeanSpo2,
    MeanPulse,
    Burden,
    PulseRiseIndex,
    CoupledShare,
    Ahi,
    HypoxicBurden
};
inline constexpr int kNightFigureCount = 12;
const char* NightFigureTitle(NightFigure figure);  // "ODI 3 %", ...
const char* NightFigureName(NightFigure figure);   // "odi3", ... as quenda-cli takes it
std::optional<NightFigure> NightFigureNamed(std::string_view name);
// kNoFigure (NaN) where the night has none (the coupled share of a night
// without a 3 % desaturation).
double NightFigureValue(const NightRow& row, NightFigure figure);
// A scored night's figures as its clinical columns carry them (those of
// clinical.scored_events and clinical.hypoxic_burden, two decimals): the
// list, show, the Nights window, the summary and the CSV read them there, so
// each says what `nights list --json` says.
struct NightScoredFigures {
    bool scored = false;  // scored_events is not null
    int apneas = 0;
    int hypopneas = 0;
    double hours = 0;  // what the AHI divides by
    double ahi = kNoFigure;
    bool hasBurden = false;  // hypoxic_burden is not null
    double burden = kNoFigure;  // %·min per hour
    double burdenHours = 0;     // what the burden divides by
    int eventsUsed = 0;
    int windowStart = 0;  // seconds from each event's end
    int windowEnd = 0;
};
NightScoredFigures ScoredFiguresOf(const NightRow& row);

// The clinical cut-offs drawn as reference lines (none for some figures).
std::vector<double> NightFigureCutOffs(NightFigure figure);

}  // namespace quenda
