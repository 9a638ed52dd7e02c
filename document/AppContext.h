#pragma once

#include "analysis/AnalysisResults.h"
#include "analysis/ClinicalState.h"
#include "base/Settings.h"
#include "document/ViewState.h"
#include "patient/PatientContext.h"
#include "patient/ReportTitle.h"
#include "store/RecordingStore.h"

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <span>

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
    // where the patient file is (patient/PatientFolder.h).
    PatientContext patient{store, {}};
    ReportTitle reportTitle;
    // The current data set is one night of the library, opened from the
    // Nights window: a night the user merged across a long gap is saved as
    // the one night `nights export` writes. Every other data set becoming
    // current clears it.
    bool oneLibraryNight = false;
    // The last ComputeStatistics, for the analysis page and the event listing.
    AnalysisResults analysis;
    // The current data set's exclusions and the marking of its samples under
    // Options > Clinical Setup; start-up connects it to where exclusions are kept.
    ClinicalState clinical{store, settings};
    // Where the library of nights is (nights/LibraryLocation.h): a file, or
    // a clinic server's postgresql:// URI. Start-up and Options > Library...
    // set it; empty: the one Options > Library... chose, else the default.
    std::string nightsLibrary;

    // Invalidates and erases the current view window, if one is open.
    void RepaintCurrentView();
};

// Where the current patient's details come from when a data set becomes current.
enum class PatientSource {
    // The record the patient file keeps for the ID: a data file, an import, a
    // night of the library.
    PatientFile,
    // Only a record saved for the ID during this run: the IDs of a download
    // (the capture dialog's choice, Open Other ID Data). A recorder's IDs are
    // reused, so an old slot may well hold someone else.
    SavedThisRun,
};

// The one way a data set becomes current, whatever brought it (a night of the
// library, Open Saved Data, File > Import, Open Other ID Data, a download):
// its samples (at most kMaxSamples, turned oldest first), its ID, a new data
// set generation, so what was kept about the data set before (its exclusions,
// its marking) is let go and this one's are loaded, and the patient reset to
// this ID's record, so the details shown before never pass to this ID. What
// could not be read of the patient comes back as the result; the samples are
// in place whatever it says.
FileResult UseAsCurrentData(AppContext& context, int id, std::span<const SampleRecord> samples, PatientSource patient,
                            RecordOrder order = RecordOrder::OldestFirst);

}  // namespace quenda
