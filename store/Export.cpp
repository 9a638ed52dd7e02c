#include "store/Export.h"

#include "app/UiText.h"
#include "analysis/Analysis.h"
#include "store/Edf.h"
#include "store/ExportText.h"
#include "store/Workbook.h"

namespace quenda {

namespace {

// Annotations beyond the specified events. MERGE POINT: the depth-3 clinical
// desaturations ("Desaturation 3%", onset and length of each counted event)
// are added here once the clinical summary is part of analysis/.
std::vector<EdfAnnotation> ExtraEdfAnnotations(std::span<const SampleRecord> /*samples*/) { return {}; }

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
