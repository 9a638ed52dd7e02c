#include "store/Export.h"

#include "app/UiText.h"
#include "store/ExportText.h"
#include "store/Workbook.h"

namespace quenda {

FileResult ExportDataSet(ExportKind kind, const std::filesystem::path& path, const ExportRequest& request,
                         const std::function<void(int)>& progress) {
    const PatientBlock block = MakePatientBlock(request.patient, request.currentId, request.unitSetup);
    switch (kind) {
        case ExportKind::Text: return WriteTextExport(path, block, request.samples);
        case ExportKind::Workbook: return WriteWorkbook(path, block, request.samples, progress);
        case ExportKind::DataFile:
        case ExportKind::Unknown: break;
    }
    return FileResult{false, UiText(export_message::kUnknownType), {}};
}

}  // namespace quenda
