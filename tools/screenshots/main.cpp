// quenda-screenshots: the pictures of the README, taken from the real program
// without a display. It plays a user at the main window: New Data Capture
// against a recorder (normally the simulator), ID 1 and Done, patient details,
// then the Trend, Table, Analysis and Clinical modes, saving one PNG of each.
//
//   quenda-screenshots --port pts/7 --out DIR [--patients DIR]
//
// It runs in the folder whose Quenda.ini it should use, like the program, and
// always offscreen: no display is needed.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/Resources.h"
#include "base/CommandIds.h"
#include "device/CaptureDialog.h"
#include "document/AppContext.h"
#include "link/BluetoothLink.h"
#include "nights/Library.h"
#include "patient/PatientFolder.h"
#include "patient/PatientRecord.h"
#include "patient/Units.h"
#include "store/DataFile.h"
#include "tools/sim/Recording.h"
#include "views/NightsWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace quenda {
namespace {

constexpr int kShotId = 1;
constexpr QSize kWindowSize(1280, 800);

struct Options {
    std::string port;
    QString out;
    std::filesystem::path patients = "patients";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--port") {
            options.port = argv[i + 1];
        } else if (name == "--out") {
            options.out = QString::fromLocal8Bit(argv[i + 1]);
        } else if (name == "--patients") {
            options.patients = argv[i + 1];
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && !options.port.empty() && !options.out.isEmpty();
}

// Saves a picture in 256 colours, which keeps these flat screens sharp at a
// quarter of the bytes, so the repository stays small. A picture that cannot
// be written fails the whole run.
bool Save(const QImage& image, const QString& dir, const QString& name) {
    const QString path = dir + "/" + name + ".png";
    if (image.isNull() ||
        !image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither).save(path)) {
        std::fprintf(stderr, "quenda-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    return true;
}

// Lets the view paint and report its page before a picture is taken, or
// before paging (a view knows its page count once it has painted): waits
// until the status bar's page pane matches `page`, for a few seconds at most.
void Settle(MainWindow& frame, const QRegularExpression& page) {
    QElapsedTimer waited;
    waited.start();
    do {
        QApplication::processEvents();
    } while (!page.match(frame.PagePaneText()).hasMatch() && waited.elapsed() < 3000);
    QApplication::processEvents();
}

// A patient as the User Info dialog would save one, so the pages carry a header.
PatientRecord SamplePatient() {
    PatientRecord record;
    record.id = kShotId;
    SetFieldTextUtf8(record.name, "Alex Example");
    record.gender = kGenderFemale;
    record.age = 54;
    record.height = 168;
    record.weight = 71;
    record.unitFlag = kUnitMetric;
    return record;
}

// File > Nights... over three weeks of Alex's evenings in March (one missed),
// kept beside the downloaded night in the session's own library.
bool ShootNights(MainWindow& frame, AppContext& context, const Options& options) {
    std::vector<SampleRecord> march;
    for (int day = 1; day <= 21; ++day) {
        if (day == 12) continue;  // the recorder stayed in its drawer
        const auto night = sim::GenerateRecording(kShotId, 6 * 3600 + day * 300, sim::DateTime{2026, 3, day, 22, 15, 0},
                                                  20260300 + static_cast<std::uint64_t>(day) * 7919);
        march.insert(march.end(), night.begin(), night.end());
    }
    const std::filesystem::path file = std::filesystem::absolute("march/ID1.dat");
    std::filesystem::create_directories(file.parent_path());
    AddOptions names;
    names.nameOf = [](int id) { return id == kShotId ? std::string("Alex Example") : std::string(); };
    const std::filesystem::path paths[] = {file};
    if (!WriteDataFile(file, kShotId, march, "") || !AddToLibrary(context.nightsLibrary, paths, names).result) {
        std::fprintf(stderr, "quenda-screenshots: cannot make the nights library\n");
        return false;
    }
    if (!frame.OnCommand(cmd::kNights)) return false;
    auto* nights = dynamic_cast<NightsWindow*>(frame.ToolView());
    if (!nights) return false;
    nights->SetFilter({"1", "2026-03-01", "2026-03-31"});
    for (std::size_t row = 0; row < nights->Rows().size(); ++row) {
        if (nights->Rows()[row].date == "2026-03-14") nights->SetNote(row, "new mask from today");
    }
    nights->SelectRow(4);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    (void)options;
    return Save(frame.grab().toImage(), options.out, "nights");
}

int Run(const Options& options) {
    if (!QDir().mkpath(options.out)) {
        std::fprintf(stderr, "quenda-screenshots: cannot create %s\n", qPrintable(options.out));
        return 1;
    }
    AppContext context;
    context.patient.SetPatientFile(options.patients / kPatientFileName);
    // The session's own library of nights, never the user's.
    context.nightsLibrary = std::filesystem::absolute("nights-library.sqlite");
    // The remembered port is tried first, as after an earlier download.
    if (!context.settings.WriteString("DefaultCOM", options.port) ||
        !context.settings.WriteString("UnitSetup", std::to_string(kUnitMetric))) {
        std::fprintf(stderr, "quenda-screenshots: cannot write ./Quenda.ini\n");
        return 1;
    }
    BluetoothLink bluetooth;
    Resources resources;
    const auto views = ProgramViews(context);
    MainWindow frame(context, resources, DocumentTemplates(views), ProgramHandlers(context, bluetooth));
    frame.Create(0);
    frame.resize(kWindowSize);
    frame.show();

    // The user: OK on each message, then ID 1 and Done once the IDs are
    // listed, with a picture of the dialog just before Done.
    bool ok = true;
    QStringList messages;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages << box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (auto* capture = qobject_cast<CaptureDialog*>(modal); capture && capture->Listed()) {
            auto* list = capture->findChild<QListWidget*>("idList");
            const auto found = list->findItems(QString("ID %1").arg(kShotId, 3), Qt::MatchStartsWith);
            if (found.size() != 1) return;
            list->setCurrentItem(found.front());
            QApplication::processEvents();
            ok = Save(capture->grab().toImage(), options.out, "capture") && ok;
            capture->findChild<QPushButton*>("startButton")->click();
        }
    });
    user.start(20);
    frame.OnCommand(cmd::kNewDataCapture);  // returns when the dialog has closed
    user.stop();
    if (context.store.CurrentId != kShotId || context.store.CurrentSampleCount == 0) {
        std::fprintf(stderr, "quenda-screenshots: the download did not give ID %d: %s\n", kShotId,
                     qPrintable(messages.join(" | ")));
        return 1;
    }

