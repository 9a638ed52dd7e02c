// The Nights window over a library of two IDs and five nights: order, sort
// and filter, the chart against the listed values, the period summary and its
// split at a date, opening a night, the note read back by quenda-cli,
// removing, and the edges (empty, missing file, unreadable library). Renders
// the window and the printed pages.
#include "base/StringFormat.h"
#include "document/AppContext.h"
#include "nights/Library.h"
#include "nights/PostgresDatabase.h"
#include "nights/PostgresSchema.h"
#include "store/DataFile.h"
#include "support/NightData.h"
#include "support/PostgresServer.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "views/NightsPage.h"
#include "views/NightsSummaryWidget.h"
#include "views/NightsWindow.h"
#include "views/Printing.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using test::Secs;

void SaveScreenshot(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("QUENDA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    QVERIFY(image.save(dir + "/" + name + ".png"));
}

// One hour from 22:00 of `day` December 2026, with a 20-s dip to 86 % every
// `every` seconds, so each night has its own ODI.
void AppendNight(std::vector<SampleRecord>& out, int id, int day, int every) {
    const std::int64_t start = Secs(2026, 12, day, 22, 0, 0);
    for (int i = 0; i < 3600; ++i) out.push_back(test::SampleAt(id, start + i, i % every < 20 ? 86 : 96, 60 + i % 7));
}

struct Library {
    test::TempDir dir{"quenda-nights-window"};
    fs::path file = dir.Path() / "library.sqlite";
    fs::path id3 = dir.Path() / "kept" / "ID3.dat";
    fs::path id5 = dir.Path() / "kept" / "ID5.dat";

    // ID 3 (Ann Bo): the 6th, 7th and 9th (the 8th missing); ID 5: the 6th and 7th.
    explicit Library(bool fill = true) {
        if (!fill) return;
        fs::create_directories(id3.parent_path());
        std::vector<SampleRecord> a, b;
        AppendNight(a, 3, 6, 300);
        AppendNight(a, 3, 7, 200);
        AppendNight(a, 3, 9, 600);
        AppendNight(b, 5, 6, 120);
        AppendNight(b, 5, 7, 900);
        QVERIFY(WriteDataFile(id3, 3, a, "t"));
        QVERIFY(WriteDataFile(id5, 5, b, "t"));
        AddOptions options;
        options.nameOf = [](int id) { return id == 3 ? std::string("Ann Bo") : std::string("Cy Dee"); };
        const fs::path paths[] = {id3.parent_path()};
        QVERIFY(AddToLibrary(file, paths, options).result);
    }
};

// 22 more nights of ID 3 (the 10th to the 31st): more than the list shows at once.
void AddMoreNights(const Library& lib) {
    std::vector<SampleRecord> more;
    for (int day = 10; day <= 31; ++day) AppendNight(more, 3, day, 150 + day * 13);
    const fs::path file = lib.dir.Path() / "more" / "ID3.dat";
    fs::create_directories(file.parent_path());
    QVERIFY(WriteDataFile(file, 3, more, "t"));
    const fs::path paths[] = {file};
    QVERIFY(AddToLibrary(lib.file, paths, {}).result);
}

// The editor open over the list, if any.
QLineEdit* NoteEditor(QTableView* table) {
    for (auto* edit : table->viewport()->findChildren<QLineEdit*>())
        if (edit->isVisible()) return edit;
    return nullptr;
}

struct Window {
    std::unique_ptr<AppContext> context;
    std::unique_ptr<NightsWindow> window;
    std::vector<QString> told;
    std::vector<NightRow> opened;
    bool answer = true;

    explicit Window(const fs::path& library) {
        context = std::make_unique<AppContext>();
        NightsWindowHooks hooks;
        hooks.opened = [this](const NightRow& row) { opened.push_back(row); };
        hooks.tell = [this](const QString& text) { told.push_back(text); };
        hooks.confirm = [this](const QString&) { return answer; };
        window = std::make_unique<NightsWindow>(*context, library, std::move(hooks));
        window->resize(1100, 700);
    }
};

std::vector<std::string> Column(const std::vector<NightRow>& rows, NightColumn column) {
    std::vector<std::string> cells;
    for (const NightRow& row : rows) cells.push_back(NightCellText(row, column));
    return cells;
}

// The texts of the summary the window paints under its chart.
std::vector<std::string> SummaryTexts(const NightsWindow& window) {
    std::vector<std::string> texts;
    for (const SummaryCell& cell : window.SummaryWidget()->Layout().cells) texts.push_back(cell.text);
    return texts;
}

bool Shows(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace

class NightsWindowTest : public QObject {
    Q_OBJECT
    test::TempDir home_{"quenda-nights-home"};

private slots:
    void init() { QDir::setCurrent(QString::fromStdString(home_.Path().string())); }

    void listsNewestFirstSortsAndFilters() {
        Library lib;
        Window w(lib.file);
        QCOMPARE(Column(w.window->Rows(), NightColumn::Date),
                 (std::vector<std::string>{"2026-12-09", "2026-12-07", "2026-12-07", "2026-12-06", "2026-12-06"}));
        QVERIFY(w.window->Message().isEmpty());

        // A click on a column's title sorts by it; again, the other way.
        const struct {
            NightColumn column;
            bool ascending;
        } sorts[] = {{NightColumn::Id, true},
                     {NightColumn::Odi3, true},
                     {NightColumn::Odi3, false},
                     {NightColumn::Name, false},
                     {NightColumn::Duration, true}};
        for (const auto& s : sorts) {
            w.window->SortBy(s.column, s.ascending);
            const auto& rows = w.window->Rows();
            for (std::size_t i = 1; i < rows.size(); ++i) {
                const NightRow& a = s.ascending ? rows[i - 1] : rows[i];
                const NightRow& b = s.ascending ? rows[i] : rows[i - 1];
                if (s.column == NightColumn::Id) QVERIFY(a.id <= b.id);
                if (s.column == NightColumn::Odi3) QVERIFY(a.figures.odi3 <= b.figures.odi3);
                if (s.column == NightColumn::Name) QVERIFY(a.name <= b.name);
                if (s.column == NightColumn::Duration) QVERIFY(a.DurationSeconds() <= b.DurationSeconds());
            }
        }
        w.window->Table()->horizontalHeader()->setSortIndicator(static_cast<int>(NightColumn::Id), Qt::AscendingOrder);
        QCOMPARE(w.window->Rows().front().id, 3);

        const struct {
            NightSearch filter;
            std::size_t rows;
        } filters[] = {{{"3", "", ""}, 3},
                       {{"ann", "", ""}, 3},
                       {{"CY D", "", ""}, 2},
                       {{"", "2026-12-07", "2026-12-07"}, 2},
                       {{"5", "2026-12-07", ""}, 1},
                       {{"12", "", ""}, 0},
                       {{"", "", ""}, 5}};
        for (const auto& f : filters) {
            w.window->SetFilter(f.filter);
            QCOMPARE(w.window->Rows().size(), f.rows);
        }
        // The filter is remembered in the settings file.
        w.window->SetFilter({"ann", "2026-12-07", ""});
        Window again(lib.file);
        QCOMPARE(again.window->Filter(), (NightSearch{"ann", "2026-12-07", ""}));
        QCOMPARE(again.window->Rows().size(), std::size_t{2});
        again.window->SetFilter({});
    }

    // A clinic server's library of the same nights fills the window as the
    // file does: every cell of every row, the summary, with a note and an
    // exclusion made through each.
    void aServerLibraryShowsWhatTheFileShows() {
        if (test::PostgresServer::Programs().empty()) QSKIP("no PostgreSQL server installed");
        test::PostgresServer server;
        QVERIFY2(server.Problem().empty(), server.Problem().c_str());
        FileResult connected;
        {
            const auto db = PostgresDatabase::Connect(server.Uri(), {}, connected);
            QVERIFY(db && db->Exec("CREATE DATABASE nights"));
        }
        const std::string uri = server.Uri("nights");
        std::string where;
        QVERIFY(InitServerLibrary(uri, {}, where));
        Library lib;
        AddOptions options;
        options.nameOf = [](int id) { return id == 3 ? std::string("Ann Bo") : std::string("Cy Dee"); };
        const fs::path paths[] = {lib.id3.parent_path()};
        QVERIFY(AddToLibrary(uri, paths, options).result);

        std::vector<std::vector<std::string>> shown[2];
        std::vector<std::string> summaries[2];
        const std::string libraries[2] = {lib.file.string(), uri};
        for (int i = 0; i < 2; ++i) {
            Window w(libraries[i]);
            QCOMPARE(w.window->Rows().size(), std::size_t{5});
            {
                FileResult opened;
                const auto library = NightLibrary::Open(libraries[i], opened);
                QVERIFY(library);
                QVERIFY(library->SetNote(w.window->Rows()[1].night, "restless"));
                QVERIFY(library->SetExclusions(w.window->Rows()[2].night, std::vector<SampleSpan>{{10, 70}}));
            }
            w.window->Reload();
            for (const NightRow& row : w.window->Rows()) {
                shown[i].emplace_back();
                for (int c = 0; c < kNightColumnCount; ++c)
                    shown[i].back().push_back(NightCellText(row, static_cast<NightColumn>(c)));
            }
            summaries[i] = SummaryTexts(*w.window);
        }
        QCOMPARE(shown[1], shown[0]);
        QCOMPARE(summaries[1], summaries[0]);
    }

    void chartPointsAreTheListedValues() {
        Library lib;
        Window w(lib.file);
        for (int f = 0; f < kNightFigureCount; ++f) {
            const auto figure = static_cast<NightFigure>(f);
            w.window->SetFigure(figure);
            const ChartLayout chart = w.window->Chart();
            const auto& rows = w.window->Rows();
            // No night here is a scored study: its figures have no point.
            if (figure == NightFigure::Ahi || figure == NightFigure::HypoxicBurden) {
                QVERIFY(chart.points.empty());
                continue;
            }
            QCOMPARE(chart.points.size(), rows.size());
            for (const ChartPoint& p : chart.points) {
                QCOMPARE(p.value, NightFigureValue(rows[p.row], figure));
                QCOMPARE(p.at.y, ChartY(chart, p.value));
                QCOMPARE(p.at.x, ChartX(chart, *DayNumber(rows[p.row].date)));
                QVERIFY(chart.plot.Contains(p.at.x, p.at.y));
            }
            // ID 3: the 6th joins the 7th, the 9th stands alone; ID 5: one join.
            QCOMPARE(chart.lines.size(), std::size_t{2});
            QCOMPARE(chart.ids, (std::vector<int>{3, 5}));
            for (const ChartTick& cut : chart.cutOffs) QVERIFY(cut.position > chart.plot.top);
            if (figure == NightFigure::Odi3) QVERIFY(!chart.cutOffs.empty());
        }
        w.window->SetFigure(NightFigure::Odi3);
        // A click on a point selects its row; the pointer's text names it.
        const ChartLayout chart = w.window->Chart();
        const ChartPoint& p = chart.points[2];
        QTest::mouseClick(w.window->ChartWidget(), Qt::LeftButton, {}, QPoint(p.at.x, p.at.y));
        QCOMPARE(w.window->SelectedRow(), std::optional<std::size_t>(p.row));
        QVERIFY(QString::fromStdString(ChartPointText(w.window->Rows()[p.row], NightFigure::Odi3))
                    .startsWith(QString::fromStdString(w.window->Rows()[p.row].date)));
    }

    // The pulse-rise index and the coupled share in the list and the printed
    // table, "-" for a night without them, which sorts below every night
    // with one (0 included).
    void pulseRiseColumnsShowADashForNone() {
        NightRow some, zero, none;
        some.night = 1;
        some.figures.pulseRiseIndex = 12.34;
        some.figures.coupledShare = 50;
        zero.night = 2;
        zero.figures.coupledShare = 0;
        none.night = 3;
        none.figures.pulseRiseIndex = kNoFigure;
        const struct {
            const NightRow& row;
            const char* rises;
            const char* coupled;
        } cases[] = {{some, "12.3", "50.0"}, {zero, "0.0", "0.0"}, {none, "-", "-"}};
        int printRises = 0;
        while (NightPrintColumnTitle(printRises) != std::string("Pulse rises/h")) ++printRises;
        QCOMPARE(NightPrintColumnTitle(printRises + 1), "Coupled %");
        for (const auto& c : cases) {
            QCOMPARE(NightCellText(c.row, NightColumn::PulseRiseIndex), std::string(c.rises));
            QCOMPARE(NightCellText(c.row, NightColumn::CoupledShare), std::string(c.coupled));
            QCOMPARE(NightPrintCellText(c.row, printRises), std::string(c.rises));
            QCOMPARE(NightPrintCellText(c.row, printRises + 1), std::string(c.coupled));
        }
        std::vector<NightRow> rows{some, none, zero};
        SortNights(rows, NightColumn::CoupledShare, true);
        QCOMPARE(rows[0].night, NightNumber{3});
        QCOMPARE(rows[1].night, NightNumber{2});
        SortNights(rows, NightColumn::PulseRiseIndex, false);
        QCOMPARE(rows[2].night, NightNumber{3});
    }

    // The summary under the chart is one patient's: that of the listed
    // nights of the selected night's ID (with none selected, the first
    // listed night's), named in its title, never two IDs' nights pooled. It
    // follows the filter, the selection, and the library when another process
    // adds nights to it.
    void summaryIsOneIdsAndFollowsTheFilterAndTheLibrary() {
        Library lib;
        Window w(lib.file);
        const auto check = [&](int id, int nights, const std::string& title) {
            const PeriodSummary& shown = w.window->Summary().period;
            QCOMPARE(shown.nights, nights);
            QCOMPARE(w.window->Summary().id, id);
            QVERIFY(!w.window->Summary().beforeAfter);
            std::vector<NightRow> ofId;
            for (const NightRow& row : w.window->Rows())
                if (row.id == id) ofId.push_back(row);
            const PeriodSummary listed = SummarizeNights(ofId);
            const FigureSummary& odi3 = shown.figures[static_cast<int>(NightFigure::Odi3)];
            QCOMPARE(odi3.median, listed.figures[static_cast<int>(NightFigure::Odi3)].median);
            const auto texts = SummaryTexts(*w.window);
            QVERIFY2(Shows(texts, title), title.c_str());
            QVERIFY(Shows(texts, nights ? Format("%.1f", odi3.median) : "–"));
        };
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        check(3, 3, "Period summary, ID 3: 3 nights, 2026-12-06 to 2026-12-09");
        for (std::size_t row = 0; row < w.window->Rows().size(); ++row)
            if (w.window->Rows()[row].id == 5) w.window->SelectRow(row);
        check(5, 2, "Period summary, ID 5: 2 nights, 2026-12-06 to 2026-12-07");
        w.window->SetFilter({"5", "", ""});
        check(5, 2, "Period summary, ID 5: 2 nights, 2026-12-06 to 2026-12-07");
        w.window->SetFilter({"3", "2026-12-09", ""});
        check(3, 1, "Period summary, ID 3: 1 night, 2026-12-09");
        w.window->SetFilter({"12", "", ""});
        check(0, 0, "Period summary: no nights");
        w.window->SetFilter({"3", "", ""});
        AddMoreNights(lib);
        w.window->Reload();
        check(3, 25, "Period summary, ID 3: 25 nights, 2026-12-06 to 2026-12-31");
        w.window->SetFilter({});
    }

    // The cut-off shares show in full where the window has the room, with
    // or without a split; where it has not, the cell's tooltip holds them.
    void summaryCutOffsShowInFull() {
        Library lib;
        Window w(lib.file);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        NightsSummaryWidget* summary = w.window->SummaryWidget();
        const QFontMetrics plain = [&] {
            QFont f = summary->font();
            f.setPixelSize(11);
            return QFontMetrics(f);
        }();
        const auto shareCells = [&](const NightsSummaryWidget* widget) {
            std::vector<SummaryCell> cells;
            for (const SummaryCell& c : widget->Layout().cells)
                if (c.text.find("\u2265 15: ") != std::string::npos) cells.push_back(c);
            return cells;
        };
        for (const std::string split : {"", "2026-12-07"}) {
            w.window->SetDividingDate(split);
            w.window->resize(1900, 1000);  // maximised
            QCoreApplication::processEvents();
            QVERIFY(!shareCells(summary).empty());
            for (const SummaryCell& c : shareCells(summary)) {
                QVERIFY2(plain.horizontalAdvance(QString::fromStdString(c.text)) <= c.rect.Width() - 6, c.text.c_str());
                QVERIFY(summary->ToolTipAt({c.rect.left + 4, c.rect.top + 4}).isEmpty());
            }
            // Too narrow for the shares: the first share column is cut short.
            NightsSummaryWidget narrow(w.window->Summary(), nullptr);
            narrow.resize(split.empty() ? 500 : 700, 300);
            const std::vector<SummaryCell> cells = shareCells(&narrow);
            QVERIFY(!cells.empty());
            QCOMPARE(narrow.ToolTipAt({cells[0].rect.left + 4, cells[0].rect.top + 4}),
                     QString::fromStdString(cells[0].text));
        }
        w.window->SetDividingDate("");
    }

    // A date splits the summary into the nights before it and those from it
    // on, and the chart draws a line between them; it marks nothing at the
    // first date shown or past the last, where one side would be empty.
    void splitShowsBothSidesAndMarksTheChart() {
        Library lib;  // nights of the 6th (two), the 7th (two) and the 9th
        Window w(lib.file);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        const struct {
            const char* date;
            bool split;
            int before;
            int after;
            bool line;
        } cases[] = {
            {"", false, 0, 0, false},          {"2026-12-0", false, 0, 0, false},  // typing: no split yet
            {"2026-12-05", true, 0, 3, false}, {"2026-12-06", true, 0, 3, false}, {"2026-12-07", true, 1, 2, true},
            {"2026-12-09", true, 2, 1, true},  {"2026-12-10", true, 3, 0, false},
        };  // the summary of ID 3, the first listed night's; the chart of both IDs
        for (const auto& c : cases) {
            w.window->SetDividingDate(c.date);
            const NightsSummary& summary = w.window->Summary();
            QCOMPARE(summary.beforeAfter.has_value(), c.split);
            QCOMPARE(summary.period.nights, 3);
            const ChartLayout chart = w.window->Chart();
            QCOMPARE(chart.dividingTick.has_value(), c.line);
            if (!c.split) continue;
            QCOMPARE(summary.beforeAfter->before.nights, c.before);
            QCOMPARE(summary.beforeAfter->after.nights, c.after);
            QCOMPARE(w.window->Report().dividingDate, std::string(c.date));
            if (!c.line) continue;
            // Halfway between the day before's points and the date's own.
            const int day = *DayNumber(c.date);
            QVERIFY(std::abs(2 * chart.dividingTick->position - ChartX(chart, day - 1) - ChartX(chart, day)) <= 2);
            for (const ChartPoint& p : chart.points)
                QVERIFY(p.day < day ? p.at.x < chart.dividingTick->position : p.at.x > chart.dividingTick->position);
        }
        // Both sides side by side, with the change of each median.
        w.window->SetDividingDate("2026-12-07");
        const BeforeAfterSummary& split = *w.window->Summary().beforeAfter;
        const auto texts = SummaryTexts(*w.window);
        QVERIFY(Shows(texts, "Median before") && Shows(texts, "Median after") && Shows(texts, "Change of median"));
        const double change = *split.MedianChange(NightFigure::Odi3);
        QCOMPARE(change, split.after.figures[0].median - split.before.figures[0].median);
        QVERIFY(Shows(texts, SummaryChangeText(change)));  // the terminal's rule
        SaveScreenshot(w.window->grab().toImage(), "nights_window_split");

        // Remembered in the settings file, as the filter is.
        Window again(lib.file);
        QCOMPARE(again.window->DividingDate(), std::string("2026-12-07"));
        QVERIFY(again.window->Summary().beforeAfter);
        again.window->SetDividingDate("");
        QVERIFY(!Window(lib.file).window->Summary().beforeAfter);
    }

    void opensANightAsTheCurrentDataSet() {
        Library lib;
        Window w(lib.file);
        DataFileContents file;
        QVERIFY(ReadDataFile(lib.id3, file));
        for (std::size_t row = 0; row < w.window->Rows().size(); ++row) {
            const NightRow night = w.window->Rows()[row];
            // After a data set without a title, the night shows its own file's.
            w.context->reportTitle.Set("");
            QVERIFY(w.window->OpenRow(row));
            QCOMPARE(w.context->reportTitle.Text(), std::string("t"));
            const auto current = w.context->store.CurrentSamples();
            QCOMPARE(w.context->store.CurrentId, night.id);
            QCOMPARE(current.size(), std::size_t(night.samples));
            if (night.id == 3) {
                QVERIFY(std::equal(
                    current.begin(), current.end(), file.records.begin() + night.first,
                    [](const SampleRecord& a, const SampleRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }));
            }
            QCOMPARE(w.context->patient.Current().id, night.id);
            QCOMPARE(w.opened.back().night, night.night);
        }
        // Enter opens the selected night too.
        w.window->SelectRow(0);
        QTest::keyClick(w.window->Table(), Qt::Key_Return);
        QCOMPARE(w.opened.back().night, w.window->Rows()[0].night);
    }

    // Another process changes the library (a note, a rebuild that puts a new
    // file in its place): the open window follows, keeping the selection, the
    // scroll position and a note being edited.
    void followsTheLibraryWhoeverChangesIt() {
        Library lib;
        AddMoreNights(lib);
        Window w(lib.file);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        QTableView* table = w.window->Table();
        // A row selected at the top, the list scrolled on past it.
        w.window->SelectRow(2);
        QScrollBar* scroll = table->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        const int scrolled = scroll->value();
        QVERIFY(scrolled > 2);
        const NightNumber night = w.window->Rows()[20].night;
        const auto note = [&](NightNumber n, const std::string& text) {
            return test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH,
                                        {"nights", "note", std::to_string(n), text, "--library", lib.file})
                .exitCode;
        };
        QCOMPARE(note(night, "from elsewhere"), 0);
        QTRY_COMPARE(w.window->Rows()[20].note, std::string("from elsewhere"));
        QCOMPARE(w.window->SelectedRow(), std::optional<std::size_t>(2));
        QCOMPARE(scroll->value(), scrolled);

        // A note being edited: the reload waits for the edit to end.
        const QModelIndex cell = table->model()->index(20, static_cast<int>(NightColumn::Note));
        table->edit(cell);
        QPointer<QLineEdit> editor = NoteEditor(table);
        QVERIFY(editor);
        editor->setText("mine");
        const NightNumber first = w.window->Rows()[0].night;
        QCOMPARE(note(first, "theirs"), 0);
        w.window->Reload();
        QCoreApplication::processEvents();
        QVERIFY(editor && editor->isVisible());
        QCOMPARE(w.window->Rows()[0].note, std::string());
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(w.window->Rows()[0].note, std::string("theirs"));
        QCOMPARE(w.window->Rows()[20].note, std::string("mine"));
        QVERIFY(w.opened.empty());  // Enter in the note did not open the night

        // Figures and nights from elsewhere too: an exclusion, a download added.
        const auto cli = [&](std::vector<std::string> args) {
            args.insert(args.end(), {"--library", lib.file.string()});
            return test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH, args).exitCode;
        };
        const double coverage = w.window->Rows()[20].figures.coverage;
        QCOMPARE(cli({"nights", "exclude", std::to_string(night), "0", "599"}), 0);
        QTRY_VERIFY(w.window->Rows()[20].figures.coverage < coverage);
        const std::size_t listed = w.window->Rows().size();
        std::vector<SampleRecord> later;
        test::AppendRun(later, 3, Secs(2027, 1, 2, 22, 0, 0), 3600);
        const fs::path download = lib.dir.Path() / "later" / "ID3.dat";
        fs::create_directories(download.parent_path());
        QVERIFY(WriteDataFile(download, 3, later, "t"));
        QCOMPARE(cli({"nights", "add", download.string()}), 0);
        QTRY_COMPARE(w.window->Rows().size(), listed + 1);

        // A rebuild replaces the file: the window opens the new one and follows it.
        const auto rebuilt =
            test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH, {"nights", "rebuild", "--library", lib.file});
        QCOMPARE(rebuilt.exitCode, 0);
        QCOMPARE(note(night, "after the rebuild"), 0);
        const auto noteOf = [&](NightNumber n) {
            for (const NightRow& row : w.window->Rows())
                if (row.night == n) return row.note;
            return std::string("(not listed)");
        };
        QTRY_COMPARE(noteOf(night), std::string("after the rebuild"));
    }

    void aDamagedLibraryRebuiltElsewhereOpens() {
        Library lib;
        std::ofstream(lib.file, std::ios::trunc) << "not a database at all, not at all, not at all";
        Window w(lib.file);
        QVERIFY(w.window->Message().contains("damaged"));
        const auto rebuild =
            test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH, {"nights", "rebuild", "--library", lib.file});
        QCOMPARE(rebuild.exitCode, 0);
        // The new library lists the nights of the data files the journal names
        // (and of any kept downloads of the test's data folder).
        QTRY_VERIFY(w.window->Rows().size() >= 5);
        QCOMPARE(w.window->Message(), QString());
    }

    // A double-click on the note of the selected row edits the note; Enter
    // ends the edit and opens nothing.
    void noteEditingOpensNoNight() {
        Library lib;
        Window w(lib.file);
        w.window->show();
        QApplication::setActiveWindow(w.window.get());
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QTableView* table = w.window->Table();
        w.window->SelectRow(1);
        const QModelIndex cell = table->model()->index(1, static_cast<int>(NightColumn::Note));
        // As the window system delivers a double-click.
        const QPoint at = table->visualRect(cell).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
        QTest::mousePress(table->viewport(), Qt::LeftButton, {}, at);
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, table->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, {});
        QApplication::sendEvent(table->viewport(), &twice);
        QTest::mouseRelease(table->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(NoteEditor(table));
        QVERIFY(w.opened.empty());
        QLineEdit* editor = NoteEditor(table);
        editor->setText("CPAP");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!NoteEditor(table));
        QCOMPARE(w.window->Rows()[1].note, std::string("CPAP"));
        QVERIFY(w.opened.empty());
        // Out of the note, Enter still opens the selected night.
        QTest::keyClick(table, Qt::Key_Return);
        QCOMPARE(w.opened.size(), std::size_t{1});
    }

    void noteIsSavedAtOnceAndRemovalAsksFirst() {
        Library lib;
        Window w(lib.file);
        const NightRow night = w.window->Rows()[1];
        auto* model = w.window->Table()->model();
        QVERIFY(model->setData(model->index(1, static_cast<int>(NightColumn::Note)),
                               QStringLiteral("CPAP, first night"), Qt::EditRole));
        const auto shown = test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH,
                                                {"nights", "show", std::to_string(night.night), "--library", lib.file});
        QCOMPARE(shown.exitCode, 0);
        QVERIFY2(shown.out.find("CPAP, first night") != std::string::npos, shown.out.c_str());

        w.answer = false;
        QVERIFY(!w.window->RemoveRow(1));
        QCOMPARE(w.window->Rows().size(), std::size_t{5});
        w.answer = true;
        QVERIFY(w.window->RemoveRow(1));
        QCOMPARE(w.window->Rows().size(), std::size_t{4});
        for (const NightRow& row : w.window->Rows()) QVERIFY(row.night != night.night);
        QVERIFY(fs::exists(lib.id3) && fs::exists(lib.id5));  // the files stay

        // The printed report of what is left, through quenda-cli.
        const fs::path pdf = home_.Path() / "nights.pdf";
        const auto report = test::RunInDirectory(
            home_.Path(), QUENDA_CLI_PATH,
            {"nights", "report", pdf.string(), "--library", lib.file.string(), "--id", "3", "--figure", "t90"});
        QCOMPARE(report.exitCode, 0);
        QVERIFY(test::Slurp(pdf).rfind("%PDF", 0) == 0);
        const auto split = test::RunInDirectory(
            home_.Path(), QUENDA_CLI_PATH,
            {"nights", "report", pdf.string(), "--library", lib.file.string(), "--split", "2026-12-07"});
        QCOMPARE(split.exitCode, 0);
        const auto badSplit = test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH,
                                                   {"nights", "report", pdf.string(), "--split", "2026-12-32"});
        QCOMPARE(badSplit.exitCode, 2);
        const auto bad =
            test::RunInDirectory(home_.Path(), QUENDA_CLI_PATH, {"nights", "report", pdf.string(), "--figure", "odi5"});
        QCOMPARE(bad.exitCode, 2);
    }

    void edges() {
        {  // An empty library: one line of help instead of an empty grid.
            Library empty(false);
            Window w(empty.file);
            QCOMPARE(w.window->Message(), QString(nights_text::kEmpty));
            QVERIFY(w.window->Table()->isHidden());
            w.window->show();
            SaveScreenshot(w.window->grab().toImage(), "nights_window_empty");
        }
        {  // A file gone: listed, greyed, "file missing"; opening says so and changes nothing.
            Library lib;
            fs::remove(lib.id5);
            Window w(lib.file);
            w.context->store.CurrentId = 9;
            std::size_t missing = 0;
            for (std::size_t row = 0; row < w.window->Rows().size(); ++row) {
                if (!w.window->Rows()[row].missing) continue;
                ++missing;
                const QModelIndex date = w.window->Table()->model()->index(static_cast<int>(row), 0);
                QVERIFY(date.data().toString().endsWith(nights_text::kFileMissing));
                QVERIFY(date.data(Qt::ForegroundRole).isValid());
                QVERIFY(!w.window->OpenRow(row));
                QVERIFY(w.told.back().contains(QString::fromStdString(lib.id5.string())));
            }
            QCOMPARE(missing, std::size_t{2});
            QCOMPARE(w.context->store.CurrentId, 9);
            QVERIFY(w.opened.empty());

            // A list filtered down to no nights prints no PDF: it says why.
            w.window->SetFilter({"99", "", ""});
            const fs::path pdf = lib.dir.Path() / "none.pdf";
            QVERIFY(!w.window->WritePdf(pdf));
            QCOMPARE(w.told.back(), QStringLiteral("no nights for ID 99"));
            QVERIFY(!fs::exists(pdf));
            w.window->SetFilter({});
        }
        {  // A library that is no database: why and which file; nothing written to it.
            test::TempDir dir("quenda-nights-bad");
            const fs::path bad = dir.Path() / "library.sqlite";
            std::ofstream(bad) << "not a database at all, not at all, not at all";
            const std::string before = test::Slurp(bad);
            Window w(bad);
            QVERIFY(w.window->Message().contains(QString::fromStdString(bad.string())));
            QVERIFY(w.window->Rows().empty());
            QCOMPARE(test::Slurp(bad), before);
        }
    }

    // Every listed ID its own colour, however many; one ID alone keeps its key.
    void chartColoursEveryIdAndKeepsTheKeyOfOne() {
        std::vector<QRgb> colours;
        for (std::size_t i = 0; i < 128; ++i) colours.push_back(NightsSeriesColour(i).rgb());
        QCOMPARE(colours[0], QColor(0, 90, 200).rgb());  // the first as before
        std::sort(colours.begin(), colours.end());
        QVERIFY(std::adjacent_find(colours.begin(), colours.end()) == colours.end());

        std::vector<NightRow> rows;
        for (int id = 1; id <= 40; ++id) {
            for (int day = 1; day <= 3; ++day) {
                NightRow row;
                row.night = id * 10 + day;
                row.id = id;
                row.date = "2026-12-0" + std::to_string(day);
                row.figures.odi3 = id + day;
                row.figures.validSamples = 3600;
                rows.push_back(row);
            }
        }
        const LayoutRect area{0, 0, 1000, 400};
        for (const std::size_t count : {rows.size(), std::size_t{3}}) {
            const ChartLayout chart = LayOutNightsChart(std::span(rows).first(count), NightFigure::Odi3, area);
            QCOMPARE(chart.ids.size(), count / 3);
            QImage image(area.Width(), area.Height(), QImage::Format_RGB32);
            QPainter painter(&image);
            PaintNightsChart(painter, chart);
            painter.end();
            // The key's first dot.
            QCOMPARE(image.pixelColor(area.left + 160, area.top + 10), NightsSeriesColour(0));
            if (count > 3) SaveScreenshot(image, "nights_chart_many_ids");
        }
    }

    // Two nights of one ID close together (the recorder switched off for an
    // hour and a half) are marked as one night broken in two, and said under
    // the summary; the window merges them and parts them again, splits a
    // night and joins it again.
    void brokenNightIsMarkedThenMergedSplitAndUndone() {
        test::TempDir dir("quenda-nights-broken");
        const fs::path file = dir.Path() / "library.sqlite";
        std::vector<SampleRecord> samples;
        const std::int64_t start = Secs(2026, 12, 6, 22, 0, 0);
        test::AppendRun(samples, 3, start, 3 * 3600);                // 22:00 to 01:00
        test::AppendRun(samples, 3, start + 3 * 3600 + 5400, 3600);  // 02:30 to 03:30
        test::AppendRun(samples, 3, Secs(2026, 12, 7, 22, 0, 0), 3600);
        QVERIFY(WriteDataFile(dir / "ID3.dat", 3, samples, "t"));
        const fs::path paths[] = {dir / "ID3.dat"};
        QVERIFY(AddToLibrary(file, paths, {}).result);
        Window w(file);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        const auto rowOf = [&](NightNumber night) {
            for (std::size_t i = 0; i < w.window->Rows().size(); ++i)
                if (w.window->Rows()[i].night == night) return i;
            return std::size_t{99};
        };
        const auto button = [&](const char* text) {
            for (auto* b : w.window->findChildren<QPushButton*>())
                if (b->text() == text) return b;
            return static_cast<QPushButton*>(nullptr);
        };
        QCOMPARE(w.window->Broken(), (std::vector<BrokenNight>{{1, 2, 3, 5400}}));
        const QAbstractItemModel* model = w.window->Table()->model();
        for (const NightNumber night : {1, 2, 3}) {
            const QModelIndex cell = model->index(static_cast<int>(rowOf(night)), 0);
            QCOMPARE(model->data(cell, Qt::BackgroundRole).isValid(), night != 3);
            QCOMPARE(model->data(cell, Qt::ToolTipRole).toString().startsWith("Nights 1 and 2 may be one night"),
                     night != 3);
        }
        QVERIFY2(w.window->BrokenLine().contains("nights 1 and 2 (2026-12-06, 1:30:00 apart)"),
                 qPrintable(w.window->BrokenLine()));
        w.window->SelectRow(rowOf(3));
        QVERIFY(!button("Merge...")->isEnabled());  // nothing within 12 hours after it
        QVERIFY(!w.window->MergeRow(rowOf(3)));
        QVERIFY(!button("Unmerge")->isEnabled());
        w.window->SelectRow(rowOf(2));
        QVERIFY(button("Merge...")->isEnabled());
        SaveScreenshot(w.window->grab().toImage(), "nights_window_broken");

        QVERIFY(w.window->MergeRow(rowOf(2)));
        QCOMPARE(w.window->Rows().size(), std::size_t{2});
        QCOMPARE(w.window->Rows()[*w.window->SelectedRow()].night, NightNumber{1});
        QCOMPARE(w.window->Rows()[rowOf(1)].samples, 4 * 3600);
        QVERIFY(w.window->Broken().empty() && w.window->BrokenLine().isEmpty());
        QVERIFY(button("Unmerge")->isEnabled());
        QVERIFY(w.window->UndoRow(rowOf(1)));
        QCOMPARE(w.window->Rows().size(), std::size_t{3});
        QCOMPARE(w.window->Broken().size(), std::size_t{1});

        QVERIFY(w.window->SplitRow(rowOf(3), 1800));
        QCOMPARE(w.window->Rows().size(), std::size_t{4});
        QCOMPARE(w.window->Rows()[rowOf(3)].samples, 1800);
        QVERIFY(w.window->Broken().size() == 1);  // a night split on purpose is not suspected
        QCOMPARE(button("Unmerge"), nullptr);
        QVERIFY(button("Unsplit")->isEnabled());
        QVERIFY(!w.window->SplitRow(rowOf(3), 900));  // the first half of a split: unsplit it first
        QCOMPARE(w.told.size(), std::size_t{1});
        QVERIFY(w.window->UndoRow(rowOf(3)));
        QCOMPARE(w.window->Rows().size(), std::size_t{3});
        QCOMPARE(w.window->Rows()[rowOf(3)].samples, 3600);
    }

    void rendersTheWindowAndThePrintedPages() {
        Library lib;
        // Enough nights for the table to go on to a second page.
        AddMoreNights(lib);
        Window w(lib.file);
        w.window->SelectRow(3);
        w.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
        SaveScreenshot(w.window->grab().toImage(), "nights_window");

        NightsReport report = w.window->Report();
        const LayoutRect page = LandscapeA4Page();
        const int pages = NightsReportPageCount(report, page);
        QCOMPARE(pages, 3);  // the table on two, then ID 5's summary: page one carries ID 3's
        std::size_t printed = 0;
        const NightsPrintLayout layout = LayOutNightsPrint(page);
        // Page one: the chart, the summary (room for it split or not), then the
        // table, whose last row ends above the page number.
        QVERIFY(layout.chart.bottom <= layout.summary.top && layout.summary.bottom <= layout.firstTableTop);
        for (const bool split : {false, true})
            QVERIFY(SummaryHeight(split, layout.summary.Width()) <= layout.summary.Height());
        QVERIFY(layout.firstPageRows >= 8);
        QVERIFY(layout.firstTableTop + layout.titleHeight + layout.firstPageRows * layout.rowHeight <=
                layout.tableBottom);
        QVERIFY(layout.tableTop + layout.titleHeight + layout.rowsPerPage * layout.rowHeight <= layout.tableBottom);
        // Every column, the note last, within the page.
        QCOMPARE(layout.columnLeft.back(), layout.header.right);
        for (std::size_t c = 1; c < layout.columnLeft.size(); ++c)
            QVERIFY(layout.columnLeft[c] - layout.columnLeft[c - 1] >= (c + 1 == layout.columnLeft.size() ? 80 : 28));
        for (const std::string split : {"", "2026-12-20"}) {
            report.dividingDate = split;
            for (int i = 0; i < pages; ++i) {
                if (split.empty()) printed += NightsPageRows(layout, report.rows.size(), i).second;
                QImage image(page.Width(), page.Height(), QImage::Format_RGB32);
                QPainter painter(&image);
                PaintNightsPage(painter, page, report, i);
                painter.end();
                // The summaries' shaded header rows: ID 3's on page one, ID 5's
                // at the top of the last page.
                const LayoutRect header =
                    LayOutSummary(SummarizeListed(report.rows, 3, split), layout.summary).headers[0];
                QCOMPARE(image.pixelColor(header.left + 1, header.top + 1) == QColor(235, 235, 235), i == 0);
                const LayoutRect after = {layout.summary.left, layout.tableTop, layout.summary.right, layout.tableBottom};
                const LayoutRect fifth = LayOutSummary(SummarizeListed(report.rows, 5, split), after).headers[0];
                QCOMPARE(image.pixelColor(fifth.left + 1, fifth.top + 1) == QColor(235, 235, 235), i == pages - 1);
                SaveScreenshot(image, QStringLiteral("nights_page_%1%2").arg(i + 1).arg(split.empty() ? "" : "_split"));
            }
        }
        QCOMPARE(printed, report.rows.size());
        // The printed table says what a night's figures rest on: counted of
        // recorded, its gaps beside it.
        NightRow gappy;
        gappy.samples = 600;
        gappy.gapSeconds = 100;
        gappy.figures.coverage = 410 * 100.0 / 600;
        gappy.note = "cold";
        int coverage = 0;
        while (coverage < kNightPrintColumnCount &&
               NightPrintColumnTitle(coverage) != std::string("Counted of recorded"))
            ++coverage;
        QCOMPARE(NightPrintColumnTitle(coverage + 1), "Gaps");
        QCOMPARE(NightPrintCellText(gappy, coverage), std::string("68.3% of 0:10:00"));
        QCOMPARE(NightPrintCellText(gappy, coverage + 1), std::string("0:01:40"));
        QCOMPARE(NightPrintCellText(gappy, kNightPrintColumnCount - 1), std::string("cold"));
        QCOMPARE(layout.columnLeft.size(), std::size_t(kNightPrintColumnCount + 1));
        const fs::path pdf = lib.dir.Path() / "window.pdf";
        QVERIFY(w.window->WritePdf(pdf));
        QVERIFY(test::Slurp(pdf).rfind("%PDF", 0) == 0);
    }
};

}  // namespace quenda

QTEST_MAIN(quenda::NightsWindowTest)
#include "NightsWindowTest.moc"
