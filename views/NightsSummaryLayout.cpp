#include "views/NightsSummaryLayout.h"

#include "base/StringFormat.h"
#include "base/UiText.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace quenda {

namespace {

// What a cell says when there is nothing to say, as `nights summary` does.
constexpr const char* kNothing = "–";

// Columns in layout units, for the page's 11-unit font: room for the widest
// text each holds ("Desaturation burden", "100.0–100.0", three cut-offs).
constexpr std::array kPeriodWidths{126, 48, 52, 78, 78, 204};
constexpr std::array kSplitWidths{126, 96, 92, 90, 88, 128, 204, 204};
constexpr int kBlockGap = 24;
constexpr int kShareIndent = 8;
constexpr int kRowHeight = 15;
// The title and the overview above the table.
constexpr int kTextLines = 2;

template <std::size_t N>
int Sum(const std::array<int, N>& widths) {
    int sum = 0;
    for (const int w : widths) sum += w;
    return sum;
}

int Blocks(bool split, int width) {
    const int block = split ? Sum(kSplitWidths) : Sum(kPeriodWidths);
    return width >= 2 * block + kBlockGap ? 2 : 1;
}

std::string Fixed1(double value) { return Format("%.1f", value); }

std::string Hours(std::int64_t seconds) { return Fixed1(static_cast<double>(seconds) / 3600.0); }

std::string NightsText(int nights) { return std::to_string(nights) + " " + UiText(nights == 1 ? "night" : "nights"); }

// "8 nights, 2026-12-06 to 2026-12-13", or "no nights".
std::string Span(const PeriodSummary& p) {
    if (p.nights == 0) return UiText("no nights");
    return NightsText(p.nights) + ", " + p.first + (p.last != p.first ? " " + UiText("to") + " " + p.last : "");
}

std::string Median(const FigureSummary& f) { return f.nights ? Fixed1(f.median) : kNothing; }
std::string Quartiles(const FigureSummary& f) { return f.nights ? Fixed1(f.q1) + "–" + Fixed1(f.q3) : kNothing; }
std::string Range(const FigureSummary& f) { return f.nights ? Fixed1(f.minimum) + "–" + Fixed1(f.maximum) : kNothing; }

// "≥ 5: 57% · ≥ 15: 14% · ≥ 30: 0%"; empty for a figure without cut-offs.
std::string Shares(const FigureSummary& f) {
    if (f.shares.empty()) return {};
    if (f.nights == 0) return kNothing;
    std::string text;
    for (const CutOffShare& s : f.shares) {
        if (!text.empty()) text += " · ";
        text += s.cutOff.Text() + ": " + Format("%.0f%%", s.percent);
    }
    return text;
}

// ", ID 3": whose nights they are; nothing for a summary of no nights.
std::string IdOf(const NightsSummary& summary) {
    return summary.period.nights > 0 ? ", " + UiText("ID") + " " + std::to_string(summary.id) : std::string();
}

}  // namespace

NightsSummary SummarizeListed(std::span<const NightRow> rows, int id, const std::string& splitDate) {
    IdSummaryBuilder builder(splitDate);
    for (const NightRow& row : rows)
        if (row.id == id) builder.Add(row);
    std::vector<IdSummary> one = builder.Finish();
    if (!one.empty()) return std::move(one.front());
    NightsSummary none{id, SummarizeNights({}), std::nullopt};
    if (!splitDate.empty()) none.split = SummarizeSplit({}, splitDate);
    return none;
}

SummaryTable SummaryTableOf(const NightsSummary& summary) {
    SummaryTable table;
    const PeriodSummary& p = summary.period;
    if (!summary.split) {
        table.title = UiText("Period summary") + IdOf(summary) + ": " + Span(p);
        table.overview = std::to_string(p.countedNights) + " " + UiText("with counted samples") + " · " +
                         Hours(p.recordedSeconds) + " h " + UiText("recorded") + ", " + Hours(p.countedSeconds) +
                         " h " + UiText("counted");
        table.header = {UiText("Figure"), UiText("Nights"),  UiText("Median"),
                        "Q1–Q3",          UiText("Min–Max"), UiText("At or past cut-offs")};
        for (const FigureSummary& f : p.figures)
            table.rows.push_back(
                {NightFigureTitle(f.figure), std::to_string(f.nights), Median(f), Quartiles(f), Range(f), Shares(f)});
        return table;
    }
    const SplitSummary& s = *summary.split;
    const auto side = [](const std::string& name, const PeriodSummary& part) {
        return name + ": " + Span(part) +
               (part.nights ? ", " + Hours(part.countedSeconds) + " h " + UiText("counted") : "");
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
        table.rows.push_back({NightFigureTitle(b.figure), Median(b), Quartiles(b), Median(a), Quartiles(a),
                              change ? Format("%+.1f", *change) : kNothing, Shares(b), Shares(a)});
    }
    return table;
}

int SummaryHeight(bool split, int width) {
    const int figureRows = (kNightFigureCount + Blocks(split, width) - 1) / Blocks(split, width);
    return (kTextLines + 1 + figureRows) * kRowHeight + 4;
}

SummaryLayout LayOutSummary(const NightsSummary& summary, const LayoutRect& area) {
    SummaryLayout layout;
    layout.area = area;
    layout.rowHeight = kRowHeight;
    const bool split = summary.split.has_value();
    layout.blocks = Blocks(split, area.Width());
    layout.height = SummaryHeight(split, area.Width());
    const SummaryTable table = SummaryTableOf(summary);
    const std::vector<int> widths = split ? std::vector<int>(kSplitWidths.begin(), kSplitWidths.end())
                                          : std::vector<int>(kPeriodWidths.begin(), kPeriodWidths.end());
    const int blockWidth = std::accumulate(widths.begin(), widths.end(), 0);
    // The numbers right-aligned; the figure's name and the cut-off shares (the
    // last one or two columns) left-aligned.
    const std::size_t shareColumns = split ? 2 : 1;
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
