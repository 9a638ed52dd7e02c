#include "nights/NightFigure.h"

#include <cctype>
#include <string>

namespace quenda {

const char* NightFigureTitle(NightFigure figure) {
    static const char* const titles[kNightFigureCount] = {
        "ODI 3 %",    "ODI 4 %",             "T90 %",            "T88 min",      "Nadir", "Mean SpO2",
        "Mean pulse", "Desaturation burden", "Pulse-rise index", "Coupled share %"};
    return titles[static_cast<int>(figure)];
}

const char* NightFigureName(NightFigure figure) {
    static const char* const names[kNightFigureCount] = {"odi3",  "odi4",  "t90",    "t88",        "nadir",
                                                         "spo2",  "pulse", "burden", "pulse_rises", "coupled"};
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
    }
    return 0;
}

std::vector<double> NightFigureCutOffs(NightFigure figure) {
    switch (figure) {
        // Mild, moderate and severe desaturation, per hour.
        case NightFigure::Odi3:
        case NightFigure::Odi4: return {5, 15, 30};
        case NightFigure::T90: return {5, 10, 25};
        case NightFigure::T88: return {5};
        default: return {};
    }
}

}  // namespace quenda
