// quenda: the desktop program.

#include "app/AppContext.h"
#include "app/CTalloApp.h"
#include "app/CMainFrame.h"
#include "views/PlaceholderView.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quenda");

    quenda::AppContext context;

    // Until the trend and table views exist, both templates open a placeholder.
    quenda::ViewFactories views;
    views.trend = [&context](quenda::CMainFrame&) { return new quenda::PlaceholderView(context); };
    views.table = views.trend;

    // The dialogs of the other subsystems plug in here as they arrive.
    quenda::CommandHandlers handlers;

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
