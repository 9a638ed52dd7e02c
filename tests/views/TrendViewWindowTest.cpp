// The trend view inside the main window: opened by the Trend template, fed
// from the application context, reporting its pages to the status bar and
// paging on the menu commands.
#include "base/CommandIds.h"
#include "app/Program.h"
#include "patient/PatientRecord.h"
#include "tools/sim/Recording.h"
#include "views/TableViewWindow.h"
#include "views/TrendViewWindow.h"

#include "app/ShellTestSupport.h"

#include <QTest>

namespace quenda {

class TrendViewWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensOnTheCurrentDataSetAndPages() {
        AppContext context;
        Resources resources;
        const ViewFactory trend = [&context](MainWindow&) { return new TrendViewWindow(context); };
        MainWindow frame(context, resources, {{DocKind::Trend, trend}, {DocKind::Table, trend}}, {});
        frame.Create(0);
        frame.resize(1280, 800);
        frame.show();

        for (const auto& r : sim::GenerateRecording(3, 8 * 3600, sim::DateTime{2026, 12, 6, 22, 30, 0}, 7)) {
            context.store.AppendSample(r);
        }
        context.store.SelectId(3);
        PatientRecord patient = context.patient.Current();
        SetFieldTextUtf8(patient.name, "Jane Doe");
        patient.age = 52;
        patient.height = 165;
        patient.weight = 62;
        patient.unitFlag = 1;
        context.patient.SetCurrent(patient);

        frame.Router().ShowCapturedData();
        auto* view = qobject_cast<TrendViewWindow*>(frame.ActiveView());
        QVERIFY(view);
        // The first paint may come before the child window has its final size.
        auto pageCount = [&frame] { return frame.PagePaneText().section('/', 1).toInt(); };
        QTRY_VERIFY(frame.PagePaneText().startsWith("Page:1/") && pageCount() > 1);
        const QString pages = QString::number(pageCount());
        QTRY_COMPARE(context.currentViewWindow.data(), static_cast<QWidget*>(view));

        QVERIFY(frame.OnCommand(cmd::kPageDown));
        QTRY_COMPARE(frame.PagePaneText(), "Page:2/" + pages);
        QVERIFY(frame.OnCommand(cmd::kPageUp));
        QTRY_COMPARE(frame.PagePaneText(), "Page:1/" + pages);
        test::SaveScreenshot(&frame, "main_window_trend_view");
    }

    // The program's own wiring: Table and Analysis open the table view, which
    // reads the mode at every paint.
    void tableAndAnalysisModesOpenTheTableView() {
        AppContext context;
        Resources resources;
        const ViewFactories views = ProgramViews(context);
        MainWindow frame(context, resources, {{DocKind::Trend, views.trend}, {DocKind::Table, views.table}}, {});
        frame.Create(0);
        frame.resize(1280, 800);
        frame.show();
        for (const auto& r : sim::GenerateRecording(3, 3600, sim::DateTime{2026, 12, 6, 22, 30, 0}, 7)) {
            context.store.AppendSample(r);
        }
        context.store.SelectId(3);
        frame.Router().ShowCapturedData();

        QVERIFY(frame.OnCommand(cmd::kModeTable));
        QTRY_VERIFY(qobject_cast<TableViewWindow*>(frame.ActiveView()));
        QTRY_VERIFY(frame.PagePaneText().startsWith("Page:1/"));
        QVERIFY(frame.OnCommand(cmd::kPageDown));
        QTRY_VERIFY(frame.PagePaneText().startsWith("Page:2/"));
        QVERIFY(frame.OnCommand(cmd::kModeAnalysis));
        QTRY_VERIFY(qobject_cast<TableViewWindow*>(frame.ActiveView()));
        QTRY_COMPARE(frame.PagePaneText(), QString("Page:1/1"));
        QVERIFY(frame.OnCommand(cmd::kPageDown));
        QTest::qWait(50);
        QCOMPARE(frame.PagePaneText(), QString("Page:1/1"));
        QCOMPARE(context.views.currentPageIndex, 0);
        test::SaveScreenshot(&frame, "main_window_analysis_view");
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::TrendViewWindowTest)
#include "TrendViewWindowTest.moc"
