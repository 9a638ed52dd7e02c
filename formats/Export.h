#pragma once

#include "analysis/Thresholds.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult
#include "formats/ExportKind.h"
#include "store/SampleRecord.h"

#include <filesystem>
#include <functional>
#include <span>
#include <vector>

namespace quenda {

// What every export of a data set reads, gathered once by the desktop
// program or the CLI.
struct ExportRequest {
    std::span<const SampleRecord> samples;  // the current data set, oldest first
    PatientRecord patient;                  // CurrentPatient
    int currentId = 0;                      // CurrentId
    int unitSetup = 0;                      // UnitSetup at the moment of writing
    Thresholds thresholds;                  // the events EDF+ annotates
};

// Writes one of the exports (not the data file, which carries the report title
// and has its own writer). `progress` hears samples written, for the long
// ones. Unknown is refused with kUnknownType. `written` gets every file
// written: EDF+ writes one per night (EdfNightFile), the others one.
FileResult ExportDataSet(ExportKind kind, const std::filesystem::path& path, const ExportRequest& request,
                         const std::function<void(int)>& progress = {},
                         std::vector<std::filesystem::path>* written = nullptr);

}  // namespace quenda
