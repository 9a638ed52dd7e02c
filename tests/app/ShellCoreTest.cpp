// The shell's logic without widgets: the command glue and display-state
// transitions, the command line, the single-instance lock, the patient folder,
// port arrival and the lock keys.

#include "app/CommandLine.h"
#include "app/CommandRouter.h"
#include "app/InstanceLock.h"
#include "app/LockKeys.h"
#include "app/PageText.h"
#include "app/PortArrival.h"
#include "app/ResourceTextSource.h"
#include "base/CommandIds.h"
#include "base/Settings.h"
#include "document/ViewState.h"
#include "link/PortDiscovery.h"
#include "patient/PatientFile.h"
#include "patient/PatientFolder.h"
#include "store/RecordingStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace quenda {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quenda-shell-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// Records what the router asks of the main window, in order.
class FakeFrame : public FrameOps {
public:
    std::vector<std::string> calls;
    std::set<int> viewCommands;  // what the open view handles
    bool viewOpen = false;

    void CloseAllDocuments() override {
        calls.push_back("close");
        viewOpen = false;
    }
    void OpenDocument(DocKind kind) override {
        calls.push_back(kind == DocKind::Trend   ? "open trend"
                        : kind == DocKind::Table ? "open table"
                                                 : "open clinical");
        viewOpen = true;
    }
    void ShowMaximized() override { calls.push_back("maximise"); }
    void PostPageUpdate(int index, int count) override {
        calls.push_back("page " + std::to_string(index) + "/" + std::to_string(count));
    }
    void RepaintCurrentView() override { calls.push_back("repaint"); }
    bool ViewHandles(int id) const override { return viewOpen && viewCommands.contains(id); }
    void RunViewCommand(int id) override { calls.push_back("view " + std::to_string(id)); }
    void ShowAbout() override { calls.push_back("about"); }
    void CloseMainWindow() override { calls.push_back("exit"); }
    void ReportNotAvailable(int id) override { calls.push_back("not available " + std::to_string(id)); }
};

class RouterTest : public ::testing::Test {
protected:
    RouterTest() : settings(dir.Path() / "Quenda.ini"), router(store, settings, views, frame) {}

    // A state with data showing in `mode`, as after a capture.
    void ShowData(std::int32_t mode) {
        router.SetState({0, 0, mode});
        frame.viewOpen = true;
        frame.calls.clear();
    }

    TempDir dir;
    RecordingStore store;
    Settings settings;
    ViewState views;
    FakeFrame frame;
    CommandRouter router;
};

using Calls = std::vector<std::string>;

TEST_F(RouterTest, ModeSwitchesReopenTheDocumentFromPageZero) {
    ShowData(kModeTrend);
    views.currentPageIndex = 7;
    EXPECT_TRUE(router.Run(cmd::kModeTable));
    EXPECT_EQ(frame.calls, (Calls{"close", "open table", "maximise", "page 0/0"}));
    EXPECT_EQ(router.State(), (DisplayState{0, 0, kModeTable}));
    EXPECT_EQ(views.currentPageIndex, 0);

    int statistics = 0;
    router.Hooks().computeStatistics = [&] { ++statistics; };
    frame.calls.clear();
    EXPECT_TRUE(router.Run(cmd::kModeAnalysis));
    EXPECT_EQ(statistics, 1);
    EXPECT_EQ(frame.calls, (Calls{"close", "open table", "maximise", "page 0/0"}));
    EXPECT_EQ(router.State().mode, kModeAnalysis);

    frame.calls.clear();
    EXPECT_TRUE(router.Run(cmd::kModeClinical));
    EXPECT_EQ(frame.calls, (Calls{"close", "open clinical", "maximise", "page 0/0"}));
    EXPECT_EQ(router.State().mode, kModeClinical);
    EXPECT_FALSE(router.Run(cmd::kModeClinical));  // greyed while it shows

    frame.calls.clear();
    EXPECT_TRUE(router.Run(cmd::kModeTrend));
    EXPECT_EQ(frame.calls, (Calls{"close", "open trend", "maximise", "page 0/0"}));
    EXPECT_EQ(statistics, 1);
}

