#pragma once

#include <functional>
#include <string>

namespace quenda {

class CMainFrame;

// Where the dialogs of the other subsystems plug into the main window's
// commands. Each hook gets the main window (the dialogs' parent, its Router()
// for the display state, its Context() for the shared objects). A hook left
// empty makes its command say that it is not available yet.
//
// The main window does the glue around each hook itself: the serial/Bluetooth
// flag and the guard against a second capture dialog, the repaint after
// Report Title and Unit Setup, and the re-run of Analysis after Analysis Setup.
struct CommandHandlers {
    // New Data Capture and device arrival: run CaptureDialog modally.
    std::function<void(CMainFrame&)> runCaptureDialog;
    // Find bluetooth radio: the radio chooser; on success "CONNECT SUCCEED"
    // and the capture dialog.
    std::function<void(CMainFrame&)> findBluetoothRadio;
    std::function<void(CMainFrame&)> openOtherIdData;  // OtherIdDialog
    std::function<void(CMainFrame&)> saveData;         // data file, text or workbook
    std::function<void(CMainFrame&)> openSavedData;    // choose and read a data file
    std::function<void(CMainFrame&)> importFile;       // File > Import...: a CSV or EDF file
    // Reads the named data file as Open Saved Data does; true when it did.
    // Used for a file printed from the command line.
    std::function<bool(CMainFrame&, const std::string& path)> openSavedDataFile;
    std::function<void(CMainFrame&)> listEvents;  // "Check out the SpO2 event time..."
    std::function<void(CMainFrame&)> nights;      // File > Nights...: the Nights window
    std::function<void(CMainFrame&)> userInfo;    // PatientInfoDialog
    // ReportTitleDialog: copy the title in, run it, copy it back on OK.
    std::function<void(CMainFrame&)> reportTitle;
    // UnitSetupDialog; returns the dialog's result (0 only when it failed to run).
    std::function<int(CMainFrame&)> unitSetupDialog;
    // AnalysisSetupDialog; true when it ended with OK.
    std::function<bool(CMainFrame&)> analysisSetup;
    // ClinicalSetupDialog; true when it ended with OK.
    std::function<bool(CMainFrame&)> clinicalSetup;
    // ComputeStatistics, run before the analysis page opens; the results
    // belong to the main window.
    std::function<void(CMainFrame&)> computeStatistics;
};

}  // namespace quenda
