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

FileResult ExportEdf(const std::filesystem::path& path, const ExportRequest& request,
                     std::vector<std::filesystem::path>* written) {
    AnalysisResults results;
    ComputeStatistics(request.samples, request.thresholds, results);
    return WriteEdf(path, request.samples, request.patient, request.currentId, results,
                    ExtraEdfAnnotations(request.samples), written);
}

}  // namespace

FileResult ExportDataSet(ExportKind kind, const std::filesystem::path& path, const ExportRequest& request,
                         const std::function<void(int)>& progress, std::vector<std::filesystem::path>* written) {
    const PatientBlock block = MakePatientBlock(request.patient, request.currentId, request.unitSetup);
    FileResult result{false, UiText(export_message::kUnknownType), {}};
    switch (kind) {
        case ExportKind::Text: result = WriteTextExport(path, block, request.samples); break;
        case ExportKind::Workbook: result = WriteWorkbook(path, block, request.samples, progress); break;
        case ExportKind::Edf: return ExportEdf(path, request, written);
        case ExportKind::Csv: result = WriteCsv(path, request.samples); break;
        case ExportKind::DataFile:
        case ExportKind::Unknown: return result;
    }
    if (result && written) *written = {path};
    return result;
}

}  // namespace quenda