TEST_F(RouterTest, GreyedCommandsAreIgnoredFromEveryRoad) {
    // Start: no data, no view. None of these may run, whatever sends them.
    for (const int id : {cmd::kModeTrend, cmd::kModeTable, cmd::kModeAnalysis, cmd::kModeClinical, cmd::kClose,
                         cmd::kSaveData, cmd::kEventListing, cmd::kUserInfo, cmd::kReportTitle, cmd::kOpenOtherIdData,
                         cmd::kPrint, cmd::kPageDown, cmd::kGenericSave, cmd::kPaste, cmd::kNextPane, 12345}) {
        EXPECT_FALSE(router.Run(id)) << id;
    }
    EXPECT_TRUE(frame.calls.empty());
    // A mode cannot be re-entered while it shows.
    ShowData(kModeTable);
    EXPECT_FALSE(router.Run(cmd::kModeTable));
    EXPECT_TRUE(frame.calls.empty());
}

TEST_F(RouterTest, CloseGreysTheDataCommandsButKeepsTheSamples) {
    store.AppendSample(SampleRecord{.id = 3, .spo2 = 97, .pulseRate = 70});
    store.SelectId(3);
    ShowData(kModeAnalysis);
    EXPECT_TRUE(router.Run(cmd::kClose));
    EXPECT_EQ(frame.calls, (Calls{"close", "page 0/0"}));
    EXPECT_EQ(router.State(), (DisplayState{1, 1, kModeNone}));
    EXPECT_EQ(store.CurrentSampleCount, 1);
    EXPECT_EQ(store.IdCount(3), 1);
    for (const int id : {cmd::kSaveData, cmd::kEventListing, cmd::kClose, cmd::kUserInfo, cmd::kReportTitle,
                         cmd::kOpenOtherIdData, cmd::kModeTrend, cmd::kModeTable, cmd::kModeAnalysis}) {
        EXPECT_FALSE(router.IsEnabled(id)) << id;
    }
    // Only a data file brings back no-data; Open Other ID Data waits for a capture.
    router.OnDataFileOpened();
    EXPECT_EQ(router.State(), (DisplayState{1, 0, kModeTrend}));
    EXPECT_TRUE(router.IsEnabled(cmd::kSaveData));
    EXPECT_FALSE(router.IsEnabled(cmd::kOpenOtherIdData));
}

TEST_F(RouterTest, StateTableOfTheCaptureAndFileEvents) {
    router.OnCaptureListedData();
    EXPECT_EQ(router.State(), (DisplayState{0, 0, kModeNone}));
    router.OnCaptureCancelled();  // cancelled while nothing shows: back to the start
    EXPECT_EQ(router.State(), (DisplayState{1, 1, kModeNone}));

    router.OnCaptureListedData();
    router.ShowCapturedData();
    EXPECT_EQ(router.State(), (DisplayState{0, 0, kModeTrend}));
    router.OnCaptureCancelled();  // a later cancelled capture leaves what shows alone
    EXPECT_EQ(router.State(), (DisplayState{0, 0, kModeTrend}));

    // New data keeps the table when the table shows, otherwise opens the trend.
    router.SetState({0, 0, kModeTable});
    frame.calls.clear();
    views.currentPageIndex = 4;
    router.ShowNewData();
    EXPECT_EQ(frame.calls, (Calls{"close", "open table"}));
    EXPECT_EQ(router.State().mode, kModeTable);
    EXPECT_EQ(views.currentPageIndex, 0);
    router.SetState({0, 0, kModeAnalysis});
    frame.calls.clear();
    router.ShowNewData();
    EXPECT_EQ(frame.calls, (Calls{"close", "open trend"}));
    EXPECT_EQ(router.State().mode, kModeTrend);
    // The capture dialog always opens the trend.
    router.SetState({0, 0, kModeTable});
    frame.calls.clear();
    router.ShowCapturedData();
    EXPECT_EQ(frame.calls, (Calls{"close", "open trend"}));
}

TEST_F(RouterTest, AnalysisSetupReopensTheAnalysisOnlyInAnalysisMode) {
    int setups = 0, statistics = 0;
    router.Hooks().analysisSetup = [&] { return ++setups > 0; };
    router.Hooks().computeStatistics = [&] { ++statistics; };
    ShowData(kModeTable);
    EXPECT_TRUE(router.Run(cmd::kAnalysisSetup));
    EXPECT_EQ(setups, 1);
    EXPECT_EQ(statistics, 0);
    EXPECT_TRUE(frame.calls.empty());
    EXPECT_EQ(router.State().mode, kModeTable);

    ShowData(kModeAnalysis);
    EXPECT_TRUE(router.Run(cmd::kAnalysisSetup));
    EXPECT_EQ(statistics, 1);
    EXPECT_EQ(frame.calls, (Calls{"close", "open table", "maximise", "page 0/0"}));

    // Cancel changes nothing.
    router.Hooks().analysisSetup = [] { return false; };
    frame.calls.clear();
    EXPECT_TRUE(router.Run(cmd::kAnalysisSetup));
    EXPECT_EQ(statistics, 1);
    EXPECT_TRUE(frame.calls.empty());
}

