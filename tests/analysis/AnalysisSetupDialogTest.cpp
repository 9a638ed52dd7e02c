#include "analysis/AnalysisSetupDialog.h"
#include "base/Settings.h"
#include "widgets/NoPasteLineEdit.h"
#include "widgets/StepArrows.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <fstream>
#include <memory>

namespace quenda {

namespace {

enum Box { kSpo2High, kSpo2Low, kPrHigh, kPrLow, kDesaturation, kPulseEvent };

const char* const kKeys[] = {
    settings_key::kSaturationsHigh, settings_key::kSaturationsLow,     settings_key::kPrHigh,
    settings_key::kPrLow,           settings_key::kDesaturationsEvent, settings_key::kPulseEvent};

QStringList Texts(const AnalysisSetupDialog& dialog) {
    QStringList texts;
    for (int i = 0; i < AnalysisSetupDialog::kValueCount; ++i) texts << dialog.Edit(i)->text();
    return texts;
}

}  // namespace

class AnalysisSetupDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Settings> settings_;
    QStringList messages_;

    std::filesystem::path IniPath() const { return std::filesystem::path(dir_->filePath("Quenda.ini").toStdString()); }

    std::unique_ptr<AnalysisSetupDialog> Open() {
        auto dialog = std::make_unique<AnalysisSetupDialog>(*settings_, [this](const QString& m) { messages_ << m; });
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        if (!QTest::qWaitForWindowActive(dialog.get())) qWarning("dialog did not become active");
        return dialog;
    }

    void Store(Box box, int value) { QVERIFY(settings_->WriteInt(kKeys[box], value)); }
    int Stored(Box box) const { return settings_->ReadInt(kKeys[box], -9999); }

