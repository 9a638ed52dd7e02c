// File > Import... inside the main window as the program wires it: the
// import dialog and the day/month question played by a timer.
#include "app/LibraryExclusionStore.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/Resources.h"
#include "app/ShellTestSupport.h"
#include "base/CommandIds.h"
#include "document/AppContext.h"
#include "formats/Import.h"
#include "formats/Scoring.h"
#include "link/BluetoothLink.h"
#include "nights/Library.h"
#include "nights/NightFigure.h"
#include "nights/ServerPasswords.h"
#include "support/EdfStudy.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <fstream>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// Answers the modal windows as they come: the import dialog gets `file` and
// `id`, the day/month question `orderButton`, the scoring question
// `scoringButton`, any other message box OK (its text kept).
class User {
public:
    User(QString file, int id, const char* orderButton, const char* scoringButton = "")
        : file_(std::move(file)), id_(id), order_(orderButton), scoring_(scoringButton) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(15);
    }
    QStringList messages;
    bool asked = false;
    QString scoringQuestion;

private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (modal->objectName() == "importDialog") {
            modal->findChild<QLineEdit*>("importFileEdit")->setText(file_);
            modal->findChild<QSpinBox*>("importIdSpin")->setValue(id_);
            test::SaveScreenshot(modal, "ImportDialog");
            QMetaObject::invokeMethod(modal->findChild<QPushButton*>("okButton"), "click", Qt::QueuedConnection);
        } else if (modal->objectName() == "dateOrderQuestion") {
            asked = true;
            test::SaveScreenshot(modal, "ImportDateOrder");
            QMetaObject::invokeMethod(modal->findChild<QPushButton*>(order_), "click", Qt::QueuedConnection);
        } else if (modal->objectName() == "scoringQuestion") {
            scoringQuestion = qobject_cast<QMessageBox*>(modal)->text();
            test::SaveScreenshot(modal, "ImportScoringQuestion");
            QMetaObject::invokeMethod(modal->findChild<QPushButton*>(scoring_), "click", Qt::QueuedConnection);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
        }
    }
    QTimer timer_;
    QString file_;
    int id_;
    const char* order_;
    const char* scoring_;
};

// Half an hour of a sleep study at 1 Hz from 2026-12-06 22:30:00: SpO2 95 %
// with a dip to 88 % after each of its own annotations' apneas, an
// "Obstructive apnea" at 600 s and "Lights off" at 0 among them; the XML
// beside it scores a hypopnea at 900 s and one stage.
void WriteStudy(const fs::path& edf, const fs::path& xml) {
    std::vector<std::vector<int>> records(60, std::vector<int>(30, 95));
    for (const int r : {20, 30}) std::fill(records[r].begin() + 5, records[r].begin() + 25, 88);
    QVERIFY(test::WriteSpo2Study(edf, records, {{0, -1, "Lights off"}, {6000000, 150000, "Obstructive apnea"}}));
    std::ofstream(xml) << R"(<?xml version="1.0"?>
<PSGAnnotation><ScoredEvents>
<ScoredEvent><EventType>Stages|Stages</EventType><EventConcept>Stage 2 sleep|2</EventConcept>
<Start>0</Start><Duration>1800</Duration></ScoredEvent>
<ScoredEvent><EventType>Respiratory|Respiratory</EventType><EventConcept>Hypopnea|Hypopnea</EventConcept>
<Start>900</Start><Duration>12</Duration></ScoredEvent>
</ScoredEvents></PSGAnnotation>
)";
}

}  // namespace

class ImportCommandTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<LibraryExclusionStore> exclusions_;
    std::unique_ptr<BluetoothLink> bluetooth_;
    ServerPasswords passwords_;
    std::unique_ptr<Resources> resources_;
    std::unique_ptr<MainWindow> frame_;

    void Start() {
        dir_ = std::make_unique<test::TempDir>("quenda-import-gui");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_->Path().string()));
        context_ = std::make_unique<AppContext>();
        context_->settings = Settings(*dir_ / "Quenda.ini");
        context_->patient.SetPatientFile(*dir_ / "bldb" / "pationtrec.dat");
        context_->nightsLibrary = *dir_ / "library.sqlite";
        // As the program's main() binds them: a data set's exclusions and scoring are the library's.
        exclusions_ = std::make_unique<LibraryExclusionStore>([this] { return context_->nightsLibrary; },
                                                              context_->settings);
        context_->clinical.SetExclusionStore(exclusions_.get());
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
    }

    // The library and the nights it lists now; nothing when it cannot be read.
    std::unique_ptr<NightLibrary> OpenLibrary(std::vector<NightRow>& rows) {
        FileResult opened;
        auto library = NightLibrary::Open(context_->nightsLibrary, opened);
        if (library && !library->List(NightFilter{}, rows)) library.reset();
        return library;
    }

