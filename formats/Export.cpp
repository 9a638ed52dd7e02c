#include "formats/Export.h"

#include "analysis/Analysis.h"
#include "analysis/Clinical.h"
#include "base/UiText.h"
#include "formats/Edf.h"
#include "formats/ExportText.h"
#include "formats/Workbook.h"

namespace quenda {

namespace {

constexpr const char* kArtefactAnnotation = "Artefact";
constexpr const char* kExcludedAnnotation = "Excluded";

FileResult ExportEdf(const std::filesystem::path& path, const ExportRequest& request,
                     std::vector<std::filesystem::path>* written) {
    AnalysisResults results;
    ComputeStatistics(request.samples, request.thresholds, results);
    return WriteEdf(path, request.samples, request.patient, request.currentId, results,
                    ClinicalEdfAnnotations(request.samples, request.clinical), written);
}

}  // namespace

std::vector<EdfAnnotation> ClinicalEdfAnnotations(std::span<const SampleRecord> samples,
                                                  const ClinicalOptions& options) {
    SampleMarks marks;
    const ClinicalSummary summary = ComputeClinicalSummary(samples, options, &marks);
    std::vector<EdfAnnotation> annotations;
    for (const ClinicalEvent& e : summary.events3) {
        annotations.push_back({e.start, e.length, edf::kClinicalDesaturation});
    }
    // A margin run and the artefacts next to it are one stretch the rules set aside.
    for (SampleMark& m : marks.marks) {
        if (m == SampleMark::Margin) m = SampleMark::Artefact;
    }
    for (const SampleSpan& s : MarkedSpans(marks.marks, SampleMark::Artefact))
        annotations.push_back({s.first, s.Length(), kArtefactAnnotation});
    for (const SampleSpan& s : summary.excluded) annotations.push_back({s.first, s.Length(), kExcludedAnnotation});
    return annotations;
}

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
