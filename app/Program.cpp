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
#include "views/PlaceholderView.h"
#include "views/TrendViewWindow.h"

namespace quenda {

ViewFactories ProgramViews(AppContext& context) {
    ViewFactories views;
    views.trend = [&context](CMainFrame&) { return new TrendViewWindow(context); };
    // Until the table view exists, the table template opens a placeholder.
    views.table = [&context](CMainFrame&) { return new PlaceholderView(context); };
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
