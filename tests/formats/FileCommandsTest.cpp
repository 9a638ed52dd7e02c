// Save Data, Open Saved Data, Open Other ID Data and the event listing inside
// the main window as the program wires them, through the real file dialogs,
// OtherIdDialog and the progress window, played by a timer.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/Resources.h"
#include "app/ShellTestSupport.h"
#include "base/CommandIds.h"
#include "document/AppContext.h"
#include "formats/ExportProgressDialog.h"
#include "formats/OtherIdDialog.h"
#include "link/BluetoothLink.h"
#include "nights/ServerPasswords.h"
#include "patient/PatientFile.h"
#include "store/DataFile.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <fstream>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// Clicks a button once the current timer event is over: a click that opens
// a message box must not hold the timer that answers it.
void Later(QPushButton* button) { QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection); }

// Plays the user while a command's dialogs run modally: OK (or Yes) on every
// message box, remembering its text; each other modal window goes to the
// first waiting step, which returns true when it is done with it.
class User {
public:
    using Step = std::function<bool(QWidget*)>;

    User() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(15);
    }
    void Then(Step step) { steps_.push_back(std::move(step)); }
    // The file dialog of `objectName` gets `path` (nothing: Cancel).
    void ChooseFile(const char* objectName, std::optional<fs::path> path) {
        Then([objectName, path](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (!dialog || dialog->objectName() != objectName) return false;
            if (!path) {
                dialog->reject();
                return true;
            }
            // Typed into the name box as a user would (selectFile() leaves a
            // box that has the focus alone); again on the next tick until the
            // dialog shows it.
            const QString name = QString::fromStdString(path->string());
            const QString shown = dialog->selectedFiles().value(0);
            if (shown != name && shown != name + "." + dialog->defaultSuffix()) {
                if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) edit->setText(name);
                return false;
            }
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return true;
        });
    }
    QStringList messages;
    std::vector<int> progress;  // positions of the progress bar seen while it ran
    bool Done() const { return steps_.empty(); }

private:
    void Tick() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* p = qobject_cast<ExportProgressDialog*>(w); p && p->isVisible()) {
                if (progress.empty()) test::SaveScreenshot(p, "ExportProgressDialog");
                progress.push_back(p->Bar()->value());
            }
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            QAbstractButton* button = box->button(QMessageBox::Yes);
            if (!button) button = box->button(QMessageBox::Ok);
            button->click();
            return;
        }
        if (modal && !steps_.empty() && steps_.front()(modal)) steps_.pop_front();
    }
    QTimer timer_;
    std::deque<Step> steps_;
};

// Every field distinct per record, auxValue included.
SampleRecord Record(int id, int i) {
    auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    return {
        u8(id),          u8(10 + i % 3), u8(1 + i % 12),  u8(1 + i % 28),  u8(i / 3600 % 24),
        u8(i / 60 % 60), u8(i % 60),     u8(80 + i % 20), u8(50 + i % 90), static_cast<std::uint16_t>((i * 7) % 512)};
}

