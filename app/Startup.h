#pragma once

#include "app/CommandHandlers.h"
#include "app/InstanceLock.h"
#include "app/ResourceLibrary.h"
#include "app/Resources.h"
#include "app/ViewDocument.h"

#include <QMessageBox>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quenda {

struct AppContext;
class MainWindow;
class ResourceTextSource;

// Where start-up looks and how it talks; main() takes the defaults, tests
// point everything at their own folders.
struct StartupOptions {
    std::filesystem::path programDir;    // the program's folder; empty: the running executable's
    std::filesystem::path userDataHome;  // empty: UserDataHome()
    std::filesystem::path lockFile;      // empty: InstanceLock::DefaultFile()
    std::string resourceLibrary = ResourceLibrary::kDefaultName;  // empty: load none
    int splashMilliseconds = 1000;
    bool watchDevices = true;
    // Start-up's message boxes; empty: a modal box with an OK button.
    std::function<void(const std::string& text, QMessageBox::Icon icon)> showMessage;
};

// The views of the two document templates.
struct ViewFactories {
    ViewFactory trend;
    ViewFactory table;
    ViewFactory clinical;
};

// The document templates of these views, Trend first, as start-up registers them.
std::vector<DocumentTemplate> DocumentTemplates(const ViewFactories& views);

// Start-up in its fixed order, and the exit step; in between it holds what
// start-up took (the single-instance lock, the resource library, the main
// window). Made once in main() after the QApplication, which is the
// application and runs the event loop.
class Startup {
public:
    // Empties the store, so a run starts from nothing.
    Startup(AppContext& context, StartupOptions options, ViewFactories views, CommandHandlers handlers);
    ~Startup();
    Startup(const Startup&) = delete;
    Startup& operator=(const Startup&) = delete;

    // Single instance, resource library, templates, main window, patient file,
    // command line, maximised window. False when the program must end now.
    bool Start(const std::vector<std::string>& args);
    // Destroys the main window if it is still there, empties the store and
    // releases the resource library.
    void Exit();

    MainWindow* Window() const { return mainWindow_.get(); }
    const ResourceLibrary& Library() const { return library_; }
    const Resources& GetResources() const { return resources_; }
    const std::vector<DocumentTemplate>& Templates() const { return templates_; }

private:
    void ShowMessage(const std::string& text, QMessageBox::Icon icon);
    void LoadResourceLibrary();
    void CheckPatientFile();
    bool ProcessCommandLine(const std::vector<std::string>& args);

    AppContext& context_;
    StartupOptions options_;
    ViewFactories views_;
    CommandHandlers handlers_;
    InstanceLock instanceLock_;
    ResourceLibrary library_;
    Resources resources_;
    std::unique_ptr<ResourceTextSource> textSource_;
    std::vector<DocumentTemplate> templates_;
    std::unique_ptr<MainWindow> mainWindow_;
};

}  // namespace quenda
