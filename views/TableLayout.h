#pragma once

#include "analysis/ScoredFigures.h"
#include "store/SampleRecord.h"
#include "views/PageLayout.h"
#include "views/TrendViewSource.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace quenda {

// The table page as numbers: the header with the report title, the patient and
// the recording's start and end, then a grid of numbered sample rows in two
// side-by-side halves. Logical units, integer arithmetic truncating toward
// zero. No widgets, so the view, the printer and the command line share it.

enum class TableFont { Title, Label, Value, Cell, ReportLabel, ReportValue };

// Text cell heights (ascent + descent), in logical units.
namespace table_font_height {
inline constexpr int kTitle = 25;  // bold italic
inline constexpr int kLabel = 18;  // bold
inline constexpr int kValue = 18;
inline constexpr int kCell = 16;
inline constexpr int kReportLabel = 14;  // bold; the analysis report page
inline constexpr int kReportValue = 13;  // the analysis report page
}  // namespace table_font_height

using TableText = LaidOutText<TableFont>;

namespace table_colour {
inline constexpr Rgb kBackground{202, 200, 159};          // Table mode
inline constexpr Rgb kAnalysisBackground{196, 196, 196};  // around the report sheet
inline constexpr Rgb kPaper{255, 255, 255};
inline constexpr Rgb kGrid{191, 189, 140};
inline constexpr Rgb kText{0, 0, 0};  // also the rules
}  // namespace table_colour

inline constexpr int kTableRowHeight = 22;

// Rows of a table area `tableHeight` units high; row 0 stays empty, row 1
// holds the headings, the rest hold samples.
int TableRows(int tableHeight);
// Samples one page shows: rows 2 … rows − 1 in each half. 0 below 3 rows.
int TableSamplesPerPage(int rows);
// Pages of `sampleCount` samples; none below 3 rows, where the view keeps the
// page count it had.
std::optional<int> TablePageCount(int rows, int sampleCount);
// The sample number (from 1) shown in row `row` (2 … rows − 1) of half `half`
// (0 left, 1 right) on page `pageIndex`.
std::int64_t TableSampleNumber(int half, int row, int pageIndex, int rows);

// The report sheet of the Analysis mode on screen: A4 portrait proportions
// (210 by 297), its left edge at 30 % of the view, 10 units from top and bottom.
LayoutRect AnalysisPaper(const LayoutRect& view);

// The patient block's labels, left- and top-aligned in `font`: "User Data"
// at `firstTop`, then Name, Gender and Age, then ID, Height and Weight, each
// row `rowHeight` high and `gap` below the one before, in the columns
// U.left + 10, U.left + c36 and U.left + c62. The table and report pages
// place them alike at their own sizes.
void AddPatientLabels(std::vector<TableText>& out, const LayoutRect& U, int firstTop, int rowHeight, int gap, int c36,
                      int c62, TableFont font);

struct TablePageLayout {
    LayoutRect drawing;
    LayoutRect title;
    LayoutRect patientBlock;
    LayoutRect recordingBlock;
    LayoutRect table;
    int rows = 0;
    std::optional<int> pageCount;   // none when fewer than three rows fit
    std::vector<LayoutLine> rules;  // black
    std::vector<LayoutLine> grid;   // grid colour
    std::vector<TableText> texts;   // header, headings, then the sample rows
};

// The whole Table-mode page for `drawing`, showing page `pageIndex`.
// `valueAverageCharWidth` sizes the name box, as for the trend header. With
// a scored study's marks (ScoredMarksOf), each half gets a sixth cell,
// "Event", naming the respiratory event a sample lies in.
TablePageLayout LayoutTablePage(const LayoutRect& drawing, int pageIndex, std::span<const SampleRecord> samples,
                                const TrendHeader& header, int valueAverageCharWidth,
                                std::span<const ScoredMark> scored = {});

}  // namespace quenda
