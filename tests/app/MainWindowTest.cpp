// The main window over its built-in resources: the greying of every menu
// item, toolbar button and key in every display state, Close, the page pane,
// the painted background, device arrival and the message sink.

#include "ShellTestSupport.h"

#include "app/AboutDialog.h"
#include "app/Bitmaps.h"
#include "app/DeviceArrivalMonitor.h"
#include "app/SplashDialog.h"
#include "app/TiledMdiArea.h"
#include "app/XkbLockKeys.h"
#include "base/CommandIds.h"
#include "widgets/MessageBox.h"
#include "widgets/PageUpdate.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

namespace quenda {

using test::FrameFixture;
using test::SaveScreenshot;

namespace {

// The greying table, written out from the command table: which commands are
// enabled with these flags, this mode, and with or without an open view.
bool ExpectedEnabled(int id, int otherIdUnavailable, int noData, int mode, bool view) {
    switch (id) {
        case cmd::kNewDataCapture:
        case cmd::kFindBluetoothRadio:
        case cmd::kOpenSavedData:
        case cmd::kNights:
        case cmd::kImport:
        case cmd::kGenericOpen:
        case cmd::kExit:
        case cmd::kAnalysisSetup:
        case cmd::kClinicalSetup:
        case cmd::kLibrarySetup:
        case cmd::kUnitSetup:
        case cmd::kAbout: return true;
        case cmd::kOpenOtherIdData: return otherIdUnavailable == 0;
        case cmd::kSaveData:
        case cmd::kGenericSave:
        case cmd::kEventListing:
        case cmd::kClose:
        case cmd::kUserInfo:
        case cmd::kReportTitle: return noData == 0;
        case cmd::kModeTrend: return mode == 2 || mode == 3 || mode == 4;
        case cmd::kModeTable: return mode == 1 || mode == 3 || mode == 4;
        case cmd::kModeAnalysis: return mode == 1 || mode == 2 || mode == 4;
        case cmd::kModeClinical: return mode >= 1 && mode <= 3;
        case cmd::kPrint:
        case cmd::kPrintPreview:
        case cmd::kRollStep:
        case cmd::kPageUp:
        case cmd::kPageDown:
        case cmd::kExcludeSpan:
        case cmd::kIncludeSpan:
        case cmd::kExcludeBeforeCursor:
        case cmd::kExcludeAfterCursor: return view;
        default:  // undo, cut, copy, paste, next and previous pane
            return false;
    }
}

QStringList Texts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions()) texts << (action->isSeparator() ? "-" : action->text());
    return texts;
}

// A machine's port list that a test changes, with an on-board port to begin.
struct PortList : PortEnumerator {
    std::vector<std::string> names{"Communications Port (COM1)"};
    std::vector<std::string> FriendlyNames() override { return names; }
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void menuCarriesEveryItemWithItsExactText() {
        FrameFixture f;
        const auto popups = f.frame->Popups();
        QCOMPARE(popups.size(), std::size_t{5});
        QStringList titles;
        for (const QMenu* popup : popups) titles << popup->title();
        QCOMPARE(titles, QStringList({"File(&F)", "Edit", "Mode", "Options", "About(&A)"}));
        QCOMPARE(
            Texts(popups[0]),
            QStringList({"NewDataCapture (&N)\tCtrl+N", "Find bluetooth radio", "Open Other ID Data", "-",
                         "Save Data(&S)...", "Open Saved Data(&O)...\tCtrl+O", "Import(&I)...", "Nights...\tCtrl+L",
                         "Check out the SpO2 event time...", "Close", "-", "PrintPreView", "Print", "-", "Exit(&X)"}));
        QCOMPARE(Texts(popups[1]), QStringList({"User Info", "Report Title", "-", "Exclude Span", "Include Span",
                                                "Exclude Before Cursor", "Exclude After Cursor"}));
        QCOMPARE(Texts(popups[2]), QStringList({"Trend", "Table", "Analysis", "Clinical"}));
        QCOMPARE(Texts(popups[3]),
                 QStringList({"Roll Step", "Analysis Setup", "Unit Setup", "Clinical Setup\u2026", "Library\u2026"}));
        QCOMPARE(Texts(popups[4]), QStringList({"About \t(&A)..."}));
        // Each item carries its command id, and its prompt for the status bar.
        QCOMPARE(popups[0]->actions()[0]->data().toInt(), cmd::kNewDataCapture);
        QCOMPARE(popups[2]->actions()[2]->data().toInt(), cmd::kModeAnalysis);
        QCOMPARE(popups[2]->actions()[3]->data().toInt(), cmd::kModeClinical);
        QCOMPARE(popups[0]->actions()[0]->statusTip(), QString("Capture new data from the recorder"));
        QCOMPARE(f.frame->windowTitle(), QString("Quenda"));
    }

