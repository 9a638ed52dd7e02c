#include "patient/Units.h"

#include <climits>
#include <cmath>
#include <cstdio>

namespace quenda {

namespace {
constexpr double kCentimetresPerInch = 2.54;
constexpr float kGramsPerPound = 454.0f;
constexpr float kGramsPerKilogram = 1000.0f;
}  // namespace

float DisplayHeight(float stored, int unitFlag, int unitSetup) {
    if (IsMetric(unitFlag) == IsMetric(unitSetup)) return stored;
    if (IsMetric(unitSetup)) return static_cast<float>(static_cast<double>(stored) * kCentimetresPerInch);
    return static_cast<float>(static_cast<double>(stored) / kCentimetresPerInch);
}

float DisplayWeight(float stored, int unitFlag, int unitSetup) {
    if (IsMetric(unitFlag) == IsMetric(unitSetup)) return stored;
    if (IsMetric(unitSetup)) return stored * kGramsPerPound / kGramsPerKilogram;
    return stored / kGramsPerPound * kGramsPerKilogram;
}

std::string FormatWhole(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
    return text;
}

int WholeNumber(float value) {
    if (std::isnan(value)) return 0;
    // nearbyint rounds half to even in the default mode, as printf's "%.0f" does.
    const double whole = std::nearbyint(static_cast<double>(value));
    if (whole >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (whole <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(whole);
}

const char* HeightUnitLabel(int unitSetup) { return IsMetric(unitSetup) ? "cm" : "in"; }

const char* WeightUnitLabel(int unitSetup) { return IsMetric(unitSetup) ? "kg" : "lb"; }

}  // namespace quenda
