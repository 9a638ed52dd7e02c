#include "base/Settings.h"
#include "patient/PatientCommands.h"
#include "patient/PatientContext.h"
#include "patient/PatientInfoDialog.h"
#include "patient/ReportTitle.h"
#include "patient/ReportTitleDialog.h"
#include "patient/UnitSetupDialog.h"
#include "store/RecordingStore.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <memory>

namespace quenda {

namespace {

// Records what the dialogs would have shown in message boxes.
struct Prompts {
    QStringList messages;
    QStringList questions;
    bool answer = true;

    DialogPrompts Make() {
        return {[this](const QString& text) { messages << text; },
                [this](const QString& text) {
                    questions << text;
                    return answer;
                }};
    }
};

template <typename T>
T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(name);
    if (child == nullptr) qFatal("no child %s", name);
    return child;
}

void SaveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    QVERIFY(widget->grab().save(dir + "/" + name + ".png"));
}

std::string ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

PatientRecord Record(int id, const char* name, float height, float weight, int unitFlag) {
    PatientRecord record;
    record.id = id;
    SetFieldTextUtf8(record.name, name);
    record.gender = kGenderFemale;
    record.age = 64;
    record.height = height;
    record.weight = weight;
    record.unitFlag = unitFlag;
    SetFieldBytes(record.text2, "kept");
    return record;
}

// Runs `drive` on the modal dialog as soon as it is shown.
void WhenModal(std::function<void(QWidget*)> drive) {
    QTimer::singleShot(0, [drive = std::move(drive)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) qFatal("no modal dialog");
        drive(modal);
    });
}

}  // namespace

class PatientDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<RecordingStore> store_;
    std::unique_ptr<PatientContext> patient_;
    std::unique_ptr<Settings> settings_;
    Prompts prompts_;

    std::filesystem::path PatientFile() const { return dir_->filePath("bldb/pationtrec.dat").toStdString(); }
    void SetUnit(int unit) { QVERIFY(settings_->WriteInt(settings_key::kUnitSetup, unit)); }

    std::unique_ptr<PatientInfoDialog> OpenPatientInfo() {
        auto dialog = std::make_unique<PatientInfoDialog>(*patient_, *settings_);
        dialog->SetPrompts(prompts_.Make());
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        if (!QTest::qWaitForWindowActive(dialog.get())) qFatal("dialog not active");
        return dialog;
    }

    // Types into a box, then moves the focus on as the Tab key would.
    static void TypeAndLeave(QWidget* dialog, const char* box, const QString& text, const char* next) {
        auto* edit = Child<QLineEdit>(dialog, box);
        edit->setFocus(Qt::TabFocusReason);
        edit->clear();
        QTest::keyClicks(edit, text);
        Child<QWidget>(dialog, next)->setFocus(Qt::TabFocusReason);
    }

    PatientRecord SlotOf(int id) const {
        std::ifstream in(PatientFile(), std::ios::binary);
        PatientRecordBytes bytes{};
        in.seekg((id - 1) * 288);
        in.read(reinterpret_cast<char*>(bytes.data()), 288);
        return DecodePatientRecord(bytes);
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        store_ = std::make_unique<RecordingStore>();
        patient_ = std::make_unique<PatientContext>(*store_, PatientFile());
        settings_ = std::make_unique<Settings>(dir_->filePath("Quenda.ini").toStdString());
        prompts_ = Prompts{};
    }
    void cleanup() {
        patient_.reset();
        store_.reset();
        dir_.reset();
    }

    void fillsFromTheCurrentPatientInTheShownUnits() {
        SetUnit(1);
        patient_->SetCurrent(Record(12, "Alice Brown", 70, 150, 0));
        auto dialog = OpenPatientInfo();
        QCOMPARE(Child<QLineEdit>(dialog.get(), "idEdit")->text(), QString("12"));
        QCOMPARE(Child<QLineEdit>(dialog.get(), "nameEdit")->text(), QString("Alice Brown"));
        QCOMPARE(Child<QLineEdit>(dialog.get(), "ageEdit")->text(), QString("64"));
        QCOMPARE(Child<QLineEdit>(dialog.get(), "heightEdit")->text(), QString("178"));
        QCOMPARE(Child<QLineEdit>(dialog.get(), "weightEdit")->text(), QString("68"));
        QCOMPARE(Child<QLabel>(dialog.get(), "heightUnitLabel")->text(), QString("cm"));
        QCOMPARE(Child<QLabel>(dialog.get(), "weightUnitLabel")->text(), QString("kg"));
        auto* gender = Child<QComboBox>(dialog.get(), "genderCombo");
        QCOMPARE(gender->count(), 2);
        QCOMPARE(gender->itemText(0), QString("male"));
        QCOMPARE(gender->itemText(1), QString("female"));
        QCOMPARE(gender->currentIndex(), 1);
        QCOMPARE(dialog->windowTitle(), QString("Edit user information"));
        SaveScreenshot(dialog.get(), "patient-info");
    }

    void leavingAFieldChecksIt_data() {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("age over 200") << 0 << "ageEdit"
                                      << "201"
                                      << "0"
                                      << "scope : 0 - 200,Please ReInput";
        QTest::newRow("age of four digits") << 0 << "ageEdit"
                                            << "0012"
                                            << "0"
                                            << "scope : 0 - 200,Please ReInput";
        QTest::newRow("age within") << 0 << "ageEdit"
                                    << "200"
                                    << "200"
                                    << "";
        QTest::newRow("age emptied") << 0 << "ageEdit"
                                     << ""
                                     << "0"
                                     << "";
        QTest::newRow("letters are not taken") << 0 << "ageEdit"
                                               << "4x2"
                                               << "42"
                                               << "";
        QTest::newRow("height in inches") << 0 << "heightEdit"
                                          << "158"
                                          << "0"
                                          << "scope : 0 - 157,Please ReInput";
        QTest::newRow("height in cm") << 1 << "heightEdit"
                                      << "158"
                                      << "158"
                                      << "";
        QTest::newRow("height over 400 cm") << 1 << "heightEdit"
                                            << "401"
                                            << "0"
                                            << "scope : 0 - 400,Please ReInput";
        QTest::newRow("weight in pounds") << 0 << "weightEdit"
                                          << "2204"
                                          << "0"
                                          << "scope : 0 - 2203,Please ReInput";
        QTest::newRow("weight in kg") << 1 << "weightEdit"
                                      << "1001"
                                      << "0"
                                      << "scope : 0 - 1000,Please ReInput";
        QTest::newRow("weight of six digits") << 1 << "weightEdit"
                                              << "000070"
                                              << "0"
                                              << "scope : 0 - 1000,Please ReInput";
        QTest::newRow("30-character name") << 0 << "nameEdit"
                                           << "abcdefghijklmnopqrstuvwxyz1234"
                                           << "abcdefghijklmnopqrstuvwxyz1234"
                                           << "";
        QTest::newRow("31-character name") << 0 << "nameEdit"
                                           << "abcdefghijklmnopqrstuvwxyz12345"
                                           << "abcdefghijklmnopqrstuvwxyz1234"
                                           << "Field must be 30 or less characters in length!";
    }
    void leavingAFieldChecksIt() {
        QFETCH(int, unit);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QFETCH(QString, message);
        SetUnit(unit);
        patient_->SetCurrent(Record(2, "", 0, 0, unit));
        auto dialog = OpenPatientInfo();
        const QByteArray name = box.toLatin1();
        TypeAndLeave(dialog.get(), name.constData(), typed, "genderCombo");

        auto* edit = Child<QLineEdit>(dialog.get(), name.constData());
        QCOMPARE(edit->text(), result);
        QCOMPARE(prompts_.messages, message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty()) {
            // The rejected field takes the focus back with its text selected.
            QVERIFY(edit->hasFocus());
            QCOMPARE(edit->selectedText(), result);
        }
    }

    void theUnitIsReadAgainAtEachCheck() {
        patient_->SetCurrent(Record(2, "", 0, 0, 0));
        auto dialog = OpenPatientInfo();
        QCOMPARE(Child<QLabel>(dialog.get(), "heightUnitLabel")->text(), QString("in"));
        QCOMPARE(Child<QLabel>(dialog.get(), "weightUnitLabel")->text(), QString("lb"));
        SetUnit(1);
        TypeAndLeave(dialog.get(), "heightEdit", "300", "genderCombo");
        QCOMPARE(Child<QLineEdit>(dialog.get(), "heightEdit")->text(), QString("300"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void saveInfoStoresTheConvertedWholeNumbersInTheSlot() {
        SetUnit(1);
        patient_->SetCurrent(Record(7, "Cara", 70, 150, 0));
        auto dialog = OpenPatientInfo();
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "saveButton"), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(prompts_.messages.isEmpty());

        const PatientRecord saved = SlotOf(7);
        QCOMPARE(saved.id, 7);
        QCOMPARE(saved.height, 178.0f);
        QCOMPARE(saved.weight, 68.0f);
        QCOMPARE(saved.unitFlag, 1);
        QCOMPARE(saved.gender, kGenderFemale);
        QCOMPARE(FieldBytes(saved.text2), std::string("kept"));
        QCOMPARE(patient_->Current(), saved);
        QVERIFY(patient_->PatientSaved(7));
    }

    void enterSavesTheTypedValues() {
        patient_->SetCurrent(Record(9, "", 0, 0, 0));
        auto dialog = OpenPatientInfo();
        auto* name = Child<QLineEdit>(dialog.get(), "nameEdit");
        name->setFocus();
        QTest::keyClicks(name, "Dora");
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(FieldTextUtf8(SlotOf(9).name), std::string("Dora"));
    }

    void enterWithAnOutOfRangeValueNeitherSavesNorCloses() {
        patient_->SetCurrent(Record(9, "Eli", 0, 0, 0));
        auto dialog = OpenPatientInfo();
        auto* age = Child<QLineEdit>(dialog.get(), "ageEdit");
        age->setFocus();
        age->clear();
        QTest::keyClicks(age, "999");
        QTest::keyClick(age, Qt::Key_Return);
        QVERIFY(dialog->isVisible());
        QCOMPARE(prompts_.messages, QStringList{"scope : 0 - 200,Please ReInput"});
        QCOMPARE(age->text(), QString("0"));
        QCOMPARE(patient_->Current().age, 64);
        QVERIFY(!std::filesystem::exists(PatientFile()));
    }

    void id128CannotBeSaved() {
        patient_->SetCurrent(Record(128, "Fay", 0, 0, 0));
        auto dialog = OpenPatientInfo();
        QCOMPARE(Child<QLineEdit>(dialog.get(), "idEdit")->text(), QString());
        dialog->accept();
        QCOMPARE(prompts_.messages, QStringList{"Patient ID invalidate"});
        QVERIFY(!std::filesystem::exists(PatientFile()));
        // Memory keeps what was entered, with the ID the empty box gave.
        QCOMPARE(FieldTextUtf8(patient_->Current().name), std::string("Fay"));
        QCOMPARE(store_->CurrentId, 0);
    }

    void anUnwritablePatientFileIsReported() {
        std::filesystem::create_directories(PatientFile());  // a folder where the file belongs
        patient_->SetCurrent(Record(4, "Gil", 0, 0, 0));
        auto dialog = OpenPatientInfo();
        dialog->accept();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY2(prompts_.messages[0].startsWith("The patient details could not be saved to"),
                 qPrintable(prompts_.messages[0]));
        QVERIFY(!patient_->PatientSaved(4));
    }

    void deleteInfoLeavesOnlyTheId() {
        patient_->SetCurrent(Record(5, "Hana", 160, 55, 1));
        QVERIFY(patient_->SavePatient(5));
        auto dialog = OpenPatientInfo();
        int redraws = 0;
        dialog->SetRedrawView([&redraws] { ++redraws; });

        prompts_.answer = false;
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "deleteButton"), Qt::LeftButton);
        QCOMPARE(prompts_.questions, QStringList{"Are you sure to delete the patient info?"});
        QCOMPARE(FieldTextUtf8(SlotOf(5).name), std::string("Hana"));
        QCOMPARE(redraws, 0);

        prompts_.answer = true;
        QTest::mouseClick(Child<QPushButton>(dialog.get(), "deleteButton"), Qt::LeftButton);
        PatientRecord idOnly;
        idOnly.id = 5;
        QCOMPARE(SlotOf(5), idOnly);
        QCOMPARE(patient_->Current(), idOnly);
        QCOMPARE(redraws, 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(Child<QLineEdit>(dialog.get(), "nameEdit")->text(), QString());
        QCOMPARE(Child<QLineEdit>(dialog.get(), "ageEdit")->text(), QString("0"));
        QCOMPARE(Child<QLineEdit>(dialog.get(), "heightEdit")->text(), QString("0"));
        QCOMPARE(Child<QLineEdit>(dialog.get(), "weightEdit")->text(), QString("0"));
        QCOMPARE(Child<QComboBox>(dialog.get(), "genderCombo")->currentIndex(), 1);
        QCOMPARE(Child<QLineEdit>(dialog.get(), "idEdit")->text(), QString("5"));

        // Saving afterwards writes the emptied form, carried texts included.
        dialog->accept();
        QCOMPARE(FieldBytes(SlotOf(5).text2), std::string());
        QCOMPARE(SlotOf(5).gender, kGenderFemale);
    }

    void runPatientInfoRedrawsAfterCancel() {
        patient_->SetCurrent(Record(6, "Ian", 0, 0, 0));
        int redraws = 0;
        WhenModal([](QWidget* dialog) { Child<QPushButton>(dialog, "cancelButton")->click(); });
        QVERIFY(!RunPatientInfo(
            nullptr, *patient_, *settings_, [&redraws] { ++redraws; }, prompts_.Make()));
        QCOMPARE(redraws, 1);
        QVERIFY(!std::filesystem::exists(PatientFile()));
    }

    void unitSetupStartsBritishAndWritesTheChoice() {
        UnitSetupDialog dialog(*settings_);
        dialog.SetPrompts(prompts_.Make());
        QVERIFY(Child<QRadioButton>(&dialog, "britainRadio")->isChecked());
        SaveScreenshot(&dialog, "unit-setup");
        dialog.accept();
        QVERIFY(ReadFile(dir_->filePath("Quenda.ini")).find("UnitSetup=0") != std::string::npos);

        UnitSetupDialog metric(*settings_);
        Child<QRadioButton>(&metric, "metricRadio")->setChecked(true);
        metric.accept();
        QCOMPARE(settings_->ReadInt(settings_key::kUnitSetup, -1), 1);

        SetUnit(2);  // put there by hand
        UnitSetupDialog handEdited(*settings_);
        QVERIFY(Child<QRadioButton>(&handEdited, "metricRadio")->isChecked());
    }

    void unitSetupReportsAChangeOnlyOnce() {
        std::optional<int> kept;
        const auto choose = [](const char* radio) {
            WhenModal([radio](QWidget* dialog) {
                Child<QRadioButton>(dialog, radio)->setChecked(true);
                Child<QPushButton>(dialog, "okButton")->click();
            });
        };
        choose("metricRadio");
        QVERIFY(RunUnitSetup(nullptr, *settings_, kept, prompts_.Make()));
        QCOMPARE(kept, std::optional<int>(1));
        choose("metricRadio");
        QVERIFY(!RunUnitSetup(nullptr, *settings_, kept, prompts_.Make()));
        WhenModal([](QWidget* dialog) { Child<QPushButton>(dialog, "cancelButton")->click(); });
        QVERIFY(!RunUnitSetup(nullptr, *settings_, kept, prompts_.Make()));
    }

    void unitSetupReportsAFailedWrite() {
        Settings unwritable((dir_->filePath("missing/Quenda.ini")).toStdString());
        UnitSetupDialog dialog(unwritable);
        dialog.SetPrompts(prompts_.Make());
        dialog.show();
        dialog.accept();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(prompts_.messages[0].startsWith("The unit setting could not be saved"));
        QVERIFY(dialog.isVisible());
    }

    void titleLongerThan60IsCutWithItsMessage() {
        ReportTitleDialog dialog("Report Title");
        dialog.SetPrompts(prompts_.Make());
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(dialog.windowTitle(), QString("Modify Title"));
        auto* edit = Child<QLineEdit>(&dialog, "titleEdit");
        QCOMPARE(edit->text(), QString("Report Title"));
        SaveScreenshot(&dialog, "modify-title");

        edit->setFocus(Qt::TabFocusReason);
        edit->clear();
        QTest::keyClicks(edit, QString(60, 'a'));
        Child<QWidget>(&dialog, "okButton")->setFocus(Qt::TabFocusReason);
        QVERIFY(prompts_.messages.isEmpty());

        edit->setFocus(Qt::TabFocusReason);
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClicks(edit, "b");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        Child<QWidget>(&dialog, "okButton")->setFocus(Qt::TabFocusReason);
        QCOMPARE(prompts_.messages, QStringList{"Field must be 60 or less characters in length!"});
        QCOMPARE(edit->text(), QString(60, 'a'));
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->selectedText(), QString(60, 'a'));
    }

    void okWithATooLongTitleCutsItAndStaysOpen() {
        ReportTitleDialog dialog(QString(61, 'x'));
        dialog.SetPrompts(prompts_.Make());
        dialog.show();
        dialog.accept();
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.Title(), QString(60, 'x'));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void runModifyTitleChangesTheTitleOnlyOnOk() {
        ReportTitle title;
        WhenModal([](QWidget* dialog) {
            Child<QLineEdit>(dialog, "titleEdit")->setText("Night study");
            Child<QPushButton>(dialog, "cancelButton")->click();
        });
        QVERIFY(!RunReportTitle(nullptr, title, prompts_.Make()));
        QCOMPARE(title.Text(), std::string("Report Title"));

        WhenModal([](QWidget* dialog) {
            Child<QLineEdit>(dialog, "titleEdit")->setText(QString::fromUtf8("Nuit d'\xC3\xA9t\xC3\xA9"));
            Child<QPushButton>(dialog, "okButton")->click();
        });
        QVERIFY(RunReportTitle(nullptr, title, prompts_.Make()));
        QCOMPARE(title.Text(), std::string("Nuit d'\xC3\xA9t\xC3\xA9"));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::PatientDialogsTest)
#include "PatientDialogsTest.moc"