TEST_F(RouterTest, UnitSetupRepaintsOnlyWhenTheUnitChanged) {
    int dialogResult = 1;
    std::string written;  // what the dialog "writes" before returning
    router.Hooks().unitSetupDialog = [&] {
        if (!written.empty()) settings.WriteString(settings_key::kUnitSetup, written);
        return dialogResult;
    };
    router.Run(cmd::kUnitSetup);  // first use remembers 0; nothing changed
    EXPECT_TRUE(frame.calls.empty());
    written = "1";
    router.Run(cmd::kUnitSetup);
    EXPECT_EQ(frame.calls, (Calls{"repaint"}));
    router.Run(cmd::kUnitSetup);  // still 1
    EXPECT_EQ(frame.calls, (Calls{"repaint"}));
    // Cancel (any result but 0) still looks at the file.
    written = "0";
    dialogResult = 2;
    router.Run(cmd::kUnitSetup);
    EXPECT_EQ(frame.calls, (Calls{"repaint", "repaint"}));
    // A dialog that failed to run (0) is not followed by a look.
    written = "1";
    dialogResult = 0;
    router.Run(cmd::kUnitSetup);
    EXPECT_EQ(frame.calls.size(), 2u);
}

TEST_F(RouterTest, ReportTitleRepaintsAfterOkAndCancelAlike) {
    int runs = 0;
    router.Hooks().reportTitle = [&] { ++runs; };
    ShowData(kModeTrend);
    EXPECT_TRUE(router.Run(cmd::kReportTitle));
    EXPECT_TRUE(router.Run(cmd::kReportTitle));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(frame.calls, (Calls{"repaint", "repaint"}));
}

TEST_F(RouterTest, CaptureSelectsTheLinkAndRefusesASecondDialog) {
    int dialogs = 0;
    router.Hooks().runCaptureDialog = [&] {
        ++dialogs;
        EXPECT_TRUE(router.CaptureOpen());
        // A device arriving while the dialog runs, and a second command.
        router.DeviceArrived();
        router.Run(cmd::kNewDataCapture);
    };
    store.UseSerialLink = false;
    EXPECT_TRUE(router.Run(cmd::kNewDataCapture));
    EXPECT_TRUE(store.UseSerialLink);
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(router.CaptureOpen());

    // After Find bluetooth radio a new device opens nothing ...
    bool searched = false;
    router.Hooks().findBluetoothRadio = [&] { searched = true; };
    EXPECT_TRUE(router.Run(cmd::kFindBluetoothRadio));
    EXPECT_TRUE(searched);
    EXPECT_FALSE(store.UseSerialLink);
    router.DeviceArrived();
    EXPECT_EQ(dialogs, 1);
    // ... until New Data Capture selects the serial link again.
    router.Run(cmd::kNewDataCapture);
    router.DeviceArrived();
    EXPECT_EQ(dialogs, 3);
}

TEST_F(RouterTest, CaptureGuardIsReleasedWhenTheDialogThrows) {
    router.Hooks().runCaptureDialog = [] { throw std::runtime_error("dialog failed"); };
    EXPECT_THROW(router.Run(cmd::kNewDataCapture), std::runtime_error);
    EXPECT_FALSE(router.CaptureOpen());
}

TEST_F(RouterTest, MissingDialogsSayNotAvailableAndTheBluetoothFlagStillChanges) {
    ShowData(kModeTrend);
    for (const int id : {cmd::kNewDataCapture, cmd::kOpenOtherIdData, cmd::kSaveData, cmd::kOpenSavedData,
                         cmd::kEventListing, cmd::kUserInfo, cmd::kReportTitle, cmd::kAnalysisSetup, cmd::kUnitSetup,
                         cmd::kClinicalSetup}) {
        frame.calls.clear();
        EXPECT_TRUE(router.Run(id)) << id;
        EXPECT_EQ(frame.calls, (Calls{"not available " + std::to_string(id)}));
    }
    EXPECT_TRUE(router.Run(cmd::kFindBluetoothRadio));
    EXPECT_FALSE(store.UseSerialLink);
    // Analysis without the statistics hook still opens the analysis page.
    frame.calls.clear();
    EXPECT_TRUE(router.Run(cmd::kModeAnalysis));
    EXPECT_EQ(router.State().mode, kModeAnalysis);
}

