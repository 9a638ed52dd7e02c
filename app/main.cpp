// quenda: the desktop program.

#include "app/AppContext.h"
#include "app/CTalloApp.h"
#include "app/CMainFrame.h"
#include "app/FrameCaptureHost.h"
#include "device/BluetoothRadioDialog.h"
#include "device/CDlgChooseType.h"
#include "link/BluetoothLink.h"
#include "analysis/Analysis.h"
#include "analysis/CAnalysisSetup.h"
#include "analysis/Thresholds.h"
#include "patient/PatientCommands.h"
#include "views/PlaceholderView.h"
#include "views/TrendViewWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quenda");

    quenda::AppContext context;
    // One Bluetooth link for the whole run: a radio found once stays connected
    // across capture dialogs.
    quenda::BluetoothLink bluetooth;

    quenda::ViewFactories views;
    views.trend = [&context](quenda::CMainFrame&) { return new quenda::TrendViewWindow(context); };
    // Until the table view exists, the table template opens a placeholder.
    views.table = [&context](quenda::CMainFrame&) { return new quenda::PlaceholderView(context); };

    // The dialogs of the other subsystems plug in here.
    quenda::CommandHandlers handlers;
    handlers.runCaptureDialog = [&context, &bluetooth](quenda::CMainFrame& frame) {
        quenda::FrameCaptureHost host(frame);
        quenda::RunCaptureDialog(&frame, host, context.store, context.settings, &bluetooth);
    };
    handlers.findBluetoothRadio = [&context, &bluetooth](quenda::CMainFrame& frame) {
        quenda::FrameCaptureHost host(frame);
        quenda::RunFindBluetoothRadio(&frame, host, context.store, context.settings, bluetooth);
    };
    handlers.userInfo = [&context](quenda::CMainFrame& frame) {
        quenda::RunPatientInfo(&frame, context.patient, context.settings, [&context] { context.RepaintCurrentView(); });
    };
    handlers.reportTitle = [&context](quenda::CMainFrame& frame) {
        quenda::RunModifyTitle(&frame, context.reportTitle);
    };
    handlers.unitSetupDialog = [&context](quenda::CMainFrame& frame) {
        return quenda::RunUnitSetupDialog(&frame, context.settings);
    };
    handlers.analysisSetup = [&context](quenda::CMainFrame& frame) {
        return quenda::RunAnalysisSetup(&frame, context.settings);
    };
    handlers.computeStatistics = [&context](quenda::CMainFrame&) {
        quenda::ComputeStatistics(context.store.CurrentSamples(), quenda::ReadThresholds(context.settings),
                                  context.analysis);
    };

    quenda::CTalloApp app(context, quenda::StartupOptions{}, std::move(views), std::move(handlers));
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(arg.toStdString());
    if (!app.InitInstance(args)) {
        app.ExitInstance();
        return 1;
    }
    const int result = QApplication::exec();
    app.ExitInstance();
    return result;
}