    void toolbarHasTheButtonsInOrderWithTipsAndPrompts() {
        FrameFixture f;
        QToolBar* bar = f.frame->ToolBar();
        QVERIFY(bar);
        QList<int> ids;
        for (const QAction* action : bar->actions()) ids << (action->isSeparator() ? 0 : action->data().toInt());
        QCOMPARE(ids, QList<int>({57600, 32786, 32813, 57607, 0, 32773, 32774, 57664}));
        QCOMPARE(bar->iconSize(), QSize(17, 17));
        QVERIFY(bar->isMovable());  // the gripper
        QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
        QCOMPARE(f.frame->toolBarArea(bar), Qt::TopToolBarArea);
        const QAction* print = bar->actions()[3];
        QCOMPARE(print->toolTip(), QString("Print"));
        QCOMPARE(print->statusTip(), QString("Print the active page"));
        QVERIFY(!print->icon().isNull());
    }

    void keyboardTableMapsEveryKey() {
        FrameFixture f;
        const std::pair<int, const char*> keys[] = {
            {57600, "Ctrl+N"},    {57607, "Ctrl+P"},   {57601, "Ctrl+O"},
            {57603, "Ctrl+S"},    {57643, "Ctrl+Z"},   {57635, "Ctrl+X"},
            {57634, "Ctrl+C"},    {57637, "Ctrl+V"},   {57643, "Alt+Backspace"},
            {57635, "Shift+Del"}, {57634, "Ctrl+Ins"}, {57637, "Shift+Ins"},
            {57680, "F6"},        {57681, "Shift+F6"}, {cmd::kNights, "Ctrl+L"}};
        for (const auto& [id, key] : keys) {
            bool found = false;
            for (const QAction* action : f.frame->ActionsFor(id)) {
                found = found || action->shortcut() == QKeySequence(key, QKeySequence::PortableText);
            }
            QVERIFY2(found, key);
        }
        // Menu items carry no shortcut of their own: the key shows after the tab.
        QVERIFY(f.frame->Popups()[0]->actions()[0]->shortcut().isEmpty());
    }

    void greyingFollowsTheFlagsTheModeAndTheView() {
        FrameFixture f;
        CommandRouter& router = f.frame->Router();
        for (const bool view : {false, true}) {
            if (view) {
                router.ShowCapturedData();
            } else {
                router.CloseDocuments();
            }
            QCOMPARE(f.frame->ActiveView() != nullptr, view);
            for (int mode = 0; mode <= 4; ++mode) {
                for (int otherId = 0; otherId <= 1; ++otherId) {
                    for (int noData = 0; noData <= 1; ++noData) {
                        router.SetState({otherId, noData, mode});
                        // Dropping any menu settles the greying of all commands.
                        emit f.frame->Popups()[2]->aboutToShow();
                        for (QAction* action : f.frame->findChildren<QAction*>()) {
                            if (action->isSeparator() || action->data().isNull()) continue;
                            const int id = action->data().toInt();
                            QVERIFY2(action->isEnabled() == ExpectedEnabled(id, otherId, noData, mode, view),
                                     qPrintable(QString("id %1 state %2/%3/%4 view %5")
                                                    .arg(id)
                                                    .arg(otherId)
                                                    .arg(noData)
                                                    .arg(mode)
                                                    .arg(view)));
                        }
                    }
                }
            }
        }
    }

