#pragma once

#include "nights/Night.h"

#include <optional>
#include <string_view>
#include <vector>

namespace quenda {

// The figures a night is followed by across nights: the Nights window's
// chart, the printed Nights pages and the period summary read them from a
// listed night the one way below. A figure added here reaches all of them.
enum class NightFigure { Odi3, Odi4, T90, T88, Nadir, MeanSpo2, MeanPulse, Burden, PulseRiseIndex, CoupledShare };
inline constexpr int kNightFigureCount = 10;
const char* NightFigureTitle(NightFigure figure);  // "ODI 3 %", ...
const char* NightFigureName(NightFigure figure);   // "odi3", ... as quenda-cli takes it
std::optional<NightFigure> NightFigureNamed(std::string_view name);
// kNoFigure (NaN) where the night has none (the coupled share of a night
// without a 3 % desaturation).
double NightFigureValue(const NightRow& row, NightFigure figure);
// The clinical cut-offs drawn as reference lines (none for some figures).
std::vector<double> NightFigureCutOffs(NightFigure figure);

}  // namespace quenda
