#pragma once

// The columns a night's figures are stored in, in the table's order: one
// list for every store, so a night's row reads alike wherever it is kept.

#include "nights/Night.h"
#include "nights/SqlDatabase.h"

#include <cstdint>
#include <iterator>
#include <string>

namespace quenda {

struct RealColumn {
    const char* name;
    double NightFigures::*field;
};
struct IntColumn {
    const char* name;
    std::int32_t NightFigures::*field;
};
inline constexpr RealColumn kRealColumns[] = {
    {"valid_hours", &NightFigures::validHours},
    {"odi3", &NightFigures::odi3},
    {"odi4", &NightFigures::odi4},
    {"desat_burden", &NightFigures::desaturationBurden},
    {"t90", &NightFigures::t90},
    {"t88_minutes", &NightFigures::t88Minutes},
    {"spo2_mean", &NightFigures::spo2Mean},
    {"spo2_median", &NightFigures::spo2Median},
    {"pulse_mean", &NightFigures::pulseMean},
    {"pulse_median", &NightFigures::pulseMedian},
    {"desat_index", &NightFigures::desaturationIndex},
    {"pulse_index", &NightFigures::pulseIndex},
    {"coverage", &NightFigures::coverage},
    {"pulse_rise_index", &NightFigures::pulseRiseIndex},
};
inline constexpr IntColumn kIntColumns[] = {
    {"valid_samples", &NightFigures::validSamples},
    {"longest_le88", &NightFigures::longestLe88Seconds},
    {"nadir", &NightFigures::nadirSpo2},
    {"pulse_min", &NightFigures::pulseMin},
    {"pulse_max", &NightFigures::pulseMax},
    {"stat_spo2_max", &NightFigures::spo2Maximum},
    {"stat_spo2_min", &NightFigures::spo2Minimum},
    {"stat_spo2_avg", &NightFigures::spo2Average},
    {"stat_pulse_max", &NightFigures::pulseMaximum},
    {"stat_pulse_min", &NightFigures::pulseMinimum},
    {"stat_pulse_avg", &NightFigures::pulseAverage},
    {"desat_events", &NightFigures::desaturationEvents},
    {"pulse_events", &NightFigures::pulseEvents},
};

// The one figure that may be none (NULL), after the others.
inline constexpr const char* kCoupledShareColumn = "coupled_share";

// ",valid_hours,odi3,...,coupled_share": every figure column, each after a comma.
inline std::string FigureColumnList() {
    std::string list;
    for (const auto& c : kRealColumns) list += std::string(",") + c.name;
    for (const auto& c : kIntColumns) list += std::string(",") + c.name;
    return list + "," + kCoupledShareColumn;
}
inline constexpr int kFigureColumns = std::size(kRealColumns) + std::size(kIntColumns) + 1;

// Binds the figures from parameter `at` on, in that order.
inline void BindFigures(Statement& s, int at, const NightFigures& f) {
    for (const auto& c : kRealColumns) s.Bind(at++, f.*(c.field));
    for (const auto& c : kIntColumns) s.Bind(at++, static_cast<std::int64_t>(f.*(c.field)));
    if (f.coupledShare) {
        s.Bind(at, *f.coupledShare);
    } else {
        s.BindNull(at);
    }
}

}  // namespace quenda
