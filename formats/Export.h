#pragma once

#include "analysis/Clinical.h"
#include "analysis/Thresholds.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult
#include "formats/Edf.h"
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
    ClinicalOptions clinical;               // the clinical profile and exclusions EDF+ annotates
};

// The EDF+ annotations beyond the report page's own events: the clinical
// summary's counted 3 % desaturations, which sleep software scores by, then an
// "Artefact" for each run the profile sets aside as artefacts (margins beside
// invalid readings included) and an "Excluded" for each excluded span.
std::vector<EdfAnnotation> ClinicalEdfAnnotations(std::span<const SampleRecord> samples,
                                                  const ClinicalOptions& options);

// Writes one of the exports (not the data file, which carries the report title
// and has its own writer). `progress` hears samples written, for the long
// ones. Unknown is refused with kUnknownType. `written` gets every file
// written: EDF+ writes one per night (EdfNightFile), the others one.
FileResult ExportDataSet(ExportKind kind, const std::filesystem::path& path, const ExportRequest& request,
                         const std::function<void(int)>& progress = {},
                         std::vector<std::filesystem::path>* written = nullptr);

}  // namespace quenda