    context.patient.SetCurrent(SamplePatient());
    if (const FileResult saved = context.patient.SavePatient(kShotId); !saved) {
        std::fprintf(stderr, "quenda-screenshots: cannot save the patient details\n");
        return 1;
    }
    context.RepaintCurrentView();

    // The status bar's page pane once each view has painted. The clinical page
    // is one sheet, whatever the pane says.
    const struct {
        int command;
        const char* name;
        QRegularExpression page;
    } shots[] = {
        {cmd::kModeTrend, "trend", QRegularExpression("^Page:3/\\d+$")},
        {cmd::kModeTable, "table", QRegularExpression("^Page:1/\\d+$")},
        {cmd::kModeAnalysis, "analysis", QRegularExpression("^Page:1/1$")},
        {cmd::kModeClinical, "clinical", QRegularExpression("^Page:")},
    };
    for (const auto& shot : shots) {
        bool opened = true;
        if (shot.command == cmd::kModeTrend) {
            // The capture opened the trend view (Mode > Trend is greyed there);
            // its third page has a cluster of desaturations to look at.
            Settle(frame, QRegularExpression("^Page:1/\\d+$"));
            opened = frame.OnCommand(cmd::kPageDown) && frame.OnCommand(cmd::kPageDown);
        } else {
            opened = frame.OnCommand(shot.command);
        }
        if (!opened) {
            std::fprintf(stderr, "quenda-screenshots: the %s picture could not be set up\n", shot.name);
            return 1;
        }
        Settle(frame, shot.page);
        ok = Save(frame.grab().toImage(), options.out, shot.name) && ok;
    }
    ok = ShootNights(frame, context, options) && ok;
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace quenda

int main(int argc, char** argv) {
    // Offscreen, on a screen of its own: the main window shows maximised, and
    // the offscreen platform gives windows a 2-pixel frame on every side, so
    // a 1284x804 screen makes 1280x800 pictures whatever the machine has.
    QTemporaryFile screen;
    if (!screen.open() || screen.write(R"({"screens": [{"name": "shots", "x": 0, "y": 0, "width": 1284, "height": 804,
                          "dpi": 96, "dpr": 1}]})") < 0 ||
        !screen.flush()) {
        std::fputs("quenda-screenshots: cannot write the screen description\n", stderr);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screen.fileName().toLocal8Bit());
    QApplication application(argc, argv);
    QApplication::setApplicationName("Quenda");
    quenda::Options options;
    if (!quenda::ParseOptions(argc, argv, options)) {
        std::fputs("usage: quenda-screenshots --port NAME --out DIR [--patients DIR]\n", stderr);
        return 2;
    }
    return quenda::Run(options);
}