private slots:
    void cleanup() {
        frame_.reset();
        context_.reset();
        exclusions_.reset();
        dir_.reset();
    }

    void importingACsvShowsItsTrendAndListsItsNight() {
        Start();
        // Half an hour every 2 s, with dates that fit both orders.
        std::ofstream csv(*dir_ / "ring.csv");
        csv << "Date;Time;SpO2 (%);Pulse (bpm)\n";
        for (int i = 0; i < 900; ++i) {
            const int t = 2 * i;
            csv << "05/06/2026;22:" << 10 + t / 60 << ":" << (t % 60 < 10 ? "0" : "") << t % 60 << ";" << 88 + i % 10
                << ";" << 60 + i % 20 << "\n";
        }
        csv.close();
        QVERIFY(frame_->Router().IsEnabled(cmd::kImport));
        User user(QString::fromStdString((*dir_ / "ring.csv").string()), 7, "mdyButton");
        QVERIFY(frame_->OnCommand(cmd::kImport));
        QVERIFY(user.asked);
        // The summary alone: what was read.
        QCOMPARE(user.messages.size(), 1);
        QVERIFY2(user.messages[0].contains("1800 samples.\nRead the columns \"Date\", \"Time\", \"SpO2 (%)\", "
                                           "\"Pulse (bpm)\"; left out none."),
                 qPrintable(user.messages[0]));
        QCOMPARE(context_->store.CurrentId, 7);
        const auto samples = context_->store.CurrentSamples();
        QCOMPARE(samples.size(), std::size_t{1800});
        QCOMPARE(samples.front().month, 5);
        QCOMPARE(samples.front().day, 6);
        QCOMPARE(samples[1].spo2, samples[0].spo2);  // each 2-s row fills two seconds
        QCOMPARE(frame_->Router().State().mode, 1);  // Trend
        QCOMPARE(frame_->DocumentCount(), 1);
        const fs::path kept = *dir_ / "Quenda" / "imports" / "ring-ID7.dat";
        QVERIFY(fs::exists(kept));
        test::SaveScreenshot(frame_.get(), "Import-trend");

        // Its night is in the library, held by the kept file, not the original.
        std::vector<NightRow> rows;
        QVERIFY(OpenLibrary(rows));
        QCOMPARE(rows.size(), std::size_t{1});
        QCOMPARE(rows[0].id, 7);
        QCOMPARE(rows[0].samples, 1800);
        QCOMPARE(rows[0].date, std::string("2026-05-06"));
        QCOMPARE(rows[0].source, kept);
    }

    // An EDF file with an XML of its name beside it: the question asked, and
    // the scoring chosen kept with the night in the library and shown with
    // the imported data set, as `nights add STUDY.edf --events STUDY.xml`
    // keeps it; without the XML, the EDF+ file's own annotations.
    void importingAStudyKeepsItsScoring_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("source");
        QTest::addColumn<int>("apneas");
        QTest::addColumn<int>("hypopneas");
        QTest::newRow("the XML beside") << "useScoringButton"
                                        << "Study.XML" << 0 << 1;
        QTest::newRow("its own annotations") << "noScoringButton" << kEdfAnnotationsSource << 1 << 0;
    }

    void importingAStudyKeepsItsScoring() {
        QFETCH(QString, button);
        QFETCH(QString, source);
        QFETCH(int, apneas);
        QFETCH(int, hypopneas);
        Start();
        WriteStudy(*dir_ / "Study.edf", *dir_ / "Study.XML");
        const QByteArray answer = button.toLatin1();
        User user(QString::fromStdString((*dir_ / "Study.edf").string()), 4, "dmyButton", answer.constData());
        QVERIFY(frame_->OnCommand(cmd::kImport));
        QVERIFY2(user.scoringQuestion.startsWith("Study.XML lies beside Study.edf."), qPrintable(user.scoringQuestion));
        QCOMPARE(user.messages.size(), 1);  // the summary alone
        QCOMPARE(context_->store.CurrentSamples().size(), std::size_t{1800});

        // The opened data set shows it: the trend's marks, the figures.
        QCOMPARE(QString::fromStdString(context_->clinical.Scoring().source), source);
        const ScoredFigures& scored = context_->clinical.Analysis().scored;
        QVERIFY(scored.scored);
        QCOMPARE(scored.apneas, apneas);
        QCOMPARE(scored.hypopneas, hypopneas);
        QCOMPARE(context_->clinical.ScoredMarks().empty(), false);
        test::SaveScreenshot(frame_.get(), "Import-study-" + QString(source).replace(QRegularExpression("[^A-Za-z]"), "-"));

        // The library's night holds it, and lists its figures.
        std::vector<NightRow> rows;
        const auto library = OpenLibrary(rows);
        QVERIFY(library);
        QCOMPARE(rows.size(), std::size_t{1});
        ScoredStudy kept;
        QVERIFY(library->Scoring(rows[0].night, kept));
        QCOMPARE(kept, context_->clinical.Scoring());
        QCOMPARE(ScoredFiguresOf(rows[0]).apneas, apneas);
        QCOMPARE(ScoredFiguresOf(rows[0]).hypopneas, hypopneas);
    }

    void aRefusedFileChangesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad date") << "bad.csv"
                                  << "line 2, field 1";
        QTest::newRow("folder") << "folder.csv" << import_message::kFolder;
    }

    void aRefusedFileChangesNothing() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        Start();
        std::ofstream(*dir_ / "bad.csv") << "time,spo2\n2026-02-30 22:00:00,97\n";
        fs::create_directory(*dir_ / "folder.csv");
        User user(QString::fromStdString((*dir_ / name.toStdString()).string()), 1, "dmyButton");
        QVERIFY(frame_->OnCommand(cmd::kImport));
        QCOMPARE(user.messages.size(), 1);
        QVERIFY2(user.messages[0].contains(message), qPrintable(user.messages[0]));
        QCOMPARE(context_->store.CurrentSamples().size(), std::size_t{0});
        QVERIFY(!fs::exists(*dir_ / "Quenda" / "imports"));
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::ImportCommandTest)
#include "ImportCommandTest.moc"
