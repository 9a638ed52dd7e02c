#pragma once

#include "base/DisplayState.h"

#include <functional>
#include <optional>

namespace quenda {

class RecordingStore;
class Settings;
struct ViewState;

// The document templates, in the order they are registered.
enum class DocKind { Trend, Table, Clinical };

// What the commands ask of the main window. MainWindow implements it; tests
// record the calls.
class FrameOps {
public:
    virtual ~FrameOps() = default;
    // Closes every document without asking to save (documents hold no data).
    virtual void CloseAllDocuments() = 0;
    // Opens a new untitled document with the template's view, maximised.
    virtual void OpenDocument(DocKind kind) = 0;
    virtual void ShowMaximized() = 0;
    virtual void PostPageUpdate(int pageIndex, int pageCount) = 0;
    // Invalidates and erases the current view window, if there is one.
    virtual void RepaintCurrentView() = 0;
    // Whether the active view handles a view command, and running it there.
    virtual bool ViewHandles(int commandId) const = 0;
    virtual void RunViewCommand(int commandId) = 0;
    virtual void ShowAbout() = 0;
    virtual void CloseMainWindow() = 0;
    // A command whose dialog is not part of the program yet.
    virtual void ReportNotAvailable(int commandId) = 0;
};

// The work other subsystems supply for the commands. An empty hook makes its
// command report that it is not available. The glue around each hook (flags,
// greying, repainting, the capture guard) is the router's.
struct RouterHooks {
    std::function<void()> runCaptureDialog;    // CaptureDialog, modal
    std::function<void()> findBluetoothRadio;  // radio chooser, then the capture dialog
    std::function<void()> openOtherIdData;     // OtherIdDialog
    std::function<void()> saveData;
    std::function<void()> openSavedData;
    std::function<void()> importFile;  // File > Import...
    std::function<void()> listEvents;         // event listing to a text file
    std::function<void()> nights;             // the Nights window
    std::function<void()> userInfo;           // PatientInfoDialog
    std::function<void()> librarySetup;       // LibraryDialog: where the library of nights is
    std::function<void()> reportTitle;        // ReportTitleDialog: copies the title in, and back on OK
    std::function<int()> unitSetupDialog;     // UnitSetupDialog; its dialog result
    std::function<bool()> analysisSetup;      // AnalysisSetupDialog; true when it ended with OK
    std::function<bool()> clinicalSetup;      // ClinicalSetupDialog; true when it ended with OK
    std::function<void()> computeStatistics;  // before the analysis page opens
};

// The main window's command table and display state, without widgets.
//
// Run() executes a command the way a menu, toolbar or keyboard choice does:
// a greyed command is ignored, so no road reaches a command the menu greys.
class CommandRouter {
public:
    CommandRouter(RecordingStore& store, Settings& settings, ViewState& views, FrameOps& frame);

    RouterHooks& Hooks() { return hooks_; }

    const DisplayState& State() const { return state_; }
    // The capture dialog sets the flags directly, as it always has.
    void SetState(const DisplayState& state) { state_ = state; }

    bool IsEnabled(int commandId) const;
    // False when the command is greyed or nobody handles it.
    bool Run(int commandId);

    // Close: close all documents, grey the data commands, mode none, reset
    // the page pane. The store keeps its samples. Also what the capture
    // dialog does before it connects.
    void CloseDocuments();
    // The capture dialog listed an ID that holds samples.
    void OnCaptureListedData();
    // The capture dialog was cancelled: with no data shown, back to the
    // starting state of the flags.
    void OnCaptureCancelled();
    // Capture OK: a new Trend document on the chosen ID's samples.
    void ShowCapturedData();
    // After a saved file or another ID became current: a new document, Table
    // when the table was showing, else Trend.
    void ShowNewData();
    // A saved data file was read.
    void OnDataFileOpened();
    // A night of the library became the current data set: page 0 in Trend.
    void ShowNight();
    // An import became the current data set: shown in Trend mode, whatever the mode was.
    void OnDataImported();

    // The system reported a new device: with the serial link selected, the
    // same as New Data Capture (which ignores a second request).
    void DeviceArrived();

    bool CaptureOpen() const { return captureOpen_; }

private:
    void SwitchMode(DocKind kind, std::int32_t mode);
    void SwitchToAnalysis();
    void NewDataCapture();
    void UnitSetup();
    void AnalysisSetup();
    void ClinicalSetup();
    void RunHook(const std::function<void()>& hook, int commandId);

    RecordingStore& store_;
    Settings& settings_;
    ViewState& views_;
    FrameOps& frame_;
    RouterHooks hooks_;
    DisplayState state_;
    bool captureOpen_ = false;
    // UnitSetup as it was when the Unit Setup command last looked.
    std::optional<int> rememberedUnit_;
};

}  // namespace quenda
