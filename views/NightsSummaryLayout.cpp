#include "views/NightsSummaryLayout.h"

#include "base/UiText.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace quenda {

namespace {

constexpr const char* kNothing = kNoSummaryFigure;

// Columns in layout units, for the page's 11-unit font: room for the widest
// text each holds ("Desaturation burden", "100.0–100.0", three cut-offs).
constexpr std::array kPeriodWidths{126, 48, 52, 78, 78, 204};
constexpr std::array kBeforeAfterWidths{126, 96, 92, 90, 88, 128, 204, 204};
constexpr int kBlockGap = 24;
constexpr int kShareIndent = 8;
constexpr int kRowHeight = 15;
// The title and the overview above the table.
constexpr int kTextLines = 2;

// "≥ 5: 57.1% · ≥ 15: 14.3% · ≥ 30: 0.0%"; empty for a figure without cut-offs.
std::string Shares(const FigureSummary& f) {
    if (f.shares.empty()) return {};
    if (f.nights == 0) return kNothing;
    std::string text;
    for (const CutOffShare& s : f.shares) {
        if (!text.empty()) text += " · ";
        text += s.cutOff.Text() + ": " + SummaryShareText(s.percent);
    }
    return text;
}

// The widest text a cut-off cell can hold: every share at 100 %.
int WidestShares(const SummaryTextWidth& measure) {
    int widest = 0;
    for (int i = 0; i < kNightFigureCount; ++i) {
        FigureSummary f;
        f.figure = static_cast<NightFigure>(i);
        f.nights = 1;
        for (const FigureCutOff& c : SummaryCutOffs(f.figure)) f.shares.push_back({c, 1, 100.0});
        widest = std::max(widest, measure(Shares(f), false));
    }
    return widest;
}

std::vector<int> ColumnWidths(bool beforeAfter, const SummaryTextWidth& measure) {
    std::vector<int> widths = beforeAfter ? std::vector<int>(kBeforeAfterWidths.begin(), kBeforeAfterWidths.end())
                                    : std::vector<int>(kPeriodWidths.begin(), kPeriodWidths.end());
    if (!measure) return widths;
    const int shares = WidestShares(measure) + kShareIndent + 2 * kSummaryCellPadding;
    for (std::size_t c = widths.size() - (beforeAfter ? 2 : 1); c < widths.size(); ++c)
        widths[c] = std::max(widths[c], shares);
    return widths;
}

int Blocks(bool beforeAfter, int width, const SummaryTextWidth& measure) {
    const std::vector<int> widths = ColumnWidths(beforeAfter, measure);
    const int block = std::accumulate(widths.begin(), widths.end(), 0);
    return width >= 2 * block + kBlockGap ? 2 : 1;
}

// ", ID 3": whose nights they are; nothing for a summary of no nights.
std::string IdOf(const NightsSummary& summary) {
    return summary.period.nights > 0 ? ", " + UiText("ID") + " " + std::to_string(summary.id) : std::string();
}

}  // namespace

NightsSummary SummarizeListed(std::span<const NightRow> rows, int id, const std::string& dividingDate) {
    IdSummaryBuilder builder(dividingDate);
    for (const NightRow& row : rows)
        if (row.id == id) builder.Add(row);
    std::vector<IdSummary> one = builder.Finish();
    if (!one.empty()) return std::move(one.front());
    NightsSummary none{id, SummarizeNights({}), std::nullopt};
    if (!dividingDate.empty()) none.beforeAfter = SummarizeBeforeAfter({}, dividingDate);
    return none;
}

