#include "nights/NightFigure.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace quenda {

namespace {

// The figure `name` of the row's clinical columns as a number; NaN when it
// is null or the night has none.
double Number(const NightRow& row, std::string_view name) {
    const std::optional<std::string_view> text = row.clinicalColumns.Find(name);
    if (!text || text->empty()) return kNoFigure;
    const std::string value(*text);
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    return end == value.c_str() ? kNoFigure : number;
}

int Integer(const NightRow& row, std::string_view name) {
    const double value = Number(row, name);
    return HasFigure(value) ? static_cast<int>(value) : 0;
}

}  // namespace

NightScoredFigures ScoredFiguresOf(const NightRow& row) {
    NightScoredFigures out;
    if (!row.clinicalColumns.Find("scored_events_apneas")) return out;
    out.scored = true;
    out.apneas = Integer(row, "scored_events_apneas");
    out.hypopneas = Integer(row, "scored_events_hypopneas");
    out.hours = Number(row, "scored_events_hours");
    out.ahi = Number(row, "scored_events_ahi");
    if (!row.clinicalColumns.Find("hypoxic_burden_value")) return out;
    out.hasBurden = true;
    out.burden = Number(row, "hypoxic_burden_value");
    out.burdenHours = Number(row, "hypoxic_burden_hours");
    out.eventsUsed = Integer(row, "hypoxic_burden_events_used");
    out.windowStart = Integer(row, "hypoxic_burden_window_start");
    out.windowEnd = Integer(row, "hypoxic_burden_window_end");
    return out;
}

const char* NightFigureTitle(NightFigure figure) {
    static const char* const titles[kNightFigureCount] = {
        "ODI 3 %",    "ODI 4 %",             "T90 %",            "T88 min",      "Nadir", "Mean SpO2",
        "Mean pulse", "Desaturation burden", "Pulse-rise index", "Coupled share %", "AHI", "Hypoxic burden"};
    return titles[static_cast<int>(figure)];
}

const char* NightFigureName(NightFigure figure) {
    static const char* const names[kNightFigureCount] = {"odi3",  "odi4",  "t90",    "t88",        "nadir",
                                                         "spo2",  "pulse", "burden", "pulse_rises", "coupled",
                                                         "ahi",   "hypoxic_burden"};
    return names[static_cast<int>(figure)];
}

std::optional<NightFigure> NightFigureNamed(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < kNightFigureCount; ++i) {
        if (lower == NightFigureName(static_cast<NightFigure>(i))) return static_cast<NightFigure>(i);
    }
    return std::nullopt;
}

double NightFigureValue(const NightRow& row, NightFigure figure) {
    const NightFigures& f = row.figures;
    if (!f.AnyCounted()) return kNoFigure;
    switch (figure) {
        case NightFigure::Odi3: return f.odi3;
        case NightFigure::Odi4: return f.odi4;
        case NightFigure::T90: return f.t90;
        case NightFigure::T88: return f.t88Minutes;
        case NightFigure::Nadir: return f.nadirSpo2;
        case NightFigure::MeanSpo2: return f.spo2Mean;
        case NightFigure::MeanPulse: return f.pulseMean;
        case NightFigure::Burden: return f.desaturationBurden;
        case NightFigure::PulseRiseIndex: return f.pulseRiseIndex;
        case NightFigure::CoupledShare: return f.coupledShare.value_or(kNoFigure);
        case NightFigure::Ahi: return ScoredFiguresOf(row).ahi;
        case NightFigure::HypoxicBurden: return ScoredFiguresOf(row).burden;
    }
    return 0;
}

std::vector<double> NightFigureCutOffs(NightFigure figure) {
    switch (figure) {
        // Mild, moderate and severe desaturation, per hour.
        case NightFigure::Odi3:
        case NightFigure::Odi4:
        // Mild, moderate and severe sleep apnoea, events per hour asleep.
        case NightFigure::Ahi: return {5, 15, 30};
        case NightFigure::T90: return {5, 10, 25};
        case NightFigure::T88: return {5};
        default: return {};
    }
}

}  // namespace quenda
