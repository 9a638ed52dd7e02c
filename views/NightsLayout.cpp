#include "views/NightsLayout.h"

#include "base/UiText.h"
#include "views/NightsSummaryLayout.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

namespace quenda {

namespace {

std::string Fixed1(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string Clock(std::int64_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// What a column sorts by: a number, else its text.
struct SortKey {
    double number = 0;
    std::string text;
};

double FigureOrBelow(const NightRow& row, NightFigure figure) {
    const double value = NightFigureValue(row, figure);
    return HasFigure(value) ? value : -1;
}

// One decimal, or "-" where the night has none of the figure.
std::string FigureText(const NightRow& row, NightFigure figure) {
    const double value = NightFigureValue(row, figure);
    return HasFigure(value) ? Fixed1(value) : "-";
}

SortKey KeyOf(const NightRow& row, NightColumn column) {
    switch (column) {
        case NightColumn::Date: return {static_cast<double>(row.start), {}};
        case NightColumn::Id: return {static_cast<double>(row.id), {}};
        case NightColumn::Name: return {0, Lower(row.name)};
        case NightColumn::Start: return {static_cast<double>(((row.start % 86400) + 86400 + 43200) % 86400), {}};
        case NightColumn::Duration: return {static_cast<double>(row.DurationSeconds()), {}};
        case NightColumn::Recorded: return {static_cast<double>(row.samples), {}};
        // A night with none of the figure sorts below every night with one.
        case NightColumn::Odi3: return {FigureOrBelow(row, NightFigure::Odi3), {}};
        case NightColumn::Odi4: return {FigureOrBelow(row, NightFigure::Odi4), {}};
        case NightColumn::T90: return {FigureOrBelow(row, NightFigure::T90), {}};
        case NightColumn::T88: return {FigureOrBelow(row, NightFigure::T88), {}};
        case NightColumn::Nadir: return {FigureOrBelow(row, NightFigure::Nadir), {}};
        case NightColumn::MeanSpo2: return {FigureOrBelow(row, NightFigure::MeanSpo2), {}};
        case NightColumn::MeanPulse: return {FigureOrBelow(row, NightFigure::MeanPulse), {}};
        case NightColumn::PulseRiseIndex: return {FigureOrBelow(row, NightFigure::PulseRiseIndex), {}};
        case NightColumn::CoupledShare: return {FigureOrBelow(row, NightFigure::CoupledShare), {}};
        case NightColumn::Ahi: return {FigureOrBelow(row, NightFigure::Ahi), {}};
        case NightColumn::HypoxicBurden: return {FigureOrBelow(row, NightFigure::HypoxicBurden), {}};
        case NightColumn::Note: return {0, Lower(row.note)};
    }
    return {};
}

// A step of 1, 2 or 5 times a power of ten near `span / count`.
double NiceStep(double span, int count) {
    const double raw = span / std::max(1, count);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double f : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= f * power) return f * power;
    }
    return 10 * power;
}

std::string CivilDate(int day) {
    // Days since 1970-01-01 to a date (proleptic Gregorian).
    int z = day + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int y = yoe + era * 400;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return text;
}

}  // namespace

const char* NightColumnTitle(NightColumn column) {
    static const char* const titles[kNightColumnCount] = {
        "Date",  "ID",      "Name",  "Start",     "Duration",   "Recorded",      "ODI 3 %",   "ODI 4 %",
        "T90 %", "T88 min", "Nadir", "Mean SpO2", "Mean pulse", "Pulse rises/h", "Coupled %", "AHI",       "Hypoxic burden", "Note"};
    return titles[static_cast<int>(column)];
}

std::string NightCellText(const NightRow& row, NightColumn column) {
    const NightFigures& f = row.figures;
    switch (column) {
        case NightColumn::Date: return row.date;
        case NightColumn::Id: return std::to_string(row.id);
        case NightColumn::Name: return row.name;
        case NightColumn::Start: {
            const std::string iso = row.StartText();
            return iso.size() >= 16 ? iso.substr(11, 5) : iso;
        }
        case NightColumn::Duration: return Clock(row.DurationSeconds());
        case NightColumn::Recorded: return Clock(row.samples);
        case NightColumn::Odi3: return FigureText(row, NightFigure::Odi3);
        case NightColumn::Odi4: return FigureText(row, NightFigure::Odi4);
        case NightColumn::T90: return FigureText(row, NightFigure::T90);
        case NightColumn::T88: return FigureText(row, NightFigure::T88);
        case NightColumn::Nadir: return f.AnyCounted() ? std::to_string(f.nadirSpo2) : "-";
        case NightColumn::MeanSpo2: return FigureText(row, NightFigure::MeanSpo2);
        case NightColumn::MeanPulse: return FigureText(row, NightFigure::MeanPulse);
        case NightColumn::PulseRiseIndex: return FigureText(row, NightFigure::PulseRiseIndex);
        case NightColumn::CoupledShare: return FigureText(row, NightFigure::CoupledShare);
        case NightColumn::Ahi: return FigureText(row, NightFigure::Ahi);
        case NightColumn::HypoxicBurden: return FigureText(row, NightFigure::HypoxicBurden);
        case NightColumn::Note: return row.note;
    }
    return {};
}

std::string CountedOfRecorded(double coverage, std::int64_t recordedSeconds) {
    return Fixed1(coverage) + "% of " + Clock(recordedSeconds);
}

namespace {

constexpr int kPrintCoverage = static_cast<int>(NightColumn::Recorded);
constexpr int kPrintGaps = kPrintCoverage + 1;

// The list's column a printed column shows, past the two of its own.
NightColumn ListColumnOf(int printColumn) {
    return static_cast<NightColumn>(printColumn < kPrintCoverage ? printColumn : printColumn - 1);
}

}  // namespace

const char* NightPrintColumnTitle(int column) {
    if (column == kPrintCoverage) return "Counted of recorded";
    if (column == kPrintGaps) return "Gaps";
    return NightColumnTitle(ListColumnOf(column));
}

std::string NightPrintCellText(const NightRow& row, int column) {
    if (column == kPrintCoverage) return CountedOfRecorded(row.figures.coverage, row.samples);
    if (column == kPrintGaps) return Clock(row.gapSeconds);
    return NightCellText(row, ListColumnOf(column));
}

void SortNights(std::vector<NightRow>& rows, NightColumn column, bool ascending) {
    std::vector<std::pair<SortKey, std::size_t>> keys;
    keys.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) keys.emplace_back(KeyOf(rows[i], column), i);
    std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        const auto ka = std::tie(a.first.number, a.first.text);
        const auto kb = std::tie(b.first.number, b.first.text);
        if (ka != kb) return ascending ? ka < kb : kb < ka;
        const NightRow& ra = rows[a.second];
        const NightRow& rb = rows[b.second];
        return std::tie(rb.start, rb.night) < std::tie(ra.start, ra.night);
    });
    std::vector<NightRow> sorted;
    sorted.reserve(rows.size());
    for (const auto& key : keys) sorted.push_back(std::move(rows[key.second]));
    rows = std::move(sorted);
}