SummaryTable SummaryTableOf(const NightsSummary& summary) {
    SummaryTable table;
    const PeriodSummary& p = summary.period;
    if (!summary.beforeAfter) {
        table.title = UiText("Period summary") + IdOf(summary) + ": " + SummarySpanText(p);
        table.overview = std::to_string(p.countedNights) + " " + UiText("with counted samples") + " · " +
                         SummaryHoursText(p.recordedSeconds) + " h " + UiText("recorded") + ", " +
                         SummaryHoursText(p.countedSeconds) + " h " + UiText("counted");
        if (const std::string scored = SummaryScoredText(p); !scored.empty()) table.overview += " · " + scored;
        table.header = {UiText("Figure"), UiText("Nights"),  UiText("Median"),
                        "Q1–Q3",          UiText("Min–Max"), UiText("At or past cut-offs")};
        for (const FigureSummary& f : p.figures)
            table.rows.push_back({NightFigureTitle(f.figure), std::to_string(f.nights), SummaryMedianText(f),
                                  SummaryQuartilesText(f), SummaryRangeText(f), Shares(f)});
        return table;
    }
    const BeforeAfterSummary& s = *summary.beforeAfter;
    const auto side = [](const std::string& name, const PeriodSummary& part) {
        return name + ": " + SummarySpanText(part) +
               (part.nights ? ", " + SummaryHoursText(part.countedSeconds) + " h " + UiText("counted") : "") +
               (part.scoredNights ? "; " + SummaryScoredText(part) : "");
    };
    table.title = UiText("Before and after") + " " + s.date + IdOf(summary);
    table.overview =
        side(UiText("Before") + " " + s.date, s.before) + " · " + side(UiText("From") + " " + s.date, s.after);
    table.header = {
        UiText("Figure"),      UiText("Median before"),    UiText("Q1–Q3 before"),       UiText("Median after"),
        UiText("Q1–Q3 after"), UiText("Change of median"), UiText("At or past, before"), UiText("At or past, after")};
    for (std::size_t i = 0; i < s.before.figures.size() && i < s.after.figures.size(); ++i) {
        const FigureSummary& b = s.before.figures[i];
        const FigureSummary& a = s.after.figures[i];
        const auto change = s.MedianChange(b.figure);
        table.rows.push_back({NightFigureTitle(b.figure), SummaryMedianText(b), SummaryQuartilesText(b),
                              SummaryMedianText(a), SummaryQuartilesText(a), SummaryChangeText(change), Shares(b),
                              Shares(a)});
    }
    return table;
}

int SummaryHeight(bool beforeAfter, int width, const SummaryTextWidth& measure) {
    const int blocks = Blocks(beforeAfter, width, measure);
    const int figureRows = (kNightFigureCount + blocks - 1) / blocks;
    return (kTextLines + 1 + figureRows) * kRowHeight + 4;
}

SummaryLayout LayOutSummary(const NightsSummary& summary, const LayoutRect& area, const SummaryTextWidth& measure) {
    SummaryLayout layout;
    layout.area = area;
    layout.rowHeight = kRowHeight;
    const bool beforeAfter = summary.beforeAfter.has_value();
    layout.blocks = Blocks(beforeAfter, area.Width(), measure);
    layout.height = SummaryHeight(beforeAfter, area.Width(), measure);
    const SummaryTable table = SummaryTableOf(summary);
    const std::vector<int> widths = ColumnWidths(beforeAfter, measure);
    const int blockWidth = std::accumulate(widths.begin(), widths.end(), 0);
    // The numbers right-aligned; the figure's name and the cut-off shares (the
    // last one or two columns) left-aligned.
    const std::size_t shareColumns = beforeAfter ? 2 : 1;
    const auto isNumber = [&](std::size_t c) { return c > 0 && c < widths.size() - shareColumns; };
    // The shares' text keeps a little apart from the numbers before it.
    const auto indentOf = [&](std::size_t c) { return c > 0 && !isNumber(c) ? kShareIndent : 0; };

    // A cell never reaches past the area: a narrow one cuts the last columns short.
    const auto cell = [&](int left, int top, int width, std::string text, bool bold, bool right, int indent = 0) {
        const LayoutRect rect{left + indent, top, std::min(left + width, area.right), top + kRowHeight};
        if (rect.Width() > 0) layout.cells.push_back({rect, std::move(text), bold, right});
    };
    cell(area.left, area.top, area.Width(), table.title, true, false);
    cell(area.left, area.top + kRowHeight, area.Width(), table.overview, false, false);

    const int top = area.top + kTextLines * kRowHeight;
    const std::size_t perBlock = (table.rows.size() + layout.blocks - 1) / layout.blocks;
    for (int b = 0; b < layout.blocks; ++b) {
        const int left = area.left + b * (blockWidth + kBlockGap);
        layout.headers.push_back({left, top, std::min(left + blockWidth, area.right), top + kRowHeight});
        int x = left;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            cell(x, top, widths[c], table.header[c], true, isNumber(c), indentOf(c));
            x += widths[c];
        }
        const std::size_t first = b * perBlock;
        for (std::size_t r = first; r < std::min(first + perBlock, table.rows.size()); ++r) {
            const int y = top + static_cast<int>(r - first + 1) * kRowHeight;
            x = left;
            for (std::size_t c = 0; c < widths.size(); ++c) {
                cell(x, y, widths[c], table.rows[r][c], false, isNumber(c), indentOf(c));
                x += widths[c];
            }
            layout.rules.push_back(
                {{left, y + kRowHeight - 1}, {std::min(left + blockWidth, area.right), y + kRowHeight - 1}});
        }
    }
    return layout;
}

}  // namespace quenda
