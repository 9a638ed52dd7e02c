#pragma once

#include "analysis/AnalysisResults.h"
#include "base/Settings.h"
#include "app/ViewState.h"
#include "patient/PatientContext.h"
#include "patient/ReportTitle.h"
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
    // The current patient; it clears itself with the store. Start-up sets
    // where the patient file is (PatientFolder.h).
    PatientContext patient{store, {}};
    ReportTitle reportTitle;
    // The last ComputeStatistics, for the analysis page and the event listing.
    AnalysisResults analysis;
    // The library of nights (nights/Library.h); start-up may point it
    // elsewhere. DefaultLibraryFile() unless set.
    std::filesystem::path nightsLibrary;

    // Invalidates and erases the current view window, if one is open.
    void RepaintCurrentView();
};

}  // namespace quenda
