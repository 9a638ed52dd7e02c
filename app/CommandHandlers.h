#pragma once

#include <functional>
#include <string>

namespace quenda {

class MainWindow;

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
    std::function<void(MainWindow&)> runCaptureDialog;
    // Find bluetooth radio: the radio chooser; on success "CONNECT SUCCEED"
    // and the capture dialog.
    std::function<void(MainWindow&)> findBluetoothRadio;
    std::function<void(MainWindow&)> openOtherIdData;  // OtherIdDialog
    std::function<void(MainWindow&)> saveData;         // data file, text or workbook
    std::function<void(MainWindow&)> openSavedData;    // choose and read a data file
    std::function<void(MainWindow&)> importFile;       // File > Import...: a CSV or EDF file
    // Reads the named data file as Open Saved Data does; true when it did.
    // Used for a file printed from the command line.
    std::function<bool(MainWindow&, const std::string& path)> openSavedDataFile;
    std::function<void(MainWindow&)> listEvents;  // "Check out the SpO2 event time..."
    std::function<void(MainWindow&)> nights;      // File > Nights...: the Nights window
    std::function<void(MainWindow&)> userInfo;    // PatientInfoDialog
    // ReportTitleDialog: copy the title in, run it, copy it back on OK.
    std::function<void(MainWindow&)> reportTitle;
    // UnitSetupDialog; returns the dialog's result (0 only when it failed to run).
    std::function<int(MainWindow&)> unitSetupDialog;
    // AnalysisSetupDialog; true when it ended with OK.
    std::function<bool(MainWindow&)> analysisSetup;
    // ClinicalSetupDialog; true when it ended with OK.
    std::function<bool(MainWindow&)> clinicalSetup;
    // Options > Library...: LibraryDialog, then the chosen library in use.
    std::function<void(MainWindow&)> librarySetup;
    // ComputeStatistics, run before the analysis page opens; the results
    // belong to the main window.
    std::function<void(MainWindow&)> computeStatistics;
};

}  // namespace quenda
