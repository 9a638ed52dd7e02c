#pragma once

#include "app/Settings.h"
#include "app/ViewState.h"
#include "store/RecordingStore.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>

namespace quenda {

// The process-wide objects, made once in main() and handed to whoever needs
// them. Tests make their own.
struct AppContext {
    AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    RecordingStore store;
    // The settings file in the working directory (".//Quenda.ini").
    Settings settings;
    ViewState views;
    // The view the report-title, unit and patient commands repaint; each view
    // puts itself here when it is first shown.
    QPointer<QWidget> currentViewWindow;
    // Where the patient file is; start-up fills it in (PatientFolder.h).
    std::filesystem::path patientFile;

    // The owners of the current patient record and of the report title live
    // here too, as members beside the store, each registering with
    // store.AddClearListener what ClearStore must reset:
    //     CurrentPatient patient;   (patient/)
    //     ReportTitle reportTitle;  (patient/)

    // Invalidates and erases the current view window, if one is open.
    void RepaintCurrentView();
};

}  // namespace quenda
