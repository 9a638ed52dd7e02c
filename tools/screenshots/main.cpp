// quenda-screenshots: the pictures of the README, taken from the real program
// without a display. It plays a user at the main window: New Data Capture
// against a recorder (normally the simulator, whose ID 1 holds a fortnight of
// nights), ID 1 and Done, patient details, File > Nights... (the list, the
// chart and the period summary, then the same split before and after a date),
// the night of the most desaturations opened, then the Trend, Table, Analysis
// and Clinical modes, saving one PNG of each. The night opened is saved as
// ./night.dat, as File > Save Data would, for the report page printed of it.
//
//   quenda-screenshots --port pts/7 --out DIR [--patients DIR] [--split DATE]
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
#include "nights/ServerPasswords.h"
#include "patient/PatientFolder.h"
#include "patient/PatientRecord.h"
#include "patient/Units.h"
#include "store/DataFile.h"
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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace quenda {
namespace {

constexpr int kShotId = 1;
constexpr QSize kWindowSize(1280, 800);

struct Options {
    std::string port;
    QString out;
    std::filesystem::path patients = "patients";
    std::string split;  // the Nights pictures' before/after date
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
        } else if (name == "--split") {
            options.split = argv[i + 1];
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && !options.port.empty() && !options.out.isEmpty() &&
           (options.split.empty() || IsDateText(options.split));
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

// The downloaded nights of ID 1 take the patient's name, as Edit > User Info
// gives it to the current data set's nights.
bool NameNights(const AppContext& context) {
    FileResult result;
    const auto library = NightLibrary::Open(context.nightsLibrary, result);
    std::vector<NightRow> rows;
    NightFilter filter;
    filter.id = kShotId;
    if (!library || !(result = library->List(filter, rows))) return false;
    for (const NightRow& row : rows) {
        if (!(result = library->SetName(row.night, "Alex Example"))) return false;
    }
    return true;
}

// File > Nights... over the fortnight the download put in the session's
// library: the list, the chart and the period summary, then the summary split
// at `options.split` (a note marks that night) and the chart's line there.
// Leaves the night of the highest ODI open as the current data set, in Trend,
// so the pages that follow have desaturations to show.
bool ShootNights(MainWindow& frame, const AppContext& context, const Options& options) {
    if (!NameNights(context)) {
        std::fprintf(stderr, "quenda-screenshots: cannot name the nights in the library\n");
        return false;
    }
    if (!frame.OnCommand(cmd::kNights)) return false;
    auto* nights = dynamic_cast<NightsWindow*>(frame.ToolView());
    if (!nights) return false;
    nights->SetFilter({std::to_string(kShotId), "", ""});
    nights->SetDividingDate("");
    if (nights->Rows().size() < 10) {
        std::fprintf(stderr, "quenda-screenshots: the download gave %zu nights of ID %d, not a fortnight\n",
                     nights->Rows().size(), kShotId);
        return false;
    }
    // The note on the split date's first night.
    std::optional<std::size_t> marked;
    for (std::size_t row = 0; row < nights->Rows().size(); ++row) {
        if (nights->Rows()[row].date == options.split) marked = row;
    }
    if (marked) nights->SetNote(*marked, "new mask from today");
    nights->SelectRow(2);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    bool ok = Save(frame.grab().toImage(), options.out, "nights");
    nights->SetDividingDate(options.split);
    if (marked) nights->SelectRow(*marked);
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    ok = Save(frame.grab().toImage(), options.out, "nights-split") && ok;
    const auto& rows = nights->Rows();
    const auto most = static_cast<std::size_t>(
        std::max_element(rows.begin(), rows.end(),
                         [](const NightRow& a, const NightRow& b) { return a.figures.odi3 < b.figures.odi3; }) -
        rows.begin());
    if (!nights->OpenRow(most)) return false;
    // Saved with the report title, as File > Save Data saves it.
    if (const FileResult saved = WriteDataFile("night.dat", static_cast<std::uint8_t>(kShotId),
                                               context.store.CurrentSamples(), context.reportTitle.Text());
        !saved) {
        std::fprintf(stderr, "quenda-screenshots: cannot save ./night.dat: %s\n", saved.message.c_str());
        return false;
    }
    return ok;
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
    ServerPasswords passwords;
    Resources resources;
    const auto views = ProgramViews(context);
    MainWindow frame(context, resources, DocumentTemplates(views), ProgramHandlers(context, bluetooth, passwords));
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
    if (!ShootNights(frame, context, options)) {
        std::fprintf(stderr, "quenda-screenshots: the Nights pictures could not be taken\n");
        return 1;
    }

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
            // Opening the night showed its trend view (Mode > Trend is greyed
            // there); its third page has desaturations to look at.
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
        std::fputs("usage: quenda-screenshots --port NAME --out DIR [--patients DIR] [--split YYYY-MM-DD]\n", stderr);
        return 2;
    }
    return quenda::Run(options);
}