    void closeResetsTheStateAndThePagePane() {
        FrameFixture f;
        f.frame->show();
        CommandRouter& router = f.frame->Router();
        router.OnCaptureListedData();
        router.ShowCapturedData();
        QVERIFY(f.frame->OnCommand(cmd::kModeTable));
        QCOMPARE(f.frame->ActiveView()->objectName(), QString("table"));
        PostPageUpdate(f.frame.get(), 2, 6);
        QTRY_COMPARE(f.frame->PagePaneText(), QString("Page:3/6"));

        // From the menu, as the user does it.
        QAction* close = f.frame->Popups()[0]->actions()[9];
        QCOMPARE(close->text(), QString("Close"));
        close->trigger();
        QCOMPARE(f.frame->DocumentCount(), 0);
        QCOMPARE(router.State(), (DisplayState{1, 1, kModeNone}));
        QTRY_COMPARE(f.frame->PagePaneText(), QString("Page:"));
        emit f.frame->Popups()[0]->aboutToShow();
        for (QAction* action : f.frame->Popups()[2]->actions()) QVERIFY(!action->isEnabled());
        QVERIFY(!f.frame->ActionsFor(cmd::kSaveData)[0]->isEnabled());
        QVERIFY(!f.frame->ActionsFor(cmd::kPageDown)[0]->isEnabled());
        QVERIFY(f.frame->ActionsFor(cmd::kOpenSavedData)[0]->isEnabled());
    }

    void pageUpdateIsPostedAndFormatted() {
        FrameFixture f;
        PostPageUpdate(f.frame.get(), 4, 9);
        // Posted, not sent: the pane changes once the event loop runs.
        QCOMPARE(f.frame->PagePaneText(), QString());
        QCoreApplication::processEvents();
        QCOMPARE(f.frame->PagePaneText(), QString("Page:5/9"));
        PostPageUpdate(f.frame.get(), 0, 0);
        QCoreApplication::processEvents();
        QCOMPARE(f.frame->PagePaneText(), QString("Page:"));
        // The page pane is wide enough for its sizing string.
        QLabel* pane = f.frame->StatusPanes()[0];
        QVERIFY(pane->minimumWidth() >= pane->fontMetrics().horizontalAdvance("Page:          "));
        QCOMPARE(f.frame->StatusPanes().size(), std::size_t{4});
        QCOMPARE(f.frame->IdleText(), QString("Ready"));
    }

    void modeSwitchOpensTheTemplatesViewWhichBecomesCurrent() {
        FrameFixture f;
        f.frame->show();
        f.context.views.currentPageIndex = 5;
        f.frame->Router().ShowCapturedData();
        QVERIFY(f.frame->OnCommand(cmd::kModeAnalysis));
        QCOMPARE(f.frame->DocumentCount(), 1);
        QCOMPARE(f.context.views.currentPageIndex, 0);
        QWidget* view = f.frame->ActiveView();
        QCOMPARE(view->objectName(), QString("table"));
        QCOMPARE(f.context.currentViewWindow.data(), view);
        QVERIFY(view->isVisible());
        QVERIFY(f.frame->isMaximized());
        // The view's own paging reaches it from the toolbar.
        QAction* pageDown = f.frame->ToolBar()->actions()[6];
        QVERIFY(pageDown->isEnabled());
        pageDown->trigger();
        QTRY_COMPARE(f.frame->PagePaneText(), QString("Page:"));
    }

