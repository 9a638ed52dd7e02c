#pragma once

#include <string>

namespace quenda {

// The unit system of heights and weights. The settings value UnitSetup holds
// 0 for inches and pounds ("The Britain System") and 1 for centimetres and
// kilograms ("The Metric System"); any other non-zero value put into the file
// by hand counts as metric. A patient record's unit flag uses the same coding.
inline constexpr int kUnitBritain = 0;
inline constexpr int kUnitMetric = 1;

inline bool IsMetric(int unitValue) { return unitValue != 0; }

// The unit flag a record saved now gets: 0 or 1, whatever non-zero value the
// settings file holds.
inline int UnitFlagFor(int unitSetup) { return IsMetric(unitSetup) ? kUnitMetric : kUnitBritain; }

// Height and weight as shown under the current UnitSetup, from the value stored
// in a record with the given unit flag. Stored values already in the shown
// system come back unchanged; others are converted with 2.54 cm to the inch and
// 454 g to the pound. The converted height passes through a 32-bit float, and
// the weight is computed in 32-bit floats, so "%.0f" rounds exactly as the
// pages and the dialog always have.
float DisplayHeight(float stored, int unitFlag, int unitSetup);
float DisplayWeight(float stored, int unitFlag, int unitSetup);

// "%.0f" of value: the nearest whole number, as shown.
std::string FormatWhole(float value);

// The integer that FormatWhole shows, which the dialog edits. Values that are
// not numbers become 0 and values beyond int are clamped, so a damaged slot
// cannot put text like "nan" into a digits-only box.
int WholeNumber(float value);

// Unit labels: "cm"/"in" and "kg"/"lb".
const char* HeightUnitLabel(int unitSetup);
const char* WeightUnitLabel(int unitSetup);

}  // namespace quenda
