// The program as wired in main(): New Data Capture against the simulator on a
// pty, through the capture dialog, into the trend view; then Mode > Analysis
// on what was downloaded.
#include "app/AppContext.h"
#include "app/CMainFrame.h"
#include "base/CommandIds.h"
#include "app/Program.h"
#include "app/Resources.h"
#include "device/CDlgChooseType.h"
#include "integration/SimProcess.h"
#include "link/BluetoothLink.h"
#include "support/TempDir.h"
#include "views/ClinicalViewWindow.h"
#include "views/PrintDialogs.h"
#include "views/TrendViewWindow.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quenda {

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void captureDownloadsIntoTheTrendViewAndAnalysisFollows() {
        test::SimProcess sim({"--ids", "4:600,9:300", "--samples-per-frame", "100", "--no-pacing"});
        test::TempDir dir("quenda-program");
        AppContext context;
        context.settings = Settings(dir / "Quenda.ini");
        // "pts/N": the remembered port holds nine characters at most.
        QVERIFY(context.settings.WriteString("DefaultCOM", sim.path().substr(std::string("/dev/").size())));
        BluetoothLink bluetooth;
        Resources resources;
        const auto views = ProgramViews(context);
        CMainFrame frame(context, resources, DocTemplates(views), ProgramHandlers(context, bluetooth));
        frame.Create(0);
        frame.resize(1280, 800);
        frame.show();

        // Plays the user while the dialog runs modally: OK on every message,
        // then ID 9 and Done once the IDs are listed.
        QStringList messages;
        QTimer user;
        connect(&user, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                messages << box->text();
                box->button(QMessageBox::Ok)->click();
            } else if (auto* capture = qobject_cast<CDlgChooseType*>(modal); capture && capture->Listed()) {
                auto* list = capture->findChild<QListWidget*>("idList");
                const auto found = list->findItems("ID   9", Qt::MatchStartsWith);
                if (found.size() == 1) list->setCurrentItem(found.front());
                capture->findChild<QPushButton*>("startButton")->click();
            }
        });
        user.start(20);
        QVERIFY(frame.OnCommand(cmd::kNewDataCapture));  // returns when the dialog has closed
        user.stop();

        QVERIFY2(messages.contains("Connect succeed! Total 9 Frames!"), qPrintable(messages.join(" | ")));
        QCOMPARE(context.store.CurrentId, 9);
        QCOMPARE(context.store.CurrentSampleCount, 300);
        QCOMPARE(context.store.IdCount(4), 600);
        QCOMPARE(frame.Router().State().mode, 1);
        QVERIFY(qobject_cast<TrendViewWindow*>(frame.ActiveView()));
        QTRY_COMPARE(frame.PagePaneText(), QString("Page:1/1"));
        QCOMPARE(context.settings.ReadString("DefaultCOM", "", 10), sim.path().substr(5));

        QVERIFY(frame.OnCommand(cmd::kModeAnalysis));
        QCOMPARE(frame.Router().State().mode, 3);
        QVERIFY(!frame.Router().IsEnabled(cmd::kRollStep));  // the report is one page
        QVERIFY(frame.Router().IsEnabled(cmd::kPrintPreview));
        QVERIFY(context.analysis.statistics.spo2Maximum > 0);
        QVERIFY(context.analysis.statistics.prMaximum > 0);

        QVERIFY(frame.OnCommand(cmd::kModeClinical));
        QCOMPARE(frame.Router().State().mode, 4);
        auto* clinical = qobject_cast<ClinicalViewWindow*>(frame.ActiveView());
        QVERIFY(clinical);
        QCOMPARE(clinical->Summary().validSamples, 300);
        QTRY_COMPARE(frame.PagePaneText(), QString("Page:1/1"));
        // ...and stays so once the mode switch's own "no page" has gone by.
        QTest::qWait(100);
        QCOMPARE(frame.PagePaneText(), QString("Page:1/1"));
        QVERIFY(!frame.Router().IsEnabled(cmd::kRollStep));  // one page, nothing to roll
        QVERIFY(frame.Router().IsEnabled(cmd::kModeAnalysis));
        const QString shots = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            frame.grab().save(shots + "/clinical_mode.png");
        }

        // Print Preview shows the clinical page, as the other views show theirs.
        QString shown;
        QSize previewSize;
        QPrintPreviewWidget::ZoomMode previewZoom = QPrintPreviewWidget::CustomZoom;
        QTimer::singleShot(500, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            shown = modal->metaObject()->className();
            previewSize = modal->size();
            if (auto* widget = modal->findChild<QPrintPreviewWidget*>()) previewZoom = widget->zoomMode();
            if (!shots.isEmpty()) modal->grab().save(shots + "/clinical_print_preview.png");
            modal->close();
        });
        QVERIFY(frame.OnCommand(cmd::kPrintPreview));
        QCOMPARE(shown, QString("QPrintPreviewDialog"));
        // Four fifths of the main window, the whole page in view.
        QCOMPARE(previewSize, PreviewWindowSize(frame.size()));
        QCOMPARE(previewZoom, QPrintPreviewWidget::FitInView);
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ProgramTest)
#include "ProgramTest.moc"