    // Replaces the box's text the way a user does: select it all and type.
    static void Type(AnalysisSetupDialog& dialog, Box box, const QString& text) {
        NoPasteLineEdit* edit = dialog.Edit(box);
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    static void Leave(AnalysisSetupDialog& dialog, Box box) { QTest::keyClick(dialog.Edit(box), Qt::Key_Tab); }
    static void ClickOk(AnalysisSetupDialog& dialog) {
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        settings_ = std::make_unique<Settings>(IniPath());
        messages_.clear();
    }

    void withoutSettingsFileShowsTheDefaults() {
        auto dialog = Open();
        QCOMPARE(Texts(*dialog), QStringList({"94", "88", "150", "60", "4", "6"}));
        QCOMPARE(dialog->windowTitle(), QString("Analysis setup"));
    }

    void showsStoredValuesEvenOutOfRange() {
        // Put there by hand; shown as it is, checked only when touched.
        Store(kPrHigh, 400);
        Store(kPrLow, 0);
        Store(kDesaturation, 9);
        auto dialog = Open();
        QCOMPARE(Texts(*dialog), QStringList({"94", "88", "400", "0", "9", "6"}));
        // Leaving a box that reads 0 or less is let pass.
        dialog->Edit(kPrLow)->setFocus(Qt::MouseFocusReason);
        Leave(*dialog, kPrLow);
        QCOMPARE(dialog->Edit(kPrLow)->text(), QString("0"));
        QVERIFY(messages_.isEmpty());
    }

    void spo2PairCheckKeepsTheStoredPairAndSavesTheRest() {
        Store(kSpo2High, 95);
        Store(kSpo2Low, 90);
        auto dialog = Open();
        Type(*dialog, kSpo2High, "94");
        Leave(*dialog, kSpo2High);
        Type(*dialog, kSpo2Low, "94");
        Leave(*dialog, kSpo2Low);
        Type(*dialog, kPrLow, "55");
        Type(*dialog, kPulseEvent, "8");
        ClickOk(*dialog);
        QCOMPARE(messages_, QStringList({"Error ! The SpO2 high value must large than low value !"}));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(Stored(kSpo2High), 95);
        QCOMPARE(Stored(kSpo2Low), 90);
        QCOMPARE(Stored(kPrHigh), 150);
        QCOMPARE(Stored(kPrLow), 55);
        QCOMPARE(Stored(kDesaturation), 4);
        QCOMPARE(Stored(kPulseEvent), 8);
    }

    void prPairCheckKeepsTheStoredPairAndSavesTheRest() {
        auto dialog = Open();
        Type(*dialog, kPrHigh, "80");
        Leave(*dialog, kPrHigh);
        Type(*dialog, kPrLow, "120");
        Leave(*dialog, kPrLow);
        Type(*dialog, kSpo2Low, "85");
        ClickOk(*dialog);
        QCOMPARE(messages_, QStringList({"Error ! The PR high value must large than low value !"}));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        // No file before: the pair goes back to (and is written as) the defaults.
        QCOMPARE(Stored(kPrHigh), 150);
        QCOMPARE(Stored(kPrLow), 60);
        QCOMPARE(Stored(kSpo2Low), 85);
    }

    void bothPairsFailingShowBothMessages() {
        auto dialog = Open();
        Type(*dialog, kSpo2Low, "99");
        Leave(*dialog, kSpo2Low);
        Type(*dialog, kPrLow, "299");
        ClickOk(*dialog);
        QCOMPARE(messages_.size(), 2);
        QVERIFY(messages_[0].contains("SpO2"));
        QVERIFY(messages_[1].contains("PR"));
        QCOMPARE(Stored(kSpo2Low), 88);
        QCOMPARE(Stored(kPrLow), 60);
    }

    void pairCheckComparesAsUnsigned() {
        // A negative low limit put in by hand is huge as unsigned, so 94 is not above it.
        std::ofstream(IniPath()) << "[setup]\nSaturationsLow=-1\n";
        auto dialog = Open();
        dialog->Edit(kPrHigh)->setFocus();
        QTest::keyClick(dialog->Edit(kPrHigh), Qt::Key_Return);
        QCOMPARE(messages_, QStringList({"Error ! The SpO2 high value must large than low value !"}));
        QCOMPARE(Stored(kSpo2Low), -1);
        QCOMPARE(Stored(kSpo2High), 94);
    }

    void spinningStopsAtBothEndsOfTheRange() {
        Store(kDesaturation, 20);
        Store(kPulseEvent, 1);
        auto dialog = Open();
        QTest::mouseClick(dialog->Spin(kDesaturation)->UpButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kDesaturation)->text(), QString("20"));
        QTest::mouseClick(dialog->Spin(kPulseEvent)->DownButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kPulseEvent)->text(), QString("1"));
        QTest::mouseClick(dialog->Spin(kDesaturation)->DownButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kDesaturation)->text(), QString("19"));
        QTest::mouseClick(dialog->Spin(kPulseEvent)->UpButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kPulseEvent)->text(), QString("2"));
        QVERIFY(messages_.isEmpty());
        // Spinning writes nothing until OK.
        QCOMPARE(Stored(kDesaturation), 20);
    }

    void spinStartsFromTheTypedValuesAndPullsOutOfRangeValuesIn() {
        Store(kPrHigh, 400);  // by hand
        auto dialog = Open();
        Type(*dialog, kSpo2High, "97");  // typed, not yet left
        QTest::mouseClick(dialog->Spin(kSpo2High)->UpButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kSpo2High)->text(), QString("98"));
        QTest::mouseClick(dialog->Spin(kPrHigh)->UpButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kPrHigh)->text(), QString("300"));
        // The arrows leave the focus where it was, so no leaving check ran.
        QCOMPARE(QApplication::focusWidget(), dialog->Edit(kSpo2High));
        QVERIFY(messages_.isEmpty());
    }

    void leavingABoxWithAnOutOfRangeValue_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("pulse high 301") << int(kPrHigh) << "301"
                                        << "Please input a num between 15 and 300 !";
        QTest::newRow("pulse low 14") << int(kPrLow) << "14"
                                      << "Please input a num between 15 and 300 !";
        QTest::newRow("SpO2 high 101") << int(kSpo2High) << "101"
                                       << "Please input a num between 40 and 100 !";
        QTest::newRow("SpO2 low 39") << int(kSpo2Low) << "39"
                                     << "Please input a num between 40 and 100 !";
        QTest::newRow("desaturation 21") << int(kDesaturation) << "21"
                                         << "Please input a num between 1 and 20 !";
        QTest::newRow("too long for an int") << int(kPulseEvent) << "99999999999"
                                             << "Please input a num between 1 and 20 !";
    }
    void leavingABoxWithAnOutOfRangeValue() {
        QFETCH(int, box);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        const std::array<int, 6> stored = {96, 86, 160, 50, 5, 7};
        for (int i = 0; i < 6; ++i) Store(Box(i), stored[static_cast<std::size_t>(i)]);
        auto dialog = Open();
        Type(*dialog, Box(box), typed);
        QVERIFY(messages_.isEmpty());
        Leave(*dialog, Box(box));
        QCOMPARE(messages_, QStringList({message}));
        QCOMPARE(dialog->Edit(box)->text(), QString::number(stored[static_cast<std::size_t>(box)]));
        QVERIFY(dialog->isVisible());
    }

    void leavingABoxInRangeTakesItAndOkSavesIt() {
        auto dialog = Open();
        Type(*dialog, kPrHigh, "300");
        Leave(*dialog, kPrHigh);
        Type(*dialog, kDesaturation, "1");
        Leave(*dialog, kDesaturation);
        QVERIFY(messages_.isEmpty());
        QCOMPARE(dialog->Values()[kPrHigh], 300);
        QCOMPARE(dialog->Values()[kDesaturation], 1);
        ClickOk(*dialog);
        QCOMPARE(Stored(kPrHigh), 300);
        QCOMPARE(Stored(kDesaturation), 1);
    }

    void emptiedBoxGetsItsRangeMessageAndItsStoredValue() {
        Store(kPrLow, 45);
        auto dialog = Open();
        Type(*dialog, kPrLow, "7");  // typing alone is not checked against the range
        QVERIFY(messages_.isEmpty());
        QCOMPARE(dialog->Edit(kPrLow)->text(), QString("7"));
        QTest::keyClick(dialog->Edit(kPrLow), Qt::Key_Backspace);
        QCOMPARE(messages_, QStringList({"Please input a num between 15 and 300 !"}));
        QCOMPARE(dialog->Edit(kPrLow)->text(), QString("45"));

        // The stored value, not the one last shown.
        messages_.clear();
        QTest::mouseClick(dialog->Spin(kPrLow)->UpButton(), Qt::LeftButton);
        QCOMPARE(dialog->Edit(kPrLow)->text(), QString("46"));
        Type(*dialog, kPrLow, "");
        QTest::keyClick(dialog->Edit(kPrLow), Qt::Key_Delete);
        QCOMPARE(messages_, QStringList({"Please input a num between 15 and 300 !"}));
        QCOMPARE(dialog->Edit(kPrLow)->text(), QString("45"));

        messages_.clear();
        Type(*dialog, kDesaturation, "0");
        QCOMPARE(messages_, QStringList({"Please input a num between 1 and 20 !"}));
        QCOMPARE(dialog->Edit(kDesaturation)->text(), QString("4"));
    }

    void boxesTakeDigitsOnly() {
        auto dialog = Open();
        Type(*dialog, kPrHigh, "1a2-3 ");
        QCOMPARE(dialog->Edit(kPrHigh)->text(), QString("123"));
    }

    void enterWithoutLeavingAppliesTheRangeCheckFirst_data() {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("desaturation 55") << int(kDesaturation) << "55"
                                         << "Please input a num between 1 and 20 !";
        QTest::newRow("SpO2 high 500") << int(kSpo2High) << "500"
                                       << "Please input a num between 40 and 100 !";
        QTest::newRow("pulse low 14") << int(kPrLow) << "14"
                                      << "Please input a num between 15 and 300 !";
    }
    void enterWithoutLeavingAppliesTheRangeCheckFirst() {
        // The value typed and confirmed with Enter, never leaving its box, gets
        // the message of leaving it and its stored value back; the other
        // changes are saved and the dialog closes as after any OK.
        QFETCH(int, box);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        auto dialog = Open();
        Type(*dialog, kPulseEvent, "8");
        Leave(*dialog, kPulseEvent);
        Type(*dialog, Box(box), typed);
        QTest::keyClick(dialog->Edit(box), Qt::Key_Return);
        QCOMPARE(messages_, QStringList({message}));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
        const std::array<int, 6> defaults = {94, 88, 150, 60, 4, 6};
        QCOMPARE(Stored(Box(box)), defaults[static_cast<std::size_t>(box)]);
        QCOMPARE(Stored(kPulseEvent), 8);
    }

    void cancelWritesNothing() {
        auto dialog = Open();
        Type(*dialog, kSpo2High, "99");
        Leave(*dialog, kSpo2High);
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(!std::filesystem::exists(IniPath()));
    }

    void runAnalysisSetupSaysWhetherOkEndedIt() {
        for (const bool ok : {true, false}) {
            QTimer::singleShot(0, [ok] {
                auto* dialog = qobject_cast<AnalysisSetupDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* buttons = dialog->findChild<QDialogButtonBox*>();
                buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
            });
            QCOMPARE(RunAnalysisSetup(nullptr, *settings_, [this](const QString& m) { messages_ << m; }), ok);
        }
        QCOMPARE(Stored(kPrHigh), 150);
    }

    void screenshot() {
        auto dialog = Open();
        const QByteArray dir = qgetenv("QUENDA_SCREENSHOT_DIR");
        if (dir.isEmpty()) QSKIP("QUENDA_SCREENSHOT_DIR not set");
        QDir().mkpath(QString::fromLocal8Bit(dir));
        QVERIFY(dialog->grab().save(QString::fromLocal8Bit(dir) + "/analysis_setup.png"));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::AnalysisSetupDialogTest)
#include "AnalysisSetupDialogTest.moc"