bool NightMatches(const NightRow& row, const NightSearch& filter) {
    if (!filter.from.empty() && row.date < filter.from) return false;
    if (!filter.to.empty() && row.date > filter.to) return false;
    std::string_view want = filter.idOrName;
    while (!want.empty() && want.front() == ' ') want.remove_prefix(1);
    while (!want.empty() && want.back() == ' ') want.remove_suffix(1);
    if (want.empty()) return true;
    if (std::all_of(want.begin(), want.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return want.size() < 4 && std::stoi(std::string(want)) == row.id;
    return Lower(row.name).find(Lower(want)) != std::string::npos;
}

std::vector<NightRow> FilterNights(std::span<const NightRow> rows, const NightSearch& filter) {
    std::vector<NightRow> kept;
    for (const NightRow& row : rows) {
        if (NightMatches(row, filter)) kept.push_back(row);
    }
    return kept;
}

std::string FilterText(const NightSearch& filter) {
    std::string text;
    if (!filter.idOrName.empty()) text = "ID or name \"" + filter.idOrName + "\"";
    if (!filter.from.empty()) text += (text.empty() ? "From " : ", from ") + filter.from;
    if (!filter.to.empty()) text += (text.empty() ? "To " : " to ") + filter.to;
    return text.empty() ? "All nights" : text;
}

std::string NoNightsText(const NightSearch& filter) {
    const std::string& who = filter.idOrName;
    const bool isId = !who.empty() && std::all_of(who.begin(), who.end(), [](char c) { return c >= '0' && c <= '9'; });
    std::string text = UiText("no nights");
    if (isId) {
        text += " " + UiText("for ID") + " " + who;
    } else if (!who.empty()) {
        text += " " + UiText("for ID or name") + " \"" + who + "\"";
    }
    if (!filter.from.empty()) text += (who.empty() ? " " : ", ") + UiText("from") + " " + filter.from;
    if (!filter.to.empty()) text += " " + UiText("to") + " " + filter.to;
    return who.empty() && filter.from.empty() && filter.to.empty() ? text + " " + UiText("in the library") : text;
}

std::optional<int> DayNumber(std::string_view date) {
    if (!IsDateText(std::string(date))) return std::nullopt;
    const int y0 = std::stoi(std::string(date.substr(0, 4)));
    const int m = std::stoi(std::string(date.substr(5, 2)));
    const int d = std::stoi(std::string(date.substr(8, 2)));
    const int y = m <= 2 ? y0 - 1 : y0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int ChartY(const ChartLayout& chart, double value) {
    const double share = (value - chart.low) / (chart.high - chart.low);
    return chart.plot.bottom - 1 - static_cast<int>(std::lround(share * (chart.plot.Height() - 1)));
}

namespace {

int DayToX(const ChartLayout& chart, double day) {
    const int days = chart.lastDay - chart.firstDay + 1;
    const double width = double(chart.plot.Width()) / days;
    return chart.plot.left + static_cast<int>(std::lround((day - chart.firstDay) * width));
}

}  // namespace

int ChartX(const ChartLayout& chart, int day) { return DayToX(chart, day + 0.5); }

int ChartDayStart(const ChartLayout& chart, int day) { return DayToX(chart, day); }

namespace {

// The date axis: whole days, labelled every few days so labels never meet.
void PlaceDateTicks(ChartLayout& chart) {
    const int days = chart.lastDay - chart.firstDay + 1;
    const int labelRoom = 76;
    const int most = std::max(1, chart.plot.Width() / labelRoom);
    int every = 1;
    for (const int e : {1, 2, 7, 14, 28, 56, 91, 182, 364, 728}) {
        every = e;
        if ((days + e - 1) / e <= most) break;
    }
    for (int day = chart.firstDay; day <= chart.lastDay; day += every) {
        chart.dateTicks.push_back({ChartX(chart, day), CivilDate(day)});
    }
}

// The points in their places, ordered by ID and night, the lines that join
// them and the IDs they show.
void JoinPoints(ChartLayout& chart, std::span<const NightRow> rows) {
    std::stable_sort(chart.points.begin(), chart.points.end(), [&](const ChartPoint& a, const ChartPoint& b) {
        return std::tie(a.id, a.day, rows[a.row].start) < std::tie(b.id, b.day, rows[b.row].start);
    });
    for (ChartPoint& p : chart.points) p.at = {ChartX(chart, p.day), ChartY(chart, p.value)};
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        const ChartPoint& p = chart.points[i];
        if (chart.ids.empty() || chart.ids.back() != p.id) chart.ids.push_back(p.id);
        if (i == 0) continue;
        const ChartPoint& q = chart.points[i - 1];
        // Joined only within one ID and between nights a day apart (or two
        // nights of one date): a missing night is a gap.
        if (q.id == p.id && p.day - q.day <= 1) {
            chart.lines.push_back({q.at, p.at});
            chart.lineIds.push_back(p.id);
        }
    }
    std::sort(chart.ids.begin(), chart.ids.end());
    chart.ids.erase(std::unique(chart.ids.begin(), chart.ids.end()), chart.ids.end());
}

}  // namespace

ChartLayout LayOutNightsChart(std::span<const NightRow> rows, NightFigure figure, const LayoutRect& area,
                              const std::string& dividingDate) {
    ChartLayout chart;
    chart.area = area;
    chart.figure = figure;
    chart.title = NightFigureTitle(figure);
    // Room for the value labels on the left, the dates below, the title above.
    chart.plot = {area.left + 48, area.top + 22, area.right - 12, area.bottom - 22};
    if (chart.plot.Width() < 10 || chart.plot.Height() < 10) return chart;

    double lowest = 0;
    double highest = 0;
    bool any = false;
    chart.firstDay = 0;
    chart.lastDay = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto day = DayNumber(rows[i].date);
        if (!day) continue;
        const double value = NightFigureValue(rows[i], figure);
        if (!HasFigure(value)) continue;  // a night with none of it has no point
        chart.points.push_back({i, rows[i].id, *day, value, {}});
        if (!any) {
            chart.firstDay = chart.lastDay = *day;
            lowest = highest = value;
            any = true;
        }
        chart.firstDay = std::min(chart.firstDay, *day);
        chart.lastDay = std::max(chart.lastDay, *day);
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
    chart.empty = !any;
    const std::vector<double> cutOffs = NightFigureCutOffs(figure);

    // The value axis: from zero for the indices and times, around the data
    // for the saturations and the pulse.
    switch (figure) {
        case NightFigure::Nadir:
        case NightFigure::MeanSpo2:
            chart.low = any ? std::max(0.0, std::floor((lowest - 2) / 5) * 5) : 80;
            chart.high = 100;
            break;
        case NightFigure::MeanPulse:
            chart.low = any ? std::max(0.0, std::floor((lowest - 5) / 10) * 10) : 50;
            chart.high = any ? std::ceil((highest + 5) / 10) * 10 : 100;
            break;
        default: {
            chart.low = 0;
            double top = std::max(highest * 1.1, 1.0);
            // The next cut-off above the data shows, so the reader sees how far off it is.
            for (const double c : cutOffs) {
                if (c >= highest) {
                    top = std::max(top, c * 1.1);
                    break;
                }
            }
            chart.high = top;
        }
    }
    if (chart.high <= chart.low) chart.high = chart.low + 1;
    const double step = NiceStep(chart.high - chart.low, std::max(2, chart.plot.Height() / 40));
    chart.high = chart.low + std::ceil((chart.high - chart.low) / step - 1e-9) * step;
    for (double v = chart.low; v <= chart.high + step / 2; v += step) {
        char text[32];
        std::snprintf(text, sizeof text, step < 1 ? "%.1f" : "%.0f", v);
        chart.valueTicks.push_back({ChartY(chart, v), text});
    }
    for (const double c : cutOffs) {
        if (c > chart.low && c < chart.high) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", c);
            chart.cutOffs.push_back({ChartY(chart, c), text});
        }
    }

    if (any) PlaceDateTicks(chart);
    JoinPoints(chart, rows);
    if (const auto day = DayNumber(dividingDate); any && day && *day > chart.firstDay && *day <= chart.lastDay)
        chart.dividingTick = ChartTick{ChartDayStart(chart, *day), "From " + dividingDate};
    return chart;
}

std::optional<std::size_t> ChartPointAt(const ChartLayout& chart, LayoutPoint at, int radius) {
    std::optional<std::size_t> best;
    long bestDistance = static_cast<long>(radius) * radius;
    for (std::size_t i = 0; i < chart.points.size(); ++i) {
        const long dx = chart.points[i].at.x - at.x;
        const long dy = chart.points[i].at.y - at.y;
        if (dx * dx + dy * dy <= bestDistance) {
            bestDistance = dx * dx + dy * dy;
            best = i;
        }
    }
    return best;
}

std::string ChartPointText(const NightRow& row, NightFigure figure) {
    std::string text = row.date + ", ID " + std::to_string(row.id);
    if (!row.name.empty()) text += " (" + row.name + ")";
    text += ": ";
    text += NightFigureTitle(figure);
    const double value = NightFigureValue(row, figure);
    text += " " + (!HasFigure(value)               ? std::string("-")
                   : figure == NightFigure::Nadir ? std::to_string(row.figures.nadirSpo2)
                                                  : Fixed1(value));
    return text;
}

NightsPrintLayout LayOutNightsPrint(const LayoutRect& page) {
    NightsPrintLayout layout;
    layout.page = page;
    const int margin = 40;
    const LayoutRect inner{page.left + margin, page.top + margin, page.right - margin, page.bottom - margin};
    layout.header = {inner.left, inner.top, inner.right, inner.top + 44};
    layout.chart = {inner.left, layout.header.bottom + 6, inner.right, layout.header.bottom + 6 + 220};
    const int summaryHeight = std::max(SummaryHeight(false, inner.Width()), SummaryHeight(true, inner.Width()));
    layout.summary = {inner.left, layout.chart.bottom + 8, inner.right, layout.chart.bottom + 8 + summaryHeight};
    layout.firstTableTop = layout.summary.bottom + 10;
    layout.tableTop = layout.header.bottom + 6;
    layout.tableBottom = inner.bottom - 16;  // the page number below
    // Widths per column, for the values and for the titles on two lines; the
    // note takes what is left.
    static const int widths[kNightPrintColumnCount - 1] = {72, 28, 72, 40, 62, 108, 52, 48, 48,
                                                           44, 46, 40, 46, 46, 50,  60, 40, 56};
    int x = inner.left;
    for (const int w : widths) {
        layout.columnLeft.push_back(x);
        x += w;
    }
    layout.columnLeft.push_back(x);
    layout.columnLeft.push_back(inner.right);
    // The column titles take the top of the table on every page.
    layout.firstPageRows =
        std::max(1, (layout.tableBottom - layout.firstTableTop - layout.titleHeight) / layout.rowHeight);
    layout.rowsPerPage = std::max(1, (layout.tableBottom - layout.tableTop - layout.titleHeight) / layout.rowHeight);
    return layout;
}

int NightsPageCount(const NightsPrintLayout& layout, std::size_t rows) {
    if (rows <= static_cast<std::size_t>(layout.firstPageRows)) return 1;
    const std::size_t rest = rows - layout.firstPageRows;
    return 1 + static_cast<int>((rest + layout.rowsPerPage - 1) / layout.rowsPerPage);
}

std::pair<std::size_t, std::size_t> NightsPageRows(const NightsPrintLayout& layout, std::size_t rows, int pageIndex) {
    std::size_t first = 0;
    std::size_t count = static_cast<std::size_t>(layout.firstPageRows);
    if (pageIndex > 0) {
        first = layout.firstPageRows + static_cast<std::size_t>(pageIndex - 1) * layout.rowsPerPage;
        count = static_cast<std::size_t>(layout.rowsPerPage);
    }
    if (first >= rows) return {rows, 0};
    return {first, std::min(count, rows - first)};
}

}  // namespace quenda
