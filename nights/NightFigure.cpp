#include "nights/NightFigure.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace quenda {

namespace {

// The object after "key": in a clinical JSON of our own making (flat:
// neither scored object holds another); empty for null or none. Both keys
// close the JSON, after its event lists: searched from the end, a listing of
// thousands of nights does not read every night's events to find them.
std::string_view ObjectAfter(std::string_view json, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\":";
    const auto at = json.rfind(quoted);
    if (at == std::string_view::npos || json.substr(at + quoted.size(), 1) != "{") return {};
    const auto end = json.find('}', at);
    return end == std::string_view::npos ? std::string_view{} : json.substr(at + quoted.size(), end + 1 - at - quoted.size());
}

// The number after "key": in `object`; NaN when it is null or missing.
double NumberAfter(std::string_view object, std::string_view key) {
    const std::string quoted = "\"" + std::string(key) + "\":";
    const auto at = object.find(quoted);
    if (at == std::string_view::npos) return kNoFigure;
    const std::string rest(object.substr(at + quoted.size(), 32));
    char* end = nullptr;
    const double value = std::strtod(rest.c_str(), &end);
    return end == rest.c_str() ? kNoFigure : value;
}

int IntAfter(std::string_view object, std::string_view key) {
    const double value = NumberAfter(object, key);
    return HasFigure(value) ? static_cast<int>(value) : 0;
}

}  // namespace

NightScoredFigures ScoredFiguresOf(const NightRow& row) {
    NightScoredFigures out;
    const std::string_view events = ObjectAfter(row.clinicalJson, "scored_events");
    if (events.empty()) return out;
    out.scored = true;
    out.apneas = IntAfter(events, "apneas");
    out.hypopneas = IntAfter(events, "hypopneas");
    out.hours = NumberAfter(events, "hours");
    out.ahi = NumberAfter(events, "ahi");
    const std::string_view burden = ObjectAfter(row.clinicalJson, "hypoxic_burden");
    if (burden.empty()) return out;
    out.hasBurden = true;
    out.burden = NumberAfter(burden, "value");
    out.burdenHours = NumberAfter(burden, "hours");
    out.eventsUsed = IntAfter(burden, "events_used");
    if (const auto w = burden.find("\"window\":["); w != std::string_view::npos) {
        const std::string rest(burden.substr(w + 10, 40));
        char* end = nullptr;
        out.windowStart = static_cast<int>(std::strtol(rest.c_str(), &end, 10));
        if (*end == ',') out.windowEnd = static_cast<int>(std::strtol(end + 1, nullptr, 10));
    }
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
