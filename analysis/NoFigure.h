#pragma once

#include <cmath>
#include <limits>

namespace quenda {

// The value of a figure with nothing to rest on (no sample, no event, a series
// too short for its windows, a zero it would divide by): the JSON gives null,
// the CSV an empty field and the page "-".
inline constexpr double kNoFigure = std::numeric_limits<double>::quiet_NaN();

inline bool HasFigure(double value) { return std::isfinite(value); }

}  // namespace quenda
