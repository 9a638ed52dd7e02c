#include "app/CommandRouter.h"

#include "base/CommandIds.h"
#include "base/Settings.h"
#include "document/ViewState.h"
#include "store/RecordingStore.h"

namespace quenda {

CommandRouter::CommandRouter(RecordingStore& store, Settings& settings, ViewState& views, FrameOps& frame)
    : store_(store), settings_(settings), views_(views), frame_(frame) {}

bool CommandRouter::IsEnabled(int commandId) const {
    const int routed = CommandAlias(commandId) ? CommandAlias(commandId) : commandId;
    return CommandEnabled(state_, routed, frame_.ViewHandles(routed));
}

bool CommandRouter::Run(int commandId) {
    if (!IsEnabled(commandId)) return false;
    if (const int alias = CommandAlias(commandId)) commandId = alias;
    if (IsViewCommand(commandId)) {
        frame_.RunViewCommand(commandId);
        return true;
    }
    switch (commandId) {
        case cmd::kNewDataCapture: NewDataCapture(); break;
        case cmd::kFindBluetoothRadio:
            // Stays false even when the search finds nothing.
            store_.UseSerialLink = false;
            RunHook(hooks_.findBluetoothRadio, commandId);
            break;
        case cmd::kOpenOtherIdData: RunHook(hooks_.openOtherIdData, commandId); break;
        case cmd::kSaveData: RunHook(hooks_.saveData, commandId); break;
        case cmd::kOpenSavedData: RunHook(hooks_.openSavedData, commandId); break;
        case cmd::kImport: RunHook(hooks_.importFile, commandId); break;
        case cmd::kEventListing: RunHook(hooks_.listEvents, commandId); break;
        case cmd::kNights: RunHook(hooks_.nights, commandId); break;
        case cmd::kClose: CloseDocuments(); break;
        case cmd::kExit: frame_.CloseMainWindow(); break;
        case cmd::kUserInfo: RunHook(hooks_.userInfo, commandId); break;
        case cmd::kLibrarySetup: RunHook(hooks_.librarySetup, commandId); break;
        case cmd::kReportTitle:
            if (!hooks_.reportTitle) {
                frame_.ReportNotAvailable(commandId);
                break;
            }
            hooks_.reportTitle();
            frame_.RepaintCurrentView();
            break;
        case cmd::kModeTrend: SwitchMode(DocKind::Trend, kModeTrend); break;
        case cmd::kModeTable: SwitchMode(DocKind::Table, kModeTable); break;
        case cmd::kModeAnalysis: SwitchToAnalysis(); break;
        case cmd::kModeClinical: SwitchMode(DocKind::Clinical, kModeClinical); break;
        case cmd::kAnalysisSetup: AnalysisSetup(); break;
        case cmd::kClinicalSetup: ClinicalSetup(); break;
        case cmd::kUnitSetup: UnitSetup(); break;
        case cmd::kAbout: frame_.ShowAbout(); break;
        default: return false;
    }
    return true;
}

void CommandRouter::RunHook(const std::function<void()>& hook, int commandId) {
    if (hook) {
        hook();
    } else {
        frame_.ReportNotAvailable(commandId);
    }
}

void CommandRouter::SwitchMode(DocKind kind, std::int32_t mode) {
    frame_.CloseAllDocuments();
    views_.currentPageIndex = 0;
    // The mode is set before the view exists, so a view that looks at it when
    // it is first shown sees the mode it was opened for.
    state_.mode = mode;
    frame_.OpenDocument(kind);
    frame_.ShowMaximized();
    frame_.PostPageUpdate(0, 0);
}

void CommandRouter::SwitchToAnalysis() {
    if (hooks_.computeStatistics) hooks_.computeStatistics();
    SwitchMode(DocKind::Table, kModeAnalysis);
}

void CommandRouter::CloseDocuments() {
    frame_.CloseAllDocuments();
    state_ = DisplayState{};
    frame_.PostPageUpdate(0, 0);
}

void CommandRouter::OnCaptureListedData() {
    state_.otherIdUnavailable = 0;
    state_.noData = 0;
}

void CommandRouter::OnCaptureCancelled() {
    if (state_.mode != kModeNone) return;
    state_.otherIdUnavailable = 1;
    state_.noData = 1;
}

void CommandRouter::ShowCapturedData() {
    frame_.CloseAllDocuments();
    views_.currentPageIndex = 0;
    state_.mode = kModeTrend;
    frame_.OpenDocument(DocKind::Trend);
}

void CommandRouter::ShowNewData() {
    frame_.CloseAllDocuments();
    views_.currentPageIndex = 0;
    if (state_.mode == kModeTable) {
        frame_.OpenDocument(DocKind::Table);
    } else {
        state_.mode = kModeTrend;
        frame_.OpenDocument(DocKind::Trend);
    }
}

void CommandRouter::OnDataFileOpened() {
    state_.noData = 0;
    ShowNewData();
}

void CommandRouter::ShowNight() {
    state_.noData = 0;
    frame_.CloseAllDocuments();
    views_.currentPageIndex = 0;
    state_.mode = kModeTrend;
    frame_.OpenDocument(DocKind::Trend);
    frame_.PostPageUpdate(0, 0);
}

void CommandRouter::OnDataImported() {
    state_.noData = 0;
    SwitchMode(DocKind::Trend, kModeTrend);
}

void CommandRouter::DeviceArrived() {
    if (store_.UseSerialLink) NewDataCapture();
}

void CommandRouter::NewDataCapture() {
    store_.UseSerialLink = true;
    if (captureOpen_) return;
    if (!hooks_.runCaptureDialog) {
        frame_.ReportNotAvailable(cmd::kNewDataCapture);
        return;
    }
    // The dialog is modal: a device arriving while it runs comes back here
    // through the nested event loop and must find it open.
    captureOpen_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{captureOpen_};
    hooks_.runCaptureDialog();
}

void CommandRouter::UnitSetup() {
    if (!hooks_.unitSetupDialog) {
        frame_.ReportNotAvailable(cmd::kUnitSetup);
        return;
    }
    if (!rememberedUnit_) rememberedUnit_ = settings_.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    if (hooks_.unitSetupDialog() == 0) return;
    const int unit = settings_.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup);
    if (unit != *rememberedUnit_) {
        frame_.RepaintCurrentView();
        rememberedUnit_ = unit;
    }
}

void CommandRouter::AnalysisSetup() {
    if (!hooks_.analysisSetup) {
        frame_.ReportNotAvailable(cmd::kAnalysisSetup);
        return;
    }
    // Not through Run(): Analysis is greyed while it is showing.
    if (hooks_.analysisSetup() && state_.mode == kModeAnalysis) SwitchToAnalysis();
}

void CommandRouter::ClinicalSetup() {
    if (!hooks_.clinicalSetup) {
        frame_.ReportNotAvailable(cmd::kClinicalSetup);
        return;
    }
    if (!hooks_.clinicalSetup()) return;
    // The clinical page computes its figures when it opens; the trend view
    // reads the marking at every paint.
    if (state_.mode == kModeClinical) {
        SwitchMode(DocKind::Clinical, kModeClinical);
    } else {
        frame_.RepaintCurrentView();
    }
}

}  // namespace quenda
