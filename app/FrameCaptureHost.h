#pragma once

#include "app/CommandRouter.h"
#include "app/MainWindow.h"
#include "device/CaptureHost.h"
#include "document/AppContext.h"
#include "patient/ReportTitle.h"
#include "widgets/MessageBox.h"

#include <functional>
#include <utility>

namespace quenda {

// The main window as the capture dialog sees it: its documents, the greying
// of the data commands and the display mode, all kept by the command router.
class FrameCaptureHost final : public CaptureHost {
public:
    // `downloadKept` hears every download kept on disk (the nights library).
    FrameCaptureHost(MainWindow& frame, const ReportTitle& title,
                     std::function<void(const std::filesystem::path&)> downloadKept = {})
        : frame_(frame), title_(title), downloadKept_(std::move(downloadKept)) {}

    void CloseDocumentsAndResetMenus() override { frame_.Router().CloseDocuments(); }
    void EnableDataCommands() override { frame_.Router().OnCaptureListedData(); }
    void DisableDataCommands() override { frame_.Router().OnCaptureCancelled(); }
    bool ViewShown() const override { return frame_.Router().State().mode != 0; }
    void SelectId(RecordingStore&, int id, RecordOrder order) override {
        AppContext& context = frame_.Context();
        if (const FileResult loaded =
                UseAsCurrentData(context, id, context.store.IdRecords(id), PatientSource::SavedThisRun, order);
            !loaded) {
            const std::string detail = loaded.detail.empty() ? "" : "\n" + loaded.detail;
            ShowMessageBox(&frame_, QString::fromStdString(loaded.message + detail), QMessageBox::Warning);
        }
    }
    void OpenTrendDocument() override { frame_.Router().ShowCapturedData(); }
    std::string ReportTitleText() const override { return title_.Text(); }
    void DownloadKept(const std::filesystem::path& folder) override {
        if (downloadKept_) downloadKept_(folder);
    }

private:
    MainWindow& frame_;
    const ReportTitle& title_;
    std::function<void(const std::filesystem::path&)> downloadKept_;
};

}  // namespace quenda
