#include "base/DisplayState.h"

#include "base/CommandIds.h"

namespace quenda {

bool IsViewCommand(int commandId) {
    switch (commandId) {
        case cmd::kPrint:
        case cmd::kPrintPreview:
        case cmd::kRollStep:
        case cmd::kPageUp:
        case cmd::kPageDown:
        case cmd::kExcludeSpan:
        case cmd::kIncludeSpan:
        case cmd::kExcludeBeforeCursor:
        case cmd::kExcludeAfterCursor: return true;
        default: return false;
    }
}

int CommandAlias(int commandId) {
    // The menu shows Ctrl+O beside Open Saved Data; the document the generic
    // open would make holds nothing, and the generic save would write an empty
    // file over the chosen one. Both keys therefore do what the menu says.
    switch (commandId) {
        case cmd::kGenericOpen: return cmd::kOpenSavedData;
        case cmd::kGenericSave: return cmd::kSaveData;
        default: return 0;
    }
}

bool CommandEnabled(const DisplayState& state, int commandId, bool viewHandles) {
    if (const int alias = CommandAlias(commandId)) commandId = alias;
    if (IsViewCommand(commandId)) return viewHandles;
    switch (commandId) {
        case cmd::kNewDataCapture:
        case cmd::kFindBluetoothRadio:
        case cmd::kOpenSavedData:
        case cmd::kNights:
        case cmd::kImport:
        case cmd::kExit:
        case cmd::kAnalysisSetup:
        case cmd::kClinicalSetup:
        case cmd::kLibrarySetup:
        case cmd::kUnitSetup:
        case cmd::kAbout: return true;
        case cmd::kOpenOtherIdData: return state.otherIdUnavailable != 1;
        case cmd::kSaveData:
        case cmd::kEventListing:
        case cmd::kClose:
        case cmd::kUserInfo:
        case cmd::kReportTitle: return state.noData != 1;
        case cmd::kModeTrend: return state.mode != kModeNone && state.mode != kModeTrend;
        case cmd::kModeTable: return state.mode != kModeNone && state.mode != kModeTable;
        case cmd::kModeAnalysis: return state.mode != kModeNone && state.mode != kModeAnalysis;
        case cmd::kModeClinical: return state.mode != kModeNone && state.mode != kModeClinical;
        default: return false;
    }
}

}  // namespace quenda
