// quenda: the desktop program.

#include "app/LibraryExclusionStore.h"
#include "app/Program.h"
#include "app/Startup.h"
#include "document/AppContext.h"
#include "link/BluetoothLink.h"
#include "nights/ServerPasswords.h"
#include "views/LibraryDialog.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quenda");

    quenda::AppContext context;
    // What the user typed for a clinic server, kept in memory for the run.
    quenda::ServerPasswords passwords;
    // The exclusions of a data set live in the library of nights.
    quenda::LibraryExclusionStore exclusions([&context] { return quenda::ProgramLibraryLocation(context); },
                                             context.settings, [&context] { return context.patient.PatientFile(); },
                                             passwords.Remembering(quenda::DialogPasswordPrompt()));
    context.clinical.SetExclusionStore(&exclusions);
    quenda::BluetoothLink bluetooth;
    quenda::Startup startup(context, quenda::StartupOptions{}, quenda::ProgramViews(context),
                            quenda::ProgramHandlers(context, bluetooth, passwords));
    std::vector<std::string> args;
    for (const QString& arg : QApplication::arguments().mid(1)) args.push_back(arg.toStdString());
    if (!startup.Start(args)) {
        startup.Exit();
        return 1;
    }
    const int result = QApplication::exec();
    startup.Exit();
    return result;
}
