#include "formats/Export.h"

#include "base/Settings.h"
#include "base/UiText.h"
#include "formats/Edf.h"
#include "formats/ExportText.h"
#include "formats/Workbook.h"

namespace quenda {

namespace {

using edf::kArtefactAnnotation;
using edf::kExcludedAnnotation;
using edf::kPulseRiseAnnotation;

// Each night's file carries the events of that night's own analysis.
FileResult ExportEdf(const std::filesystem::path& path, const ExportRequest& request,
                     std::vector<std::filesystem::path>* written) {
    const auto annotationsOf = [&request](std::span<const SampleRecord> night, std::int32_t first) {
        const auto last = first + static_cast<std::int32_t>(night.size()) - 1;
        return EdfAnnotationsOf(
            AnalyzeNight(night, ExclusionsWithin(request.exclusions, first, last), request.figures));
    };
    return WriteEdf(path, request.samples, request.patient, request.currentId, annotationsOf, written,
                    request.oneNight, request.scoring.annotations);
}

}  // namespace

ExportRequest MakeExportRequest(std::span<const SampleRecord> samples, const PatientRecord& patient, int id,
                                const Settings& settings, Exclusions exclusions) {
    ExportRequest request;
    request.samples = samples;
    request.patient = patient;
    request.currentId = id;
    request.unitSetup = settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    request.figures = ReadFigureSettings(settings);
    request.exclusions = std::move(exclusions);
    return request;
}

std::vector<EdfAnnotation> EdfAnnotationsOf(const NightAnalysis& night) {
    std::vector<EdfAnnotation> annotations;
    for (const EventRecord& e : night.report.desaturation.events)
        annotations.push_back({e.start, e.length, edf::kDesaturation});
    for (const EventRecord& e : night.report.pulse.events) annotations.push_back({e.start, e.length, edf::kPulseEvent});
    for (const ClinicalEvent& e : night.clinical.events3)
        annotations.push_back({e.start, e.length, edf::kClinicalDesaturation});
    for (const PulseRise& r : night.pulseRises.rises) annotations.push_back({r.start, r.length, kPulseRiseAnnotation});
    // A margin run and the artefacts next to it are one stretch the rules set aside.
    std::vector<SampleMark> marks = night.marks.marks;
    for (SampleMark& m : marks) {
        if (m == SampleMark::Margin) m = SampleMark::Artefact;
    }
    for (const SampleSpan& s : MarkedSpans(marks, SampleMark::Artefact))
        annotations.push_back({s.first, s.Length(), kArtefactAnnotation, true});
    for (const SampleSpan& s : night.clinical.excluded)
        annotations.push_back({s.first, s.Length(), kExcludedAnnotation, true});
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
