#pragma once

#include "store/RecordingStore.h"

#include <filesystem>
#include <string>

namespace quenda {

// What the capture dialog asks of the main window: its documents, the greying
// of the data commands and the display mode. The main window implements it;
// the dialog's tests use a fake.
class CaptureHost {
public:
    virtual ~CaptureHost() = default;

    // Before a connect: closes every document without asking to save, greys
    // the data commands and "Open Other ID Data", sets the display mode to none
    // and resets the page indicator. The recording store is not touched.
    virtual void CloseDocumentsAndResetMenus() = 0;

    // The capture listed an ID that holds samples: un-greys the data commands
    // and "Open Other ID Data".
    virtual void EnableDataCommands() = 0;

    // The capture was cancelled while no view is shown: greys them again.
    virtual void DisableDataCommands() = 0;

    // Whether a view is shown, i.e. the display mode is not none.
    virtual bool ViewShown() const = 0;

    // Makes the chosen ID's samples the current data set. The main window
    // does it the one way every data set becomes current (its patient too).
    virtual void SelectId(RecordingStore& store, int id, RecordOrder order) { store.SelectId(id, order); }

    // The chosen ID is current: closes every document, opens a new one from
    // the Trend template and sets the display mode to Trend (1).
    virtual void OpenTrendDocument() = 0;

    // The report title of the moment (UTF-8), for the copies of a download
    // kept on disk.
    virtual std::string ReportTitleText() const = 0;

    // The download was kept on disk in `folder` (one ID<n>.dat per ID). The
    // program adds its nights to the library of nights here; whatever fails
    // there is said and leaves the download as it is.
    virtual void DownloadKept(const std::filesystem::path& folder) { (void)folder; }
};

}  // namespace quenda
