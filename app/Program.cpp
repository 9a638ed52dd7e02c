#include "app/Program.h"

#include "analysis/Analysis.h"
#include "analysis/AnalysisSetupDialog.h"
#include "analysis/ClinicalSetupDialog.h"
#include "analysis/Thresholds.h"
#include "app/FrameCaptureHost.h"
#include "app/MainWindow.h"
#include "base/StringFormat.h"
#include "base/UiText.h"
#include "device/BluetoothRadioDialog.h"
#include "device/CaptureDialog.h"
#include "document/AppContext.h"
#include "formats/FileCommands.h"
#include "formats/ImportCommand.h"
#include "link/BluetoothLink.h"
#include "nights/Library.h"
#include "nights/ServerPasswords.h"
#include "nights/StudyNights.h"
#include "patient/PatientCommands.h"
#include "patient/PatientFile.h"
#include "views/ClinicalViewWindow.h"
#include "views/LibraryDialog.h"
#include "views/NightsWindow.h"
#include "views/OpenNightFollower.h"
#include "views/TableViewWindow.h"
#include "views/TrendViewWindow.h"
#include "widgets/MessageBox.h"
#include "widgets/UiTexts.h"

#include <QStatusBar>

#include <algorithm>

namespace quenda {

namespace {

std::string LibraryOf(const AppContext& context) { return ProgramLibraryLocation(context); }

// The prompt for a server's password, over `parent`: the user is asked once
// a run for each server.
PasswordPrompt AskPassword(ServerPasswords& passwords, QWidget* parent) {
    return passwords.Remembering(DialogPasswordPrompt(parent));
}

// What adding nights needs: the settings and the patient names of the moment.
AddOptions NightsAddOptions(AppContext& context) {
    return MakeAddOptions(context.settings, context.patient.PatientFile());
}

// Every kept download's and import's nights go to the library. A failure is
// said and nothing else: the download or import is on disk whatever the
// library does.
// An import's sleep study keeps its scoring under the current ID first, as
// `nights add` does. A download is kept in its folder whatever the library
// does (a server out of reach, say): its message says where, and how to add
// it later.
void AddNights(QWidget* parent, AppContext& context, ServerPasswords& passwords, const std::filesystem::path& path,
               const char* failed, const ScoredStudy& scoring = {}, bool download = false) {
    const std::filesystem::path paths[] = {path};
    const AddResult added = AddStudyNights(LibraryOf(context), context.store.CurrentId, scoring, paths,
                                           NightsAddOptions(context), AskPassword(passwords, parent));
    if (added.result) return;
    std::string text = UiText(failed);
    for (const std::string& failure : added.failures) text += "\n" + failure;
    if (download) text += "\n\n" + FillPlaceholders(UiText(library_message::kDownloadKept), {path.string()});
    ShowMessageBox(parent, QString::fromStdString(text), QMessageBox::Warning);
}

void AddDownloadNights(QWidget* parent, AppContext& context, ServerPasswords& passwords,
                       const std::filesystem::path& folder) {
    AddNights(parent, context, passwords, folder, "The nights of this download could not be added to the library:", {},
              true);
}

// An open Nights window reads the library again: after a change of the
// program's own (exclusions, names) or of the settings its figures follow.
void ReloadNights(MainWindow& frame) {
    if (auto* nights = dynamic_cast<NightsWindow*>(frame.ToolView())) nights->Reload();
}

void SayLibraryProblem(QWidget* parent, const FileResult& result) {
    const std::string detail = result.detail.empty() ? "" : "\n" + result.detail;
    ShowMessageBox(parent, QString::fromStdString(result.message + detail), QMessageBox::Warning);
}

// After a setup that the nights' figures follow is confirmed: the library's
// figures are computed again under it and stored, here where the change is
// made, so no reading of the library has to. A library that is not there
// holds no figures; one that cannot be changed is said.
void UpdateLibraryFigures(QWidget* parent, AppContext& context, ServerPasswords& passwords) {
    const std::string file = LibraryOf(context);
    if (!LibraryMayExist(file)) return;
    FileResult result;
    if (const auto library = NightLibrary::Open(file, result, LibraryOpening::Create, AskPassword(passwords, parent))) {
        library->SetFigureSettings(ReadFigureSettings(context.settings));
        result = library->UpdateFigures();
    }
    if (!result) SayLibraryProblem(parent, result);
}

// After Edit > User Info is saved: the current data set's nights in the library
// take the name the patient file now holds for their ID, so the Nights
// window's name filter finds them. A library that does not exist yet holds
// none of them; one that cannot be changed is said.
void NameNightsOfCurrentData(QWidget* parent, AppContext& context, ServerPasswords& passwords) {
    const auto samples = context.store.CurrentSamples();
    const std::string file = LibraryOf(context);
    if (samples.empty() || !LibraryMayExist(file)) return;
    FileResult result;
    if (const auto library = NightLibrary::Open(file, result, LibraryOpening::Create, AskPassword(passwords, parent))) {
        const int id = context.store.CurrentId;
        const std::string name = PatientNameOf(context.patient.PatientFile(), id);
        for (const NightLibrary::PlacedNight& placed : library->NightsIn(id, samples)) {
            if (placed.night && !(result = library->SetName(*placed.night, name))) break;
        }
    }
    if (!result) SayLibraryProblem(parent, result);
}

// After other data became current (a file, a download, another ID): the
// caption of a night goes, and an open Nights window selects the matching night.
void AfterNewData(MainWindow& frame, AppContext& context) {
    frame.SetDataCaption({});
    if (auto* nights = dynamic_cast<NightsWindow*>(frame.ToolView())) {
        nights->Reload();
        nights->SelectNightOf(context.store.CurrentId, context.store.CurrentSamples());
    }
}

// A night of the library became the current data set: page 0 in Trend, its
// date in the title and the status bar.
void ShowOpenedNight(MainWindow& frame, const NightRow& night) {
    frame.Router().ShowNight();
    frame.SetDataCaption(UiQString("Night of %1, ID %2").arg(QString::fromStdString(night.date)).arg(night.id));
    frame.UpdateCommandStates();
}

// The frame's one follower of the night opened from the library, made at
// the first night opened.
OpenNightFollower& FollowerOf(MainWindow& frame, AppContext& context, ServerPasswords& passwords) {
    static const char* const kName = "openNightFollower";
    if (auto* follower = dynamic_cast<OpenNightFollower*>(frame.findChild<QObject*>(kName))) return *follower;
    OpenNightFollower::Hooks hooks;
    // Changed elsewhere (a terminal, the Nights window): shown again as it
    // is now, and said.
    hooks.reopened = [&frame](const NightRow& night) {
        // After Close nothing is shown: the night is opened again when asked.
        if (frame.Router().State().mode == kModeNone) return;
        ShowOpenedNight(frame, night);
        frame.statusBar()->showMessage(
            UiQString("Night %1 was changed in the library; it is shown as it is now.").arg(night.night));
    };
    // No longer a night: its name goes from the title, so nothing shows or
    // prints under it.
    hooks.gone = [&frame](const QString& why) {
        frame.SetDataCaption({});
        frame.UpdateCommandStates();
        frame.statusBar()->showMessage(why);
    };
    hooks.passwordPrompt = AskPassword(passwords, &frame);
    auto* follower = new OpenNightFollower(
        context, [&context] { return LibraryOf(context); }, std::move(hooks), &frame);
    follower->setObjectName(kName);
    return *follower;
}

void ShowNightsWindow(MainWindow& frame, AppContext& context, ServerPasswords& passwords) {
    frame.ShowToolView([&frame, &context, &passwords]() -> QWidget* {
        NightsWindowHooks hooks;
        hooks.addOptions = [&context] { return NightsAddOptions(context); };
        hooks.passwordPrompt = AskPassword(passwords, &frame);
        hooks.opened = [&frame, &context, &passwords](const NightRow& night) {
            ShowOpenedNight(frame, night);
            FollowerOf(frame, context, passwords).Opened(night);
        };
        return new NightsWindow(context, LibraryOf(context), std::move(hooks));
    });
}

// After a download whose data set holds several nights of the library: the
// Nights window opens on them (their ID and dates), since a trend of days and
// one page of figures over all of them say little of any one night. The data
// set stays the open document, as downloaded.
void ShowNightsOfDownload(MainWindow& frame, AppContext& context, ServerPasswords& passwords) {
    const auto samples = context.store.CurrentSamples();
    const std::string file = LibraryOf(context);
    if (samples.empty() || !LibraryMayExist(file)) return;
    FileResult opened;
    const auto library = NightLibrary::Open(file, opened, LibraryOpening::Create, AskPassword(passwords, &frame));
    if (!library) return;
    std::vector<std::string> dates;
    for (const NightLibrary::PlacedNight& placed : library->NightsIn(context.store.CurrentId, samples)) {
        NightRow row;
        if (placed.night && library->Show(*placed.night, row)) dates.push_back(row.date);
    }
    if (dates.size() < 2) return;
    ShowNightsWindow(frame, context, passwords);
    if (auto* nights = dynamic_cast<NightsWindow*>(frame.ToolView()))
        nights->SetFilter({std::to_string(context.store.CurrentId), *std::min_element(dates.begin(), dates.end()),
                           *std::max_element(dates.begin(), dates.end())});
}

// A download, through the capture dialog or the Bluetooth radio's.
template <class Run>
void RunDownload(MainWindow& frame, AppContext& context, ServerPasswords& passwords, Run run) {
    FrameCaptureHost host(frame, context.reportTitle,
                          [&context, &frame, &passwords](const std::filesystem::path& folder) {
                              AddDownloadNights(&frame, context, passwords, folder);
                          });
    const std::uint64_t before = context.store.DataSetGeneration;
    run(host);
    if (context.store.DataSetGeneration == before) return;
    AfterNewData(frame, context);
    ShowNightsOfDownload(frame, context, passwords);
}

// Options > Library...: the choice is kept in the settings file and used
// from now on; an open Nights window lists the chosen library at once.
void ChooseLibrary(MainWindow& frame, AppContext& context) {
    std::string chosen = LibraryOf(context);
    if (!RunLibraryDialog(&frame, context.settings, chosen)) return;
    context.nightsLibrary = chosen;
    if (auto* nights = dynamic_cast<NightsWindow*>(frame.ToolView())) nights->SetLibrary(chosen);
}

}  // namespace

std::string ProgramLibraryLocation(const AppContext& context) {
    if (!context.nightsLibrary.empty()) return context.nightsLibrary;
    const std::string chosen = ChosenLibraryLocation(context.settings);
    return chosen.empty() ? DefaultLibraryLocation() : chosen;
}

ViewFactories ProgramViews(AppContext& context) {
    ViewFactories views;
    views.trend = [&context](MainWindow& frame) {
        auto* view = new TrendViewWindow(context);
        view->exclusionsChanged = [&frame] { ReloadNights(frame); };
        return view;
    };
    // The Table template serves both the Table and the Analysis mode.
    views.table = [&context](MainWindow& frame) {
        return new TableViewWindow(context, [&frame] { return frame.Router().State().mode; });
    };
    views.clinical = [&context](MainWindow&) { return new ClinicalViewWindow(context); };
    return views;
}

CommandHandlers ProgramHandlers(AppContext& context, BluetoothLink& bluetooth, ServerPasswords& passwords) {
    CommandHandlers handlers;
    handlers.runCaptureDialog = [&context, &bluetooth, &passwords](MainWindow& frame) {
        RunDownload(frame, context, passwords, [&](FrameCaptureHost& host) {
            RunCaptureDialog(&frame, host, context.store, context.settings, &bluetooth);
        });
    };
    handlers.findBluetoothRadio = [&context, &bluetooth, &passwords](MainWindow& frame) {
        RunDownload(frame, context, passwords, [&](FrameCaptureHost& host) {
            RunFindBluetoothRadio(&frame, host, context.store, context.settings, bluetooth);
        });
    };
    handlers.saveData = [&context](MainWindow& frame) { RunSaveData(&frame, context); };
    handlers.openSavedData = [&context](MainWindow& frame) {
        if (!RunOpenSavedData(&frame, context)) return;
        frame.Router().OnDataFileOpened();
        AfterNewData(frame, context);
    };
    handlers.importFile = [&context, &passwords](MainWindow& frame) {
        const auto addNights = [&context, &passwords](QWidget* parent, const std::filesystem::path& kept,
                                                      const ScoredStudy& scoring) {
            AddNights(parent, context, passwords, kept,
                      "The nights of this import could not be added to the library:", scoring);
        };
        if (!RunImport(&frame, context, addNights)) return;
        frame.Router().OnDataImported();
        AfterNewData(frame, context);
    };
    handlers.openSavedDataFile = [&context](MainWindow& frame, const std::string& path) {
        if (!OpenSavedDataFile(&frame, context, path)) return false;
        frame.Router().OnDataFileOpened();
        AfterNewData(frame, context);
        return true;
    };
    handlers.openOtherIdData = [&context](MainWindow& frame) {
        if (!RunOpenOtherIdData(&frame, context)) return;
        frame.Router().ShowNewData();
        AfterNewData(frame, context);
    };
    handlers.nights = [&context, &passwords](MainWindow& frame) { ShowNightsWindow(frame, context, passwords); };
    handlers.librarySetup = [&context](MainWindow& frame) { ChooseLibrary(frame, context); };
    handlers.listEvents = [&context](MainWindow& frame) { RunEventListing(&frame, context); };
    handlers.userInfo = [&context, &passwords](MainWindow& frame) {
        if (!RunPatientInfo(&frame, context.patient, context.settings, [&context] { context.RepaintCurrentView(); }))
            return;
        NameNightsOfCurrentData(&frame, context, passwords);
        ReloadNights(frame);
    };
    handlers.reportTitle = [&context](MainWindow& frame) { RunReportTitle(&frame, context.reportTitle); };
    handlers.unitSetupDialog = [&context](MainWindow& frame) { return RunUnitSetupDialog(&frame, context.settings); };
    // The listed figures follow both setups.
    handlers.analysisSetup = [&context, &passwords](MainWindow& frame) {
        const bool confirmed = RunAnalysisSetup(&frame, context.settings);
        if (confirmed) {
            UpdateLibraryFigures(&frame, context, passwords);
            ReloadNights(frame);
        }
        return confirmed;
    };
    handlers.clinicalSetup = [&context, &passwords](MainWindow& frame) {
        const bool confirmed = RunClinicalSetup(&frame, context.settings);
        if (confirmed) {
            UpdateLibraryFigures(&frame, context, passwords);
            ReloadNights(frame);
        }
        return confirmed;
    };
    handlers.computeStatistics = [&context](MainWindow&) {
        ComputeStatistics(context.store.CurrentSamples(), ReadThresholds(context.settings), context.analysis);
    };
    return handlers;
}

}  // namespace quenda
