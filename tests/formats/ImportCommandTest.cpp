// File > Import... inside the main window as the program wires it: the
// import dialog and the day/month question played by a timer.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/Resources.h"
#include "app/ShellTestSupport.h"
#include "base/CommandIds.h"
#include "document/AppContext.h"
#include "formats/Import.h"
#include "link/BluetoothLink.h"
#include "nights/Library.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <fstream>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// Answers the modal windows as they come: the import dialog gets `file` and
// `id`, the day/month question `orderButton`, any other message box OK (its
// text kept).
class User {
public:
    User(QString file, int id, const char* orderButton) : file_(std::move(file)), id_(id), order_(orderButton) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(15);
    }
    QStringList messages;
    bool asked = false;

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
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            QMetaObject::invokeMethod(box->button(QMessageBox::Ok), "click", Qt::QueuedConnection);
        }
    }
    QTimer timer_;
    QString file_;
    int id_;
    const char* order_;
};

}  // namespace

class ImportCommandTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::TempDir> dir_;
    std::unique_ptr<AppContext> context_;
    std::unique_ptr<BluetoothLink> bluetooth_;
    std::unique_ptr<Resources> resources_;
    std::unique_ptr<MainWindow> frame_;

    void Start() {
        dir_ = std::make_unique<test::TempDir>("quenda-import-gui");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir_->Path().string()));
        context_ = std::make_unique<AppContext>();
        context_->settings = Settings(*dir_ / "Quenda.ini");
        context_->patient.SetPatientFile(*dir_ / "bldb" / "pationtrec.dat");
        context_->nightsLibrary = *dir_ / "library.sqlite";
        bluetooth_ = std::make_unique<BluetoothLink>();
        resources_ = std::make_unique<Resources>();
        const auto views = ProgramViews(*context_);
        frame_ = std::make_unique<MainWindow>(
            *context_, *resources_,
            std::vector<DocumentTemplate>{{DocKind::Trend, views.trend}, {DocKind::Table, views.table}},
            ProgramHandlers(*context_, *bluetooth_));
        frame_->Create(0);
        frame_->resize(1024, 700);
        frame_->show();
    }

private slots:
    void cleanup() {
        frame_.reset();
        context_.reset();
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
        FileResult opened;
        const auto library = NightLibrary::Open(context_->nightsLibrary, opened);
        QVERIFY2(library, opened.message.c_str());
        std::vector<NightRow> rows;
        QVERIFY(library->List(NightFilter{}, rows));
        QCOMPARE(rows.size(), std::size_t{1});
        QCOMPARE(rows[0].id, 7);
        QCOMPARE(rows[0].samples, 1800);
        QCOMPARE(rows[0].date, std::string("2026-05-06"));
        QCOMPARE(rows[0].source, kept);
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
