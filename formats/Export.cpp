#include "formats/Export.h"

#include "analysis/Analysis.h"
#include "analysis/Clinical.h"
#include "base/UiText.h"
#include "formats/Edf.h"
#include "formats/ExportText.h"
#include "formats/Workbook.h"

namespace quenda {

namespace {

// Annotations beyond the report page's own events: the clinical summary's
// counted 3 % desaturations, which sleep software scores by.
std::vector<EdfAnnotation> ExtraEdfAnnotations(std::span<const SampleRecord> samples) {
    std::vector<EdfAnnotation> annotations;
    for (const ClinicalEvent& e : DetectDesaturations(samples, 3)) {
        annotations.push_back({e.start, e.length, edf::kClinicalDesaturation});
    }
    return annotations;
}

FileResult ExportEdf(const std::filesystem::path& path, const ExportRequest& request) {
    AnalysisResults results;
    ComputeStatistics(request.samples, request.thresholds, results);
    return WriteEdf(path, request.samples, request.patient, request.currentId, results,
                    ExtraEdfAnnotations(request.samples));
}

}  // namespace

FileResult ExportDataSet(ExportKind kind, const std::filesystem::path& path, const ExportRequest& request,
                         const std::function<void(int)>& progress) {
    const PatientBlock block = MakePatientBlock(request.patient, request.currentId, request.unitSetup);
    switch (kind) {
        case ExportKind::Text: return WriteTextExport(path, block, request.samples);
        case ExportKind::Workbook: return WriteWorkbook(path, block, request.samples, progress);
        case ExportKind::Edf: return ExportEdf(path, request);
        case ExportKind::Csv: return WriteCsv(path, request.samples);
        case ExportKind::DataFile:
        case ExportKind::Unknown: break;
    }
    return FileResult{false, UiText(export_message::kUnknownType), {}};
}

}  // namespace quenda