TEST_F(RouterTest, ViewCommandsGoToAViewThatHandlesThem) {
    frame.viewCommands = {cmd::kPageUp, cmd::kPageDown, cmd::kPrint};
    EXPECT_FALSE(router.Run(cmd::kPageDown));  // no view
    ShowData(kModeTrend);
    EXPECT_TRUE(router.Run(cmd::kPageDown));
    EXPECT_TRUE(router.Run(cmd::kPrint));
    EXPECT_FALSE(router.Run(cmd::kRollStep));  // this view does not handle it
    EXPECT_EQ(frame.calls, (Calls{"view 32774", "view 57607"}));
}

TEST_F(RouterTest, GenericOpenAndSaveKeysRunTheMenuCommands) {
    std::vector<std::string> ran;
    router.Hooks().openSavedData = [&] { ran.push_back("open"); };
    router.Hooks().saveData = [&] { ran.push_back("save"); };
    EXPECT_TRUE(router.Run(cmd::kGenericOpen));
    EXPECT_FALSE(router.Run(cmd::kGenericSave));  // Save Data is greyed without data
    ShowData(kModeTrend);
    EXPECT_TRUE(router.Run(cmd::kGenericSave));
    EXPECT_EQ(ran, (std::vector<std::string>{"open", "save"}));
}

TEST_F(RouterTest, ExitAndAboutGoToTheWindow) {
    EXPECT_TRUE(router.Run(cmd::kAbout));
    EXPECT_TRUE(router.Run(cmd::kExit));
    EXPECT_EQ(frame.calls, (Calls{"about", "exit"}));
}

TEST(ViewStateTest, PageTextAndItsEdges) {
    EXPECT_EQ(PageText(4, 9), "Page:5/9");
    EXPECT_EQ(PageText(0, 1), "Page:1/1");
    EXPECT_EQ(PageText(0, 0), "Page:");
    EXPECT_EQ(PageText(3, -1), "Page:");
    // An index past the last page (after widening) is shown as it is.
    EXPECT_EQ(PageText(11, 9), "Page:12/9");
}

TEST(CommandLineTest, StandardRulesFromNothing) {
    using Command = CommandLineInfo::ShellCommand;
    EXPECT_EQ(ParseCommandLine({}).shellCommand, Command::Nothing);
    // A bare file name opens nothing: start-up begins from "nothing".
    const auto bare = ParseCommandLine({"/home/me/night.dat"});
    EXPECT_EQ(bare.shellCommand, Command::Nothing);
    EXPECT_EQ(bare.fileName, "/home/me/night.dat");

    const auto print = ParseCommandLine({"-P", "night.dat"});
    EXPECT_EQ(print.shellCommand, Command::FilePrint);
    EXPECT_EQ(print.fileName, "night.dat");

    const auto printTo = ParseCommandLine({"--pt", "a.dat", "Office", "drv", "lp0", "extra"});
    EXPECT_EQ(printTo.shellCommand, Command::FilePrintTo);
    EXPECT_EQ(printTo.fileName, "a.dat");
    EXPECT_EQ(printTo.printerName, "Office");
    EXPECT_EQ(printTo.driverName, "drv");
    EXPECT_EQ(printTo.portName, "lp0");

    EXPECT_EQ(ParseCommandLine({"-Embedding"}).shellCommand, Command::Automation);
    EXPECT_EQ(ParseCommandLine({"-regserver"}).shellCommand, Command::Register);
    EXPECT_EQ(ParseCommandLine({"-Unregister"}).shellCommand, Command::Unregister);
    EXPECT_EQ(ParseCommandLine({"-dde"}).shellCommand, Command::Dde);
    // Unknown flags and a lone dash are ignored.
    const auto unknown = ParseCommandLine({"-verbose", "-", "x.dat"});
    EXPECT_EQ(unknown.shellCommand, Command::Nothing);
    EXPECT_EQ(unknown.fileName, "x.dat");
}

