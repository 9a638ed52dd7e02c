#include "app/Program.h"

#include "analysis/Analysis.h"
#include "analysis/CAnalysisSetup.h"
#include "analysis/Thresholds.h"
#include "app/AppContext.h"
#include "app/CMainFrame.h"
#include "app/FrameCaptureHost.h"
#include "device/BluetoothRadioDialog.h"
#include "device/CDlgChooseType.h"
#include "link/BluetoothLink.h"
#include "patient/PatientCommands.h"
#include "formats/FileCommands.h"
#include "formats/ImportCommand.h"
#include "views/ClinicalViewWindow.h"
#include "views/TableViewWindow.h"
#include "views/TrendViewWindow.h"

namespace quenda {

ViewFactories ProgramViews(AppContext& context) {
    ViewFactories views;
    views.trend = [&context](CMainFrame&) { return new TrendViewWindow(context); };
    // The Table template serves both the Table and the Analysis mode.
    views.table = [&context](CMainFrame& frame) {
        return new TableViewWindow(context, [&frame] { return frame.Router().State().mode; });
    };
    views.clinical = [&context](CMainFrame&) { return new ClinicalViewWindow(context); };
    return views;
}

CommandHandlers ProgramHandlers(AppContext& context, BluetoothLink& bluetooth) {
    CommandHandlers handlers;
    handlers.runCaptureDialog = [&context, &bluetooth](CMainFrame& frame) {
        FrameCaptureHost host(frame, context.reportTitle);
        RunCaptureDialog(&frame, host, context.store, context.settings, &bluetooth);
    };
    handlers.findBluetoothRadio = [&context, &bluetooth](CMainFrame& frame) {
        FrameCaptureHost host(frame, context.reportTitle);
        RunFindBluetoothRadio(&frame, host, context.store, context.settings, bluetooth);
    };
    handlers.saveData = [&context](CMainFrame& frame) { RunSaveData(&frame, context); };
    handlers.openSavedData = [&context](CMainFrame& frame) {
        if (RunOpenSavedData(&frame, context)) frame.Router().OnDataFileOpened();
    };
    handlers.importFile = [&context](CMainFrame& frame) {
        if (RunImport(&frame, context)) frame.Router().OnDataImported();
    };
    handlers.openSavedDataFile = [&context](CMainFrame& frame, const std::string& path) {
        if (!OpenSavedDataFile(&frame, context, path)) return false;
        frame.Router().OnDataFileOpened();
        return true;
    };
    handlers.openOtherIdData = [&context](CMainFrame& frame) {
        if (RunOpenOtherIdData(&frame, context)) frame.Router().ShowNewData();
    };
    handlers.listEvents = [&context](CMainFrame& frame) { RunEventListing(&frame, context); };
    handlers.userInfo = [&context](CMainFrame& frame) {
        RunPatientInfo(&frame, context.patient, context.settings, [&context] { context.RepaintCurrentView(); });
    };
    handlers.reportTitle = [&context](CMainFrame& frame) { RunModifyTitle(&frame, context.reportTitle); };
    handlers.unitSetupDialog = [&context](CMainFrame& frame) { return RunUnitSetupDialog(&frame, context.settings); };
    handlers.analysisSetup = [&context](CMainFrame& frame) { return RunAnalysisSetup(&frame, context.settings); };
    handlers.computeStatistics = [&context](CMainFrame&) {
        ComputeStatistics(context.store.CurrentSamples(), ReadThresholds(context.settings), context.analysis);
    };
    return handlers;
}

}  // namespace quenda
