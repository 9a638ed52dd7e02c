#pragma once

#include "app/CMainFrame.h"
#include "app/CommandRouter.h"
#include "device/CaptureHost.h"
#include "patient/ReportTitle.h"

namespace quenda {

// The main window as the capture dialog sees it: its documents, the greying
// of the data commands and the display mode, all kept by the command router.
class FrameCaptureHost final : public CaptureHost {
public:
    FrameCaptureHost(CMainFrame& frame, const ReportTitle& title) : frame_(frame), title_(title) {}

    void CloseDocumentsAndResetMenus() override { frame_.Router().CloseDocuments(); }
    void EnableDataCommands() override { frame_.Router().OnCaptureListedData(); }
    void DisableDataCommands() override { frame_.Router().OnCaptureCancelled(); }
    bool ViewShown() const override { return frame_.Router().State().mode != 0; }
    void OpenTrendDocument() override { frame_.Router().ShowCapturedData(); }
    std::string ReportTitleText() const override { return title_.Text(); }

private:
    CMainFrame& frame_;
    const ReportTitle& title_;
};

}  // namespace quenda
