#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/ResourceTextSource.h"
#include "base/CommandIds.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "document/AppContext.h"
#include "patient/PatientFile.h"
#include "patient/PatientFolder.h"
#include "widgets/MessageBox.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

namespace quenda {

std::vector<DocumentTemplate> DocumentTemplates(const ViewFactories& views) {
    return {{DocKind::Trend, views.trend}, {DocKind::Table, views.table}, {DocKind::Clinical, views.clinical}};
}

Startup::Startup(AppContext& context, StartupOptions options, ViewFactories views, CommandHandlers handlers)
    : context_(context),
      options_(std::move(options)),
      views_(std::move(views)),
      handlers_(std::move(handlers)),
      resources_(&library_) {
    context_.store.ClearStore();
}

Startup::~Startup() { Exit(); }

void Startup::ShowMessage(const std::string& text, QMessageBox::Icon icon) {
    if (options_.showMessage) {
        options_.showMessage(text, icon);
    } else {
        // Drawn offscreen nobody sees the box, and start-up waits on it:
        // what it says goes to stderr too.
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            std::fprintf(stderr, "quenda: %s\n", TerminalText(text).c_str());
        ShowMessageBox(nullptr, QString::fromStdString(text), icon);
    }
}

bool Startup::Start(const std::vector<std::string>& args) {
    // 1-2. One copy per user. A lock that cannot be had at all (no writable
    // folder) leaves the program unguarded rather than unusable.
    const auto lockFile = options_.lockFile.empty() ? InstanceLock::DefaultFile() : options_.lockFile;
    switch (instanceLock_.Acquire(lockFile)) {
        case InstanceLock::Result::Acquired: break;
        case InstanceLock::Result::HeldElsewhere:
            ShowMessage(UiText(str::kRunOne, "You have Run one"), QMessageBox::NoIcon);
            return false;
        case InstanceLock::Result::Unavailable:
            std::fprintf(stderr, "quenda: no single-instance guard: %s\n", instanceLock_.Error().c_str());
            break;
    }
    // 3-4. Component services and control hosting have no counterpart here.

    // 5. The optional resource library.
    LoadResourceLibrary();

    // 6. The document templates, Trend first.
    templates_ = DocumentTemplates(views_);

    // 7. The main window.
    mainWindow_ = std::make_unique<MainWindow>(context_, resources_, templates_, handlers_);
    if (!mainWindow_->Create(options_.splashMilliseconds)) {
        mainWindow_.reset();
        return false;
    }

    // 8. The patient file.
    CheckPatientFile();

    // 9. The command line.
    if (!ProcessCommandLine(args)) return false;

    // 10. Maximised, painted at once.
    mainWindow_->showMaximized();
    mainWindow_->repaint();
    if (options_.watchDevices) mainWindow_->StartDeviceWatch();
    return true;
}

void Startup::LoadResourceLibrary() {
    if (options_.resourceLibrary.empty() || !library_.Load(options_.resourceLibrary)) return;
    const QString stringsName = "strings.json";
    if (!resources_.FromLibrary(stringsName)) return;
    QString error;
    if (auto table = ParseStrings(resources_.Data(stringsName), &error)) {
        textSource_ = std::make_unique<ResourceTextSource>(std::move(*table));
        SetTextSource(textSource_.get());
    } else {
        std::fprintf(stderr, "quenda: the resource library's strings are unusable (%s)\n", qPrintable(error));
    }
}

void Startup::CheckPatientFile() {
    std::filesystem::path programDir = options_.programDir;
    if (programDir.empty()) programDir = QCoreApplication::applicationDirPath().toStdString();
    const auto dataHome = options_.userDataHome.empty() ? UserDataHome() : options_.userDataHome;
    const auto file = PatientFolder(programDir, dataHome) / kPatientFileName;
    context_.patient.SetPatientFile(file);
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 && errno == ENOENT) {
        // A first start: the file is made without a word; only making it
        // can fail aloud.
        if (const auto created = CreatePatientFile(file); !created) {
            ShowMessage(created.message + "\n" + created.detail, QMessageBox::Warning);
        }
        return;
    }
    // There but unusable (no permission, a folder in its place, a file
    // where its folder belongs): the user is told.
    if (S_ISREG(info.st_mode) && CanReadPatientFile(file)) return;
    ShowMessage(UiText(str::kCantOpenPatientFile, "Can't open pationtrec.dat file"), QMessageBox::Information);
    // Start-up goes on either way; the patient commands report their own
    // failures later.
    if (const auto created = CreatePatientFile(file); !created) {
        ShowMessage(created.message + "\n" + created.detail, QMessageBox::Warning);
    }
}

bool Startup::ProcessCommandLine(const std::vector<std::string>& args) {
    using Command = CommandLineInfo::ShellCommand;
    const CommandLineInfo info = ParseCommandLine(args);
    switch (info.shellCommand) {
        case Command::Nothing:
        case Command::Dde:         // no shell messages to wait for here
        case Command::Automation:  // no automation server here
            return true;
        case Command::Register:
        case Command::Unregister:
            // Nothing is registered with the system; the run ends as a
            // registration run does.
            return false;
        case Command::FilePrint:
        case Command::FilePrintTo:
            // Print the file, then end.
            if (handlers_.openSavedDataFile && handlers_.openSavedDataFile(*mainWindow_, info.fileName)) {
                mainWindow_->OnCommand(cmd::kPrint);
            } else {
                std::fprintf(stderr, "quenda: %s was not printed\n", TerminalText(info.fileName).c_str());
            }
            return false;
    }
    return false;
}

void Startup::Exit() {
    mainWindow_.reset();
    context_.store.ClearStore();
    SetTextSource(nullptr);
    textSource_.reset();
    library_.Release();
}

}  // namespace quenda
