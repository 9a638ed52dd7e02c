// The optional resource library, found by plain name (the test points
// LD_LIBRARY_PATH at the test library built beside it): what it carries
// replaces the built-in strings, menu, tile and toolbar pictures; what it
// lacks stays built-in; after exit the built-in texts are back.

#include "ShellTestSupport.h"

#include "app/ResourceLibrary.h"
#include "app/TiledMdiArea.h"
#include "base/CommandIds.h"
#include "base/UiText.h"
#include "widgets/PageUpdate.h"

#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

namespace quenda {

class ResourceLibraryTest : public QObject {
    Q_OBJECT
private slots:
    void loadsByPlainNameAndRefusesOthers() {
        ResourceLibrary library;
        QVERIFY2(library.Load(), library.Error().c_str());
        QVERIFY(QFile::exists(ResourceLibrary::PathOf("strings.json")));
        library.Release();
        QVERIFY(!QFile::exists(ResourceLibrary::PathOf("strings.json")));

        QVERIFY(!library.Load("libQuendaResourceNotThere.so"));
        QVERIFY(!library.Error().empty());
        // A library that is not a resource library.
        QVERIFY(!library.Load("libc.so.6"));
        QVERIFY2(library.Error().find(ResourceLibrary::kEntryPoint) != std::string::npos, library.Error().c_str());
        QVERIFY(!library.Loaded());
    }

    void replacesWhatItCarriesUntilExit() {
        QTemporaryDir tmp;
        AppContext context;
        StartupOptions options;
        options.programDir = tmp.path().toStdString();
        options.userDataHome = tmp.path().toStdString();
        options.lockFile = tmp.filePath("quenda.lock").toStdString();
        options.splashMilliseconds = 0;
        options.watchDevices = false;
        options.showMessage = [](const std::string&, QMessageBox::Icon) {};
        Startup app(context, options, test::TestViews(context), {});
        QVERIFY(app.Start({}));
        QVERIFY(app.Library().Loaded());

        // Strings: by number and by built-in text; the rest stays built-in.
        QCOMPARE(UiText(str::kRunOne, "You have Run one"), std::string("TEST: a copy is running"));
        QCOMPARE(UiText("This command is not available yet."), std::string("TEST: not yet"));
        QCOMPARE(UiText(str::kCantOpenPatientFile, "Can't open pationtrec.dat file"),
                 std::string("Can't open pationtrec.dat file"));

        MainWindow* frame = app.Window();
        // The menu is the library's.
        QCOMPARE(frame->Popups().size(), std::size_t{2});
        QCOMPARE(frame->Popups()[0]->title(), QString("Test File(&T)"));
        QCOMPARE(frame->Popups()[1]->actions()[1]->text(), QString("Test Table"));
        // The toolbar layout is built-in, its pictures and tips the library's.
        QToolBar* bar = frame->ToolBar();
        QCOMPARE(bar->actions().size(), 8);
        QAction* capture = bar->actions()[0];
        QCOMPARE(capture->toolTip(), QString("TEST capture tip"));
        QCOMPARE(capture->statusTip(), QString("TEST capture prompt"));
        QCOMPARE(QColor(capture->icon().pixmap(17, 17).toImage().pixel(8, 8)), QColor(10, 200, 10));
        // The keyboard table is built-in.
        QCOMPARE(frame->ActionsFor(cmd::kGenericOpen).size(), std::size_t{1});
        // The background tile is the library's, with the text drawn in.
        const QImage tile = frame->MdiArea()->Tile();
        QCOMPARE(tile.size(), QSize(40, 30));
        QCOMPARE(QColor(tile.pixel(0, 0)), QColor(200, 40, 160));
        // Texts built from words the library replaced.
        PostPageUpdate(frame, 1, 3);
        QCoreApplication::processEvents();
        QCOMPARE(frame->PagePaneText(), QString("Pg:2/3"));
        test::SaveScreenshot(frame, "main_window_test_resource_library");

        app.Exit();
        QVERIFY(!app.Library().Loaded());
        QCOMPARE(UiText(str::kRunOne, "You have Run one"), std::string("You have Run one"));
        QVERIFY(!QFile::exists(ResourceLibrary::PathOf("menu128.json")));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ResourceLibraryTest)
#include "ResourceLibraryTest.moc"
