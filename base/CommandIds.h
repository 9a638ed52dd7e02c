#pragma once

// The numbers the menu, toolbar, keyboard table and string table share. They
// keep the values the resource library is built against, so a library made
// for this program replaces exactly these entries.
namespace quenda {

namespace cmd {
// The framework's standard command ids.
inline constexpr int kNewDataCapture = 57600;  // the framework's "new document" id
inline constexpr int kGenericOpen = 57601;
inline constexpr int kGenericSave = 57603;
inline constexpr int kPrint = 57607;
inline constexpr int kPrintPreview = 57609;
inline constexpr int kCopy = 57634;
inline constexpr int kCut = 57635;
inline constexpr int kPaste = 57637;
inline constexpr int kUndo = 57643;
inline constexpr int kAbout = 57664;
inline constexpr int kExit = 57665;
inline constexpr int kNextPane = 57680;
inline constexpr int kPrevPane = 57681;

// The program's own.
inline constexpr int kPageUp = 32773;
inline constexpr int kPageDown = 32774;
inline constexpr int kOpenOtherIdData = 32775;
inline constexpr int kModeTrend = 32776;
inline constexpr int kModeTable = 32777;
inline constexpr int kClose = 32779;
inline constexpr int kUserInfo = 32784;
inline constexpr int kReportTitle = 32785;
inline constexpr int kOpenSavedData = 32786;
inline constexpr int kRollStep = 32801;
inline constexpr int kSaveData = 32803;
inline constexpr int kModeAnalysis = 32810;
inline constexpr int kAnalysisSetup = 32811;
inline constexpr int kFindBluetoothRadio = 32813;
inline constexpr int kUnitSetup = 32817;
inline constexpr int kEventListing = 32818;
inline constexpr int kModeClinical = 32819;  // the clinical summary, after Analysis
inline constexpr int kNights = 32820;        // the Nights window
inline constexpr int kClinicalSetup = 32825;
// The trend view's exclusions of spans from the clinical figures.
inline constexpr int kExcludeSpan = 32826;
inline constexpr int kIncludeSpan = 32827;
inline constexpr int kExcludeBeforeCursor = 32828;
inline constexpr int kExcludeAfterCursor = 32829;
inline constexpr int kImport = 32830;        // another oximeter's CSV or EDF file
inline constexpr int kLibrarySetup = 32831;  // Options > Library...: where the library of nights is
}  // namespace cmd

// String ids that are not command prompts.
namespace str {
inline constexpr int kAppTitle = 128;
inline constexpr int kCreateExcelFailed = 154;
inline constexpr int kCantOpenFile = 156;
inline constexpr int kSelectPatientId = 164;
inline constexpr int kCantOpenPatientFile = 166;
inline constexpr int kRunOne = 167;
inline constexpr int kPatientIdInvalid = 169;
inline constexpr int kCantCreateFile = 170;
inline constexpr int kFemale = 185;
inline constexpr int kMale = 186;
inline constexpr int kIdleMessage = 57345;
inline constexpr int kIndicatorCaps = 59137;
inline constexpr int kIndicatorNum = 59138;
inline constexpr int kIndicatorScroll = 59139;
inline constexpr int kPagePane = 59140;
inline constexpr int kRollStepRange = 59144;
inline constexpr int kReadPastEnd = 61875;
}  // namespace str

// Resource numbers of the menu, toolbar, keyboard table, icon and bitmaps.
namespace res {
inline constexpr int kMainWindow = 128;  // menu, toolbar, keyboard table, icon and title string
inline constexpr int kBackgroundBitmap = 131;
inline constexpr int kSplashBitmap = 142;
inline constexpr int kAboutBitmap = 215;
inline constexpr int kAboutDialog = 100;
inline constexpr int kSplashDialog = 141;
}  // namespace res

}  // namespace quenda
