// The Nights window's Shift Clock...: the button opens the dialog on the
// selected night, the dialog's hours and minutes become signed seconds, and
// the night moves in the library (as `quenda-cli nights shift` would).
#include "document/AppContext.h"
#include "nights/Library.h"
#include "store/DataFile.h"
#include "support/NightData.h"
#include "support/TempDir.h"
#include "views/NightsWindow.h"
#include "views/ShiftClockDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace quenda {

namespace fs = std::filesystem;

class ShiftClockTest : public QObject {
    Q_OBJECT
    test::TempDir dir_{"quenda-shift-clock"};
    fs::path library_ = dir_ / "library.sqlite";

    void SaveScreenshot(QWidget* widget, const QString& name) {
        const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
        if (dir.isEmpty() || !QDir().mkpath(dir)) return;
        widget->grab().save(dir + "/" + name + ".png");
    }

private slots:
    void initTestCase() {
        // One night of ID 3, an hour from 22:00 on 6 December 2026.
        std::vector<SampleRecord> samples;
        test::AppendRun(samples, 3, test::Secs(2026, 12, 6, 22, 0, 0), 3600);
        QVERIFY(WriteDataFile(dir_ / "ID3.dat", 3, samples, ""));
        const fs::path paths[] = {dir_ / "ID3.dat"};
        QVERIFY(AddToLibrary(library_, paths, {}).result);
    }

    void theDialogGivesSignedSeconds() {
        NightRow night;
        night.date = "2026-12-06";
        night.id = 3;
        night.start = test::Secs(2026, 12, 6, 22, 0, 0);
        ShiftClockDialog dialog(night);
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QCOMPARE(dialog.Seconds(), std::int64_t{0});
        QVERIFY(!ok->isEnabled());
        dialog.SetSeconds(-5400);
        QCOMPARE(dialog.Seconds(), std::int64_t{-5400});
        QCOMPARE(dialog.Preview(), QStringLiteral("It will start 2026-12-06 20:30:00."));
        QVERIFY(ok->isEnabled());
        dialog.SetSeconds(26 * 3600 + 60);
        QCOMPARE(dialog.Preview(), QStringLiteral("It will start 2026-12-08 00:01:00."));
        dialog.show();
        SaveScreenshot(&dialog, "shift-clock-dialog");
    }

    void theButtonShiftsTheSelectedNight() {
        AppContext context;
        std::vector<QString> told;
        NightsWindowHooks hooks;
        hooks.tell = [&](const QString& text) { told.push_back(text); };
        NightsWindow window(context, library_, std::move(hooks));
        QPushButton* button = nullptr;
        for (auto* b : window.findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Shift Clock...")) button = b;
        QVERIFY(button);
        window.SelectRow(0);
        QVERIFY(button->isEnabled());

        // The dialog as the user fills it: an hour and a quarter earlier.
        QTimer::singleShot(0, [] {
            auto* dialog = dynamic_cast<ShiftClockDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->SetSeconds(-4500);
            dialog->accept();
        });
        button->click();
        QCOMPARE(window.Rows()[0].StartText(), std::string("2026-12-06T20:45:00"));
        QCOMPARE(window.Rows()[0].clockShift, std::int64_t{-4500});

        // Refused by the library: said, and nothing moved.
        QVERIFY(!window.ShiftClock(0, -27LL * 366 * 86400));
        QCOMPARE(told.back(), QStringLiteral("Shifted so, night 1 would lie outside the years 2000 to 2127."));
        QCOMPARE(window.Rows()[0].clockShift, std::int64_t{-4500});
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ShiftClockTest)
#include "ShiftClockTest.moc"
