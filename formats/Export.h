#pragma once

#include "analysis/NightAnalysis.h"
#include "formats/Edf.h"
#include "formats/ExportKind.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult
#include "store/SampleRecord.h"

#include <filesystem>
#include <functional>
#include <span>
#include <vector>

namespace quenda {

// What every export of a data set reads, gathered once by the desktop
// program or the CLI (MakeExportRequest).
struct ExportRequest {
    std::span<const SampleRecord> samples;  // the current data set, oldest first
    PatientRecord patient;                  // CurrentPatient
    int currentId = 0;                      // CurrentId
    int unitSetup = 0;                      // UnitSetup at the moment of writing
    FigureSettings figures;                 // what the EDF+ annotations are computed under
    Exclusions exclusions;                  // the data set's, indexes within it
    // A night of the library: its EDF+ is one file whatever its steps (a
    // merged night's gap is a gap), its annotations from its own analysis.
    bool oneNight = false;
    // The sleep study's scoring of the data set, written back into the EDF+.
    ScoredStudy scoring;
};

// The request for `samples` under the settings file of this moment (units,
// thresholds, clinical profile), with the data set's exclusions.
ExportRequest MakeExportRequest(std::span<const SampleRecord> samples, const PatientRecord& patient, int id,
                                const Settings& settings, Exclusions exclusions = {});

// The EDF+ annotations of one night, from its analysis, in samples of the
// night: every desaturation and pulse event of the report, the clinical
// summary's counted 3 % desaturations (which sleep software scores by), an
// "Artefact" for each run the profile sets aside as artefacts (margins beside
// invalid readings included) and an "Excluded" for each excluded span.
std::vector<EdfAnnotation> EdfAnnotationsOf(const NightAnalysis& night);

// Writes one of the exports (not the data file, which carries the report title
// and has its own writer). `progress` hears samples written, for the long
// ones. Unknown is refused with kUnknownType. `written` gets every file
// written: EDF+ writes one per night (EdfNightFile), the others one.
FileResult ExportDataSet(ExportKind kind, const std::filesystem::path& path, const ExportRequest& request,
                         const std::function<void(int)>& progress = {},
                         std::vector<std::filesystem::path>* written = nullptr);

}  // namespace quenda
