#pragma once

#include "patient/PatientRecord.h"
#include "views/TrendViewSource.h"

#include <string>

namespace quenda {

// What every page's header shows of the report title, the patient record of
// the data set's ID and the unit setting in force (UnitSetup: 0 British,
// anything else metric).
TrendHeader MakePageHeader(const std::string& title, const PatientRecord& patient, int id, int unitSetup);

}  // namespace quenda