TEST(InstanceLockTest, SecondHolderRefusedUntilTheFirstLetsGo) {
    TempDir dir;
    const fs::path file = dir.Path() / "quenda.lock";
    InstanceLock first, second;
    ASSERT_EQ(first.Acquire(file), InstanceLock::Result::Acquired);
    EXPECT_EQ(second.Acquire(file), InstanceLock::Result::HeldElsewhere);
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_EQ(second.Acquire(file), InstanceLock::Result::Acquired);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(InstanceLockTest, SymbolicLinkAndMissingFolderAreRefused) {
    TempDir dir;
    const fs::path target = dir.Path() / "elsewhere";
    std::ofstream(target).put('x');
    fs::create_symlink(target, dir.Path() / "link.lock");
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire(dir.Path() / "link.lock"), InstanceLock::Result::Unavailable);
    EXPECT_NE(lock.Error().find("link.lock"), std::string::npos);
    EXPECT_EQ(lock.Acquire(dir.Path() / "no" / "such.lock"), InstanceLock::Result::Unavailable);
    EXPECT_EQ(fs::file_size(target), 1u);
}

TEST(InstanceLockTest, DefaultFileIsPerUser) {
    const std::string name = InstanceLock::DefaultFile().filename().string();
    EXPECT_EQ(name, "quenda-" + std::to_string(::getuid()) + ".lock");
}

TEST(PatientFolderTest, InstalledAlwaysPerUser) {
    TempDir dir;
    const fs::path program = dir.Path() / "prefix" / "bin";
    const fs::path home = dir.Path() / "share";
    fs::create_directories(program / "bldb");
    EXPECT_FALSE(RunsFromBuildTree(program));
    // Whoever may write beside it, and whatever is there.
    EXPECT_EQ(PatientFolder(program, home, [](const fs::path&) { return true; }), home / "Quenda" / "bldb");
}

TEST(PatientFolderTest, FromABuildTreeBesideTheProgramWhileWritableElsePerUser) {
    TempDir dir;
    const fs::path program = dir.Path() / "build" / "app";
    const fs::path home = dir.Path() / "share";
    fs::create_directories(program);
    std::ofstream(dir.Path() / "build" / "CMakeCache.txt") << "# a build folder\n";
    EXPECT_TRUE(RunsFromBuildTree(program));
    EXPECT_TRUE(RunsFromBuildTree(dir.Path() / "build"));
    EXPECT_FALSE(RunsFromBuildTree(dir.Path()));
    std::set<fs::path> writable;
    auto isWritable = [&](const fs::path& p) { return writable.contains(p); };

    writable = {program};
    EXPECT_EQ(PatientFolder(program, home, isWritable), program / "bldb");
    writable = {};  // installed system-wide
    EXPECT_EQ(PatientFolder(program, home, isWritable), home / "Quenda" / "bldb");
    // An existing bldb decides by itself, whatever its parent allows.
    fs::create_directories(program / "bldb");
    writable = {program / "bldb"};
    EXPECT_EQ(PatientFolder(program, home, isWritable), program / "bldb");
    writable = {program};
    EXPECT_EQ(PatientFolder(program, home, isWritable), home / "Quenda" / "bldb");
}

TEST(PatientFolderTest, CreatesAPrivateEmptyFileAndNeverTruncates) {
    TempDir dir;
    const fs::path file = dir.Path() / "share" / "Quenda" / "bldb" / kPatientFileName;
    EXPECT_FALSE(CanReadPatientFile(file));
    const auto created = CreatePatientFile(file);
    ASSERT_TRUE(created) << created.message;
    EXPECT_TRUE(CanReadPatientFile(file));
    EXPECT_EQ(fs::file_size(file), 0u);
    struct stat info {};
    for (const fs::path& folder : {dir.Path() / "share", dir.Path() / "share" / "Quenda", file.parent_path()}) {
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u) << folder;
    }
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::ofstream(file) << "patient";
    CreatePatientFile(file);
    EXPECT_EQ(fs::file_size(file), 7u);

    // A file where the folder should be: a clear reason, nothing created.
    std::ofstream(dir.Path() / "blocked") << "x";
    const auto blocked = CreatePatientFile(dir.Path() / "blocked" / "bldb" / kPatientFileName);
    EXPECT_FALSE(blocked);
    EXPECT_NE((blocked.message + blocked.detail).find("blocked"), std::string::npos) << blocked.message;
}