    void keysReachTheCommands() {
        int captures = 0;
        CommandHandlers handlers;
        handlers.runCaptureDialog = [&](MainWindow&) { ++captures; };
        FrameFixture f(handlers);
        f.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        QTest::keyClick(f.frame.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(captures, 1);
        // Ctrl+S is Save Data, greyed without data: nothing happens.
        QTest::keyClick(f.frame.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.frame->Router().State(), DisplayState{});
    }

    void backgroundIsTiledFromTheTopLeftCorner() {
        FrameFixture f;
        TiledMdiArea* client = f.frame->MdiArea();
        // The built-in tile carries "Quenda" in light grey.
        const QImage builtIn = client->Tile();
        QVERIFY(!builtIn.isNull());
        bool hasText = false;
        for (int y = 0; y < builtIn.height() && !hasText; ++y) {
            for (int x = 0; x < builtIn.width() && !hasText; ++x)
                hasText = builtIn.pixel(x, y) == TiledMdiArea::kTextColour;
        }
        QVERIFY(hasText);

        QImage tile(40, 30, QImage::Format_RGB32);
        tile.fill(QColor(0, 0, 200));
        tile.setPixel(0, 0, qRgb(255, 0, 0));
        client->SetBackgroundBitmap(tile);
        for (const QSize size : {QSize(95, 70), QSize(130, 101)}) {
            client->resize(size);
            const QImage shown = client->viewport()->grab().toImage();
            for (int x = 0; x < shown.width(); x += 40) {
                for (int y = 0; y < shown.height(); y += 30) {
                    QCOMPARE(QColor(shown.pixel(x, y)), QColor(255, 0, 0));
                    QCOMPARE(QColor(shown.pixel(x + 1, y)), QColor(0, 0, 200));
                }
            }
        }
        client->SetBackgroundColour(TiledMdiArea::Rgb(10, 120, 30));
        QCOMPARE(QColor(client->viewport()->grab().toImage().pixel(0, 0)), QColor(10, 120, 30));
        // Neither colour nor bitmap: the area's own background.
        client->SetBackgroundColour(TiledMdiArea::kNoColour);
        client->SetBackgroundBitmap(QImage());
        QCOMPARE(client->viewport()->grab().toImage().pixel(0, 0), client->background().color().rgb());
    }

    void deviceArrivalRunsCaptureOnlyOnTheSerialLink() {
        int captures = 0;
        CommandHandlers handlers;
        handlers.runCaptureDialog = [&](MainWindow&) { ++captures; };
        handlers.findBluetoothRadio = [](MainWindow&) {};
        FrameFixture f(handlers);
        // Right after start-up an arrival opens the capture dialog.
        f.frame->OnDeviceArrival();
        QCOMPARE(captures, 1);
        // Not after Find bluetooth radio ...
        f.frame->OnCommand(cmd::kFindBluetoothRadio);
        f.frame->OnDeviceArrival();
        QCOMPARE(captures, 1);
        // ... and again after New Data Capture.
        f.frame->OnCommand(cmd::kNewDataCapture);
        QCOMPARE(captures, 2);
        f.frame->OnDeviceArrival();
        QCOMPARE(captures, 3);
    }

    void arrivalIsANewRecorderPortAfterTheSettlingDelay() {
        auto ports = std::make_unique<PortList>();
        PortList* list = ports.get();
        DeviceArrivalMonitor monitor;
        QSignalSpy arrivals(&monitor, &DeviceArrivalMonitor::deviceArrived);
        monitor.StartInjected(std::move(ports), 20);
        // A virtual terminal, and a recorder port the port list does not show.
        monitor.DeviceEvent("add", "tty7");
        monitor.DeviceEvent("add", "ttyUSB0");
        QVERIFY(!arrivals.wait(100));
        // A bridge that announces two ports while settling: one arrival,
        // reported only after the delay.
        list->names.push_back("Silicon Labs CP2105 Dual USB to UART Bridge Controller (ttyUSB0)");
        list->names.push_back("Silicon Labs CP2105 Dual USB to UART Bridge Controller (ttyUSB1)");
        monitor.DeviceEvent("add", "ttyUSB0");
        monitor.DeviceEvent("add", "ttyUSB1");
        QCOMPARE(arrivals.count(), 0);
        QVERIFY(arrivals.wait());
        QVERIFY(!arrivals.wait(100));
        QCOMPARE(arrivals.count(), 1);
        // Unplugged and plugged in again: a new arrival.
        list->names.pop_back();
        monitor.DeviceEvent("remove", "ttyUSB1");
        QVERIFY(!arrivals.wait(100));
        list->names.push_back("Silicon Labs CP2105 Dual USB to UART Bridge Controller (ttyUSB1)");
        monitor.DeviceEvent("add", "ttyUSB1");
        QVERIFY(arrivals.wait());
        QCOMPARE(arrivals.count(), 2);
    }

    void pollingSeesANewPort() {
        auto ports = std::make_unique<PortList>();
        PortList* list = ports.get();
        DeviceArrivalMonitor monitor;
        QSignalSpy arrivals(&monitor, &DeviceArrivalMonitor::deviceArrived);
        monitor.StartPolling(std::move(ports), 10, 10);
        QCOMPARE(monitor.ActiveSource(), DeviceArrivalMonitor::Source::Polling);
        QTest::qWait(50);
        QCOMPARE(arrivals.count(), 0);
        list->names.push_back("CP2102 USB to UART Bridge Controller (ttyUSB0)");
        QVERIFY(arrivals.wait());
    }

    void keyboardIndicatorsAreUnknownWithoutAnXServer() {
        // Offscreen there is no display to ask; the status bar then goes by
        // the keyboard lights alone.
        QVERIFY(!ReadXkbLockKeys());
    }

    void kernelMonitorStartsOrFallsBackToPolling() {
        DeviceArrivalMonitor monitor;
        const auto source = monitor.Start();
        QVERIFY(source == DeviceArrivalMonitor::Source::KernelEvents ||
                source == DeviceArrivalMonitor::Source::Polling);
    }

    void notAvailableCommandsSaySo() {
        FrameFixture f;
        QString shown;
        test::CloseNextModal([&](const QString& text) { shown = text; });
        QVERIFY(f.frame->OnCommand(cmd::kOpenSavedData));
        QVERIFY(shown.contains("Open Saved Data"));
        QVERIFY(shown.contains("not available yet"));
    }

    void screenshots() {
        FrameFixture f;
        f.frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
        SaveScreenshot(f.frame.get(), "main_window_no_document");

        QMenu* file = f.frame->Popups()[0];
        file->popup(f.frame->mapToGlobal(QPoint(0, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        SaveScreenshot(file, "main_window_file_menu_no_document");
        file->hide();

        f.frame->Router().OnCaptureListedData();
        f.frame->Router().ShowCapturedData();
        QCoreApplication::processEvents();
        QCOMPARE(f.frame->PagePaneText(), QString("Page:"));
        SaveScreenshot(f.frame.get(), "main_window_one_document");
        QMenu* mode = f.frame->Popups()[2];
        mode->popup(f.frame->mapToGlobal(QPoint(100, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(mode));
        SaveScreenshot(mode, "main_window_mode_menu_trend");
        mode->hide();

        AboutDialog about(LoadBitmap(f.resources, res::kAboutBitmap));
        SaveScreenshot(&about, "about_dialog");
        QCOMPARE(about.findChild<QLabel*>("version")->text(), QString("Ver 3.2.4"));
        QCOMPARE(about.findChild<QLabel*>("date")->text(), QString("2010-08-03"));
        SplashDialog splash(LoadBitmap(f.resources, res::kSplashBitmap));
        QCOMPARE(splash.size(), QSize(450, 257));
        SaveScreenshot(&splash, "splash");
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::MainWindowTest)
#include "MainWindowTest.moc"
