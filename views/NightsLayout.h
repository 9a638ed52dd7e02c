#pragma once

#include "nights/Night.h"
#include "nights/NightFigure.h"  // the figures the chart follows
#include "views/PageLayout.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// The Nights page as numbers: the table's columns and cells, its order and
// filter, the chart of one figure across nights, and the printed pages. No
// widgets, so the window, the printer, quenda-cli and the tests share it.

// The list's columns, left to right.
enum class NightColumn {
    Date,
    Id,
    Name,
    Start,
    Duration,
    Recorded,
    Odi3,
    Odi4,
    T90,
    T88,
    Nadir,
    MeanSpo2,
    MeanPulse,
    PulseRiseIndex,
    CoupledShare,
    Ahi,            // a scored night's (ScoredFiguresOf), "-" for one without scoring
    HypoxicBurden,  // likewise, "-" without a respiratory event
    Note
};
inline constexpr int kNightColumnCount = 18;

const char* NightColumnTitle(NightColumn column);
// The cell as the list and the printed table show it (UTF-8); "-" for a
// figure the night has none of (the coupled share without a 3 % desaturation).
std::string NightCellText(const NightRow& row, NightColumn column);
// A night's coverage as counted of recorded, "96.2% of 7:58:00": the share
// of the recorded time (its samples, gaps left out) its figures rest on.
std::string CountedOfRecorded(double coverage, std::int64_t recordedSeconds);
// The printed table's columns: the list's, with the recorded time shown as
// the coverage, counted of recorded, and the night's gaps beside it, so a
// page says what its figures rest on.
inline constexpr int kNightPrintColumnCount = kNightColumnCount + 1;
const char* NightPrintColumnTitle(int column);
std::string NightPrintCellText(const NightRow& row, int column);
// Orders rows by one column (ties: newest first, then the higher number).
void SortNights(std::vector<NightRow>& rows, NightColumn column, bool ascending);
// Newest first: the list's own order.
inline void SortNewestFirst(std::vector<NightRow>& rows) { SortNights(rows, NightColumn::Date, false); }

// What the user typed to find nights in the Nights window (and `nights
// report` takes), as remembered in the settings file; the library's own
// query is a NightFilter. `idOrName`: an ID
// number, or part of a patient name (any case); empty: every night. Dates
// "YYYY-MM-DD", both ends included; empty: open.
struct NightSearch {
    std::string idOrName;
    std::string from;
    std::string to;
    bool operator==(const NightSearch&) const = default;
};
bool NightMatches(const NightRow& row, const NightSearch& filter);
std::vector<NightRow> FilterNights(std::span<const NightRow> rows, const NightSearch& filter);
// "ID or name 3, from 2026-12-01 to 2026-12-31", or "All nights".
std::string FilterText(const NightSearch& filter);
// What a report or summary of no nights says instead of being made: "no
// nights for ID 99", "no nights for ID or name "ann", from 2026-12-01", or
// "no nights in the library".
std::string NoNightsText(const NightSearch& filter);

// Days since 1970-01-01 of a "YYYY-MM-DD"; nothing when it is no date.
std::optional<int> DayNumber(std::string_view date);

// The chart of one figure across nights: one point per night on a date axis,
// one line per ID, joined only between nights on consecutive dates, so a
// missing night leaves a gap.
struct ChartPoint {
    std::size_t row = 0;  // index into the rows laid out
    int id = 0;
    int day = 0;
    double value = 0;
    LayoutPoint at;
};
struct ChartTick {
    int position = 0;  // x for the date axis, y for the value axis
    std::string label;
};
struct ChartLayout {
    LayoutRect area;  // the whole chart, labels included
    LayoutRect plot;  // inside the axes
    NightFigure figure = NightFigure::Odi3;
    int firstDay = 0;
    int lastDay = 0;
    double low = 0;
    double high = 1;
    std::vector<ChartPoint> points;  // by ID, then date
    std::vector<LayoutLine> lines;   // the joins
    std::vector<int> lineIds;        // the ID of each join
    std::vector<ChartTick> dateTicks;
    std::vector<ChartTick> valueTicks;
    std::vector<ChartTick> cutOffs;  // y and the value's text
    // A dividing date (a therapy's start) within the dates shown: x of the
    // line between the nights before it and those from it on, and its text.
    std::optional<ChartTick> dividingTick;
    std::vector<int> ids;  // one series each, in colour order
    std::string title;
    bool empty = true;
};
// `dividingDate`: "YYYY-MM-DD" to mark, or empty. It is marked when nights of the
// chart lie on both sides of it: after the first date shown, up to the last.
ChartLayout LayOutNightsChart(std::span<const NightRow> rows, NightFigure figure, const LayoutRect& area,
                              const std::string& dividingDate = {});
// The value's y in the plot.
int ChartY(const ChartLayout& chart, double value);
// The middle of a day on the date axis, where its nights' points stand.
int ChartX(const ChartLayout& chart, int day);
// The start of a day on the date axis, halfway between its points and the
// day before's.
int ChartDayStart(const ChartLayout& chart, int day);
// The point nearest `at` within `radius` units, or nothing.
std::optional<std::size_t> ChartPointAt(const ChartLayout& chart, LayoutPoint at, int radius = 6);
// "2026-12-06, ID 3: ODI 3 % 12.4" for the pointer.
std::string ChartPointText(const NightRow& row, NightFigure figure);

// The printed Nights page: landscape A4, the chart and the period summary on
// page one above the table, the table continued on further pages.
struct NightsPrintLayout {
    LayoutRect page;
    LayoutRect header;   // title and filter, on every page
    LayoutRect chart;    // page one only
    LayoutRect summary;  // page one only: room for the summary, split or not
    int rowHeight = 18;
    int titleHeight = 30;         // the table's column titles, two lines where a title wraps
    std::vector<int> columnLeft;  // kNightPrintColumnCount + 1 edges
    int firstTableTop = 0;        // page one
    int tableTop = 0;             // later pages
    int tableBottom = 0;
    int firstPageRows = 0;
    int rowsPerPage = 0;
};
NightsPrintLayout LayOutNightsPrint(const LayoutRect& page);
int NightsPageCount(const NightsPrintLayout& layout, std::size_t rows);
// The rows [first, first + count) printed on a page.
std::pair<std::size_t, std::size_t> NightsPageRows(const NightsPrintLayout& layout, std::size_t rows, int pageIndex);

}  // namespace quenda