class ListedPorts : public PortEnumerator {
public:
    std::vector<std::string> names;
    std::vector<std::string> FriendlyNames() override { return names; }
};

TEST(PortArrivalTest, NewPluggablePortsAreArrivalsAfterTheFirstLook) {
    const std::string bridge = "Silicon Labs CP2102 USB to UART Bridge Controller (ttyUSB0)";
    ListedPorts ports;
    ports.names = {bridge};
    PortArrivalFilter filter(ports);  // learns what is there
    EXPECT_FALSE(filter.Look());
    ports.names.push_back("Communications Port (COM2)");  // an on-board port is no recorder
    EXPECT_FALSE(filter.Look());
    ports.names.push_back("Standard Serial over Bluetooth link (rfcomm0)");
    EXPECT_TRUE(filter.Look());
    EXPECT_FALSE(filter.Look());
    ports.names.erase(ports.names.begin());  // unplugged: not an arrival
    EXPECT_FALSE(filter.Look());
    ports.names.push_back(bridge);
    EXPECT_TRUE(filter.Look());  // plugged in again
}

TEST(PortArrivalTest, OnlyEventsOfPluggableSerialPortsAreWorthALook) {
    struct Case {
        const char* action;
        const char* device;
        bool worth;
    };
    for (const Case& c : {Case{"add", "ttyUSB0", true}, Case{"add", "ttyACM3", true}, Case{"add", "rfcomm0", true},
                          Case{"remove", "ttyUSB0", true}, Case{"change", "ttyUSB0", false}, Case{"add", "tty5", false},
                          Case{"add", "ttyS4", false}, Case{"add", "ptmx", false}, Case{"add", "ttyUSB", false},
                          Case{"add", "console", false}}) {
        EXPECT_EQ(PortArrivalFilter::WorthALook(c.action, c.device), c.worth) << c.action << " " << c.device;
    }
}

TEST(LockKeysTest, AnyKeyboardsLightCounts) {
    TempDir dir;
    auto led = [&](const std::string& name, int brightness) {
        const fs::path path = dir.Path() / "class" / "leds" / name;
        fs::create_directories(path);
        std::ofstream(path / "brightness") << brightness << "\n";
    };
    EXPECT_FALSE(ReadLockKeyLights(dir.Path()));  // no leds folder at all
    led("phy0-led", 1);
    EXPECT_FALSE(ReadLockKeyLights(dir.Path()));  // lights, but none of a keyboard
    led("input3::capslock", 0);
    led("input7::capslock", 1);
    led("input3::numlock", 1);
    led("input3::scrolllock", 0);
    EXPECT_EQ(ReadLockKeyLights(dir.Path()), (LockKeys{true, true, false}));
}

TEST(LockKeysTest, KeyboardLightsFirstThenTheFallbackThenAllOff) {
    const LockKeys lit{true, false, true};
    const LockKeys indicated{false, true, false};
    int asked = 0;
    auto xkb = [&](std::optional<LockKeys> answer) { return [&asked, answer] { return ++asked, answer; }; };
    EXPECT_EQ(ChooseLockKeys(lit, xkb(indicated)), lit);
    EXPECT_EQ(asked, 0);  // the X server is not asked when the lights answer
    EXPECT_EQ(ChooseLockKeys(std::nullopt, xkb(indicated)), indicated);
    EXPECT_EQ(ChooseLockKeys(std::nullopt, xkb(std::nullopt)), LockKeys{});
    EXPECT_EQ(ChooseLockKeys(std::nullopt, nullptr), LockKeys{});
}

TEST(ResourceTextSourceTest, NumberedAndPlainTextsWithBuiltInFallback) {
    StringTable table;
    table.strings[167] = "Already running";
    table.texts["Page:"] = "Seite:";
    ResourceTextSource source(table);
    SetTextSource(&source);
    EXPECT_EQ(UiText(167, "You have Run one"), "Already running");
    EXPECT_EQ(UiText(166, "Can't open pationtrec.dat file"), "Can't open pationtrec.dat file");
    EXPECT_EQ(PageText(1, 3), "Seite:2/3");
    EXPECT_EQ(UiText("Quenda"), "Quenda");
    SetTextSource(nullptr);
    EXPECT_EQ(UiText(167, "You have Run one"), "You have Run one");
}

}  // namespace
}  // namespace quenda