PatientRecord Patient(const char* name, int age) {
    PatientRecord p;
    SetFieldTextUtf8(p.name, name);
    p.age = age;
    p.height = 70;
    p.weight = 150;
    return p;
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<BluetoothLink> bluetooth_;
    ServerPasswords passwords_;
    std::unique_ptr<Resources> resources_;
    std::unique_ptr<MainWindow> frame_;

    // A download of IDs 4 and 9 with ID 9 shown, its patient known.
    void Start(int count9 = 300) {
        dir_ = std::make_unique<test::TempDir>("quenda-files");
        context_ = std::make_unique<AppContext>();
        context_->settings = Settings(*dir_ / "Quenda.ini");
        context_->patient.SetPatientFile(*dir_ / "bldb" / "pationtrec.dat");
        QVERIFY(CreatePatientFile(context_->patient.PatientFile()));
        for (int i = 0; i < 120; ++i) context_->store.AppendSample(Record(4, i));
        for (int i = 0; i < count9; ++i) context_->store.AppendSample(Record(9, i));
        bluetooth_ = std::make_unique<BluetoothLink>();
        resources_ = std::make_unique<Resources>();
        const auto views = ProgramViews(*context_);
        frame_ = std::make_unique<MainWindow>(
            *context_, *resources_,
            std::vector<DocumentTemplate>{{DocKind::Trend, views.trend}, {DocKind::Table, views.table}},
            ProgramHandlers(*context_, *bluetooth_, passwords_));
        frame_->Create(0);
        frame_->resize(1024, 700);
        frame_->show();
        context_->store.SelectId(9);
        frame_->Router().OnCaptureListedData();
        frame_->Router().ShowCapturedData();
        PatientRecord p = Patient("Ann Bo", 45);
        p.id = 9;
        context_->patient.SetCurrent(p);
    }

    bool Run(User& user, int command) {
        const bool ran = frame_->OnCommand(command);
        return ran && user.Done();
    }

private slots:
    void cleanup() {
        frame_.reset();
        context_.reset();
        dir_.reset();
    }

    void saveThenOpenRoundTripsAndReopensInTheSameMode() {
        Start();
        context_->reportTitle.Set("Night of 3 Aug");
        const std::vector<SampleRecord> saved(context_->store.CurrentSamples().begin(),
                                              context_->store.CurrentSamples().end());
        User user;
        user.ChooseFile("saveDataDialog", *dir_ / "night");  // ".dat" is added
        QVERIFY(Run(user, cmd::kSaveData));
        QVERIFY(fs::exists(*dir_ / "night.dat"));
        QVERIFY(context_->patient.PatientSaved(9));

        // Other data on screen, in Table mode.
        QVERIFY(frame_->OnCommand(cmd::kModeTable));
        context_->store.SelectId(4);
        context_->reportTitle.Set("other");
        context_->patient.SetCurrent(Patient("Someone Else", 80));
        // The dialog shows the details, no column cut: each is as wide as what it shows.
        std::ofstream(*dir_ / "a night kept from the loaned recorder.dat") << std::string(316'928, 'x');
        QString columnsCut = "not looked at";
        int ticksShown = 0;
        user.Then([&columnsCut, &ticksShown, this](QWidget* modal) {
            // Where a 309.5 KiB file with a long name lies.
            if (ticksShown == 0) qobject_cast<QFileDialog*>(modal)->setDirectory(QString::fromStdString(dir_->Path().string()));
            auto* view = modal->findChild<QTreeView*>("treeView");
            ++ticksShown;
            if (!view || !view->isVisible() || view->model()->rowCount(view->rootIndex()) < 2) return false;
            // The header sizes its sections a moment after the rows come.
            if (ticksShown < 10) return false;
            columnsCut.clear();
            const QAbstractItemModel& model = *view->model();
            for (int row = 0; row < model.rowCount(view->rootIndex()); ++row) {
                for (int c = 0; c < view->header()->count(); ++c) {
                    const QModelIndex index = model.index(row, c, view->rootIndex());
                    const int text = view->fontMetrics().horizontalAdvance(index.data().toString());
                    // The name column also holds the icon.
                    const int needed = text + (c == 0 ? view->iconSize().width() + 8 : 4);
                    if (view->header()->sectionSize(c) < needed) columnsCut += QString(" %1:%2").arg(c).arg(index.data().toString());
                }
            }
            test::SaveScreenshot(modal, "open-saved-data-dialog");
            return true;
        });
        user.ChooseFile("openDataDialog", *dir_ / "night.dat");
        QVERIFY(Run(user, cmd::kOpenSavedData));
        QCOMPARE(columnsCut, QString());
        QCOMPARE(context_->store.CurrentId, 9);
        QVERIFY(std::ranges::equal(context_->store.CurrentSamples(), saved));
        QCOMPARE(context_->reportTitle.Text(), std::string("Night of 3 Aug"));
        QCOMPARE(FieldTextUtf8(context_->patient.Current().name), std::string("Ann Bo"));
        QCOMPARE(frame_->Router().State().mode, 2);
        QCOMPARE(frame_->DocumentCount(), 1);

        // From Analysis the trend comes back.
        QVERIFY(frame_->OnCommand(cmd::kModeAnalysis));
        user.ChooseFile("openDataDialog", *dir_ / "night.dat");
        QVERIFY(Run(user, cmd::kGenericOpen));  // Ctrl+O
        QCOMPARE(frame_->Router().State().mode, 1);
        QVERIFY(user.messages.isEmpty());
        test::SaveScreenshot(frame_.get(), "FileCommands-opened");
    }

    void openingABadFileChangesNothing() {
        Start();
        const std::vector<SampleRecord> before(context_->store.CurrentSamples().begin(),
                                               context_->store.CurrentSamples().end());
        std::ofstream(*dir_ / "short.dat", std::ios::binary).write("\x09\x05\x00\x00\x00\x09\x0A", 7);
        User user;
        user.ChooseFile("openDataDialog", *dir_ / "short.dat");
        QVERIFY(Run(user, cmd::kOpenSavedData));
        QCOMPARE(user.messages,
                 QStringList{QString("Attempted to access %1 past its end.").arg((*dir_ / "short.dat").c_str())});
        QVERIFY(std::ranges::equal(context_->store.CurrentSamples(), before));
        QCOMPARE(context_->patient.Current().age, 45);
        QCOMPARE(frame_->Router().State().mode, 1);
    }

    // A file whose ID has an empty slot shows no details of the patient before.
    void openingAFileForAnotherIdDoesNotCarryThePatientOver() {
        Start();
        QVERIFY(WriteDataFile(*dir_ / "id4.dat", 4, context_->store.IdRecords(4), "t"));
        User user;
        user.ChooseFile("openDataDialog", *dir_ / "id4.dat");
        QVERIFY(Run(user, cmd::kOpenSavedData));
        QCOMPARE(context_->patient.Current().id, 4);
        QVERIFY(!HoldsPatientInfo(context_->patient.Current()));
    }

    void saveDispatchesOnTheExtensionAndAlwaysKeepsThePatient() {
        Start(65'533);
        User user;
        user.ChooseFile("saveDataDialog", *dir_ / "OUT.TXT");
        QVERIFY(Run(user, cmd::kGenericSave));  // Ctrl+S
        QCOMPARE(QByteArray::fromStdString(test::Slurp(*dir_ / "OUT.TXT").substr(0, 22)),
                 QByteArray("PatId\tName\r\n9\tAnn Bo\r\n"));

        user.ChooseFile("saveDataDialog", *dir_ / "night.XLSX");
        QVERIFY(Run(user, cmd::kSaveData));
        QVERIFY(fs::file_size(*dir_ / "night.XLSX") > 0);
        QVERIFY2(user.progress.size() >= 2, "the progress window was seen only once");
        QVERIFY(std::ranges::is_sorted(user.progress));
        QVERIFY(user.progress.back() > 0);

        // EDF+ writes a file per night and names them all: two nights here,
        // the second starting two hours after the first ends.
        auto current = context_->store.CurrentDataSet();
        for (int i = 0; i < context_->store.CurrentSampleCount; ++i) {
            const int t = i < 30'000 ? i : i + 7200;
            auto& r = current[static_cast<std::size_t>(i)];
            r.year = 26;
            r.month = 12;
            r.day = static_cast<std::uint8_t>(1 + t / 86400);
            r.hour = static_cast<std::uint8_t>(t / 3600 % 24);
            r.minute = static_cast<std::uint8_t>(t / 60 % 60);
            r.second = static_cast<std::uint8_t>(t % 60);
        }
        user.ChooseFile("saveDataDialog", *dir_ / "night.Edf");
        QVERIFY(Run(user, cmd::kSaveData));
        QCOMPARE(QByteArray::fromStdString(test::Slurp(*dir_ / "night.Edf").substr(0, 8)), QByteArray("0       "));
        QVERIFY(fs::exists(*dir_ / "night-2.Edf"));
        QCOMPARE(user.messages, QStringList{QString::fromStdString(
                                    "The recording holds more than one night; one EDF+ file was written for each:\n" +
                                    (*dir_ / "night.Edf").string() + "\n" + (*dir_ / "night-2.Edf").string())});
        user.messages.clear();
        // The same samples as a library night the user merged: one file, as
        // `nights export` writes it.
        context_->oneLibraryNight = true;
        user.ChooseFile("saveDataDialog", *dir_ / "merged.edf");
        QVERIFY(Run(user, cmd::kSaveData));
        QVERIFY(fs::exists(*dir_ / "merged.edf"));
        QVERIFY(!fs::exists(*dir_ / "merged-2.edf"));
        QVERIFY(user.messages.isEmpty());
        context_->oneLibraryNight = false;

        // An unknown type is said; the patient is kept all the same, as after a cancel.
        fs::remove(context_->patient.PatientFile());
        user.ChooseFile("saveDataDialog", *dir_ / "night.foo");
        QVERIFY(Run(user, cmd::kSaveData));
        QCOMPARE(user.messages, QStringList{"Unknown file type: use .dat, .txt, .xls, .xlsx, .edf or .csv"});
        QVERIFY(!fs::exists(*dir_ / "night.foo"));
        QCOMPARE(fs::file_size(context_->patient.PatientFile()), 36864u);
        fs::remove(context_->patient.PatientFile());
        user.ChooseFile("saveDataDialog", std::nullopt);
        QVERIFY(Run(user, cmd::kSaveData));
        QCOMPARE(fs::file_size(context_->patient.PatientFile()), 36864u);

        // A folder that does not exist: reported, and the patient is not stored.
        fs::remove(context_->patient.PatientFile());
        user.ChooseFile("saveDataDialog", *dir_ / "none" / "x.dat");
        QVERIFY(Run(user, cmd::kSaveData));
        QCOMPARE(user.messages.size(), 2);
        QVERIFY(user.messages.back().startsWith("Can't create the file\n"));
        QVERIFY(!fs::exists(context_->patient.PatientFile()));
    }

    void otherIdNeedsASelectionAndKeepsThePatientUntilOne() {
        Start();
        // Details of ID 4 saved in an earlier run of the program.
        PatientRecord earlier = Patient("Cy Dee", 60);
        earlier.id = 4;
        QVERIFY(WritePatientSlot(context_->patient.PatientFile(), 4, EncodePatientRecord(earlier)));
        QVERIFY(frame_->OnCommand(cmd::kModeTable));

        User user;
        QStringList lines;
        user.Then([&](QWidget* modal) {
            auto* dialog = qobject_cast<OtherIdDialog*>(modal);
            if (!dialog) return false;
            auto* list = dialog->findChild<QListWidget*>("idList");
            for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
            test::SaveScreenshot(dialog, "OtherIdDialog");
            Later(dialog->findChild<QPushButton*>("doneButton"));  // nothing selected
            return true;
        });
        user.Then([](QWidget* modal) {
            auto* dialog = qobject_cast<OtherIdDialog*>(modal);
            if (dialog) dialog->reject();
            return dialog != nullptr;
        });
        QVERIFY(Run(user, cmd::kOpenOtherIdData));
        QCOMPARE(lines, (QStringList{"ID   4     total        120 Groups", "ID   9     total        300 Groups"}));
        QCOMPARE(user.messages, QStringList{"Please select patient ID"});
        QCOMPARE(context_->store.CurrentId, 9);
        QCOMPARE(context_->patient.Current().age, 45);

        user.Then([](QWidget* modal) {
            auto* dialog = qobject_cast<OtherIdDialog*>(modal);
            if (!dialog) return false;
            dialog->findChild<QListWidget*>("idList")->setCurrentRow(0);
            Later(dialog->findChild<QPushButton*>("doneButton"));
            return true;
        });
        QVERIFY(Run(user, cmd::kOpenOtherIdData));
        QCOMPARE(context_->store.CurrentId, 4);
        QCOMPARE(context_->store.CurrentSampleCount, 120);
        QCOMPARE(frame_->Router().State().mode, 2);
        // Not saved in this run, so not loaded; and a record with no details
        // does not overwrite the earlier one when the data is saved.
        QVERIFY(!HoldsPatientInfo(context_->patient.Current()));
        user.ChooseFile("saveDataDialog", std::nullopt);
        QVERIFY(Run(user, cmd::kSaveData));
        std::array<std::uint8_t, kPatientRecordSize> slot{};
        std::size_t read = 0;
        QVERIFY(ReadPatientSlot(context_->patient.PatientFile(), 3, slot, read));
        QCOMPARE(FieldTextUtf8(DecodePatientRecord(slot).name), std::string("Cy Dee"));
    }

    void eventListingAcceptsTxtInAnyCaseOnly() {
        Start();
        User user;
        user.ChooseFile("eventListingDialog", *dir_ / "events.csv");
        QVERIFY(Run(user, cmd::kEventListing));
        QCOMPARE(user.messages, QStringList{"Unknown file type: use .txt"});
        QVERIFY(!fs::exists(*dir_ / "events.csv"));
        user.ChooseFile("eventListingDialog", *dir_ / "EVENTS.TXT");
        QVERIFY(Run(user, cmd::kEventListing));
        const std::string listing = test::Slurp(*dir_ / "EVENTS.TXT");
        QVERIFY(listing.starts_with("PatId\tName\r\n9\tAnn Bo\r\n"));
        QVERIFY(listing.find("\r\nSpO2 Event\r\n") != std::string::npos);
        QVERIFY(listing.find("\r\n\r\n\r\nPR Event\r\n") != std::string::npos);
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::FileCommandsTest)
#include "FileCommandsTest.moc"
