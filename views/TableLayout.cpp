#include "views/TableLayout.h"

#include <algorithm>

#include "base/UiText.h"
#include "views/TrendLayout.h"

namespace quenda {

namespace {

using namespace table_font_height;

int Pct(int length, int percent) { return length * percent / 100; }

LayoutLine Line(int x1, int y1, int x2, int y2) { return {{x1, y1}, {x2, y2}}; }

}  // namespace

int TableRows(int tableHeight) { return tableHeight / kTableRowHeight; }

int TableSamplesPerPage(int rows) { return rows >= 3 ? 2 * (rows - 2) : 0; }

std::optional<int> TablePageCount(int rows, int sampleCount) {
    const int perPage = TableSamplesPerPage(rows);
    if (perPage == 0) return std::nullopt;
    return sampleCount / perPage + (sampleCount % perPage != 0 ? 1 : 0);
}

std::int64_t TableSampleNumber(int half, int row, int pageIndex, int rows) {
    return (half + 2 * static_cast<std::int64_t>(pageIndex)) * (rows - 2) + row - 1;
}

LayoutRect AnalysisPaper(const LayoutRect& v) {
    const int left = v.right * 30 / 100;
    return {left, v.top + 10, left + (v.Height() - 20) * 210 / 297, v.bottom - 10};
}

void AddPatientLabels(std::vector<TableText>& out, const LayoutRect& U, int firstTop, int rowHeight, int gap, int c36,
                      int c62, TableFont font) {
    auto label = [&](int x, int top, std::string_view s) {
        out.push_back({{x, top, U.right, top + rowHeight}, font, TextAlign::LeftTop, UiText(s)});
    };
    const int row2 = firstTop + rowHeight + gap;
    const int row3 = row2 + rowHeight + gap;
    label(U.left + 10, firstTop, "User Data");
    label(U.left + 10, row2, "Name :");
    label(U.left + c36, row2, "Gender : ");
    label(U.left + c62, row2, "Age : ");
    label(U.left + 10, row3, "ID : ");
    label(U.left + c36, row3, "Height : ");
    label(U.left + c62, row3, "Weight : ");
}

TablePageLayout LayoutTablePage(const LayoutRect& d, int pageIndex, std::span<const SampleRecord> samples,
                                const TrendHeader& header, int valueAverageCharWidth,
                                std::span<const ScoredMark> scored) {
    TablePageLayout p;
    p.drawing = d;
    const int W = d.Width();
    const int c24 = Pct(W, 24), c36 = Pct(W, 36), c48 = Pct(W, 48), c62 = Pct(W, 62), c73 = Pct(W, 73);
    const int a = valueAverageCharWidth;
    auto text = [&p](LayoutRect r, TableFont font, TextAlign align, std::string s) {
        p.texts.push_back({r, font, align, std::move(s)});
    };

    // Title, 1.6 title heights tall (computed in floating point, truncated).
    p.title = {d.left + 20, d.top, d.right - 10, d.top + static_cast<int>(kTitle * 1.6)};
    text(p.title, TableFont::Title, TextAlign::LeftMiddle, header.title);
    p.rules.push_back(Line(d.left + 10, p.title.bottom, d.right - 10, p.title.bottom));

    // Patient block.
    const LayoutRect U{d.left + 10, p.title.bottom + 1, d.right - 10, p.title.bottom + 5 * kLabel + 4};
    p.patientBlock = U;
    p.rules.push_back(Line(d.left + 10, U.bottom + 5, d.right - 10, U.bottom + 5));
    AddPatientLabels(p.texts, U, U.top + 11, kLabel, 10, c36, c62, TableFont::Label);
    auto value = [&](int left, int right, int top, std::string s) {
        text({left, top, right, top + kValue}, TableFont::Value, TextAlign::LeftMiddle, std::move(s));
    };
    const int value1 = U.top + kValue + 22;
    const int value2 = value1 + kValue + 10;
    value(U.left + 70, U.left + 70 + 30 * a, value1, header.patientName);
    value(U.left + c36 + 75, U.left + c62, value1, UiText(header.female ? "female" : "male"));
    value(U.left + c62 + 50, U.right, value1, std::to_string(header.age));
    value(U.left + 70, U.left + c36, value2, std::to_string(header.id));
    value(U.left + c36 + 75, U.left + c62, value2, header.height);
    value(U.left + c62 + 70, U.left + c62 + 170, value2, header.weight);

    // Recording block: start is the first sample, end the last; empty without data.
    const LayoutRect Q{d.left + 10, U.bottom + 15, d.right - 10, U.bottom + 55};
    p.recordingBlock = Q;
    const int recordTop = Q.top + 5;
    for (const auto& [x, s] : {std::pair{Q.left + 10, "Start Date:"}, std::pair{Q.left + c24, "Start Time : "},
                               std::pair{Q.left + c48, "End Date:"}, std::pair{Q.left + c73, "End Time : "}}) {
        text({x, recordTop, Q.right, recordTop + kLabel}, TableFont::Label, TextAlign::LeftMiddle, UiText(s));
    }
    if (!samples.empty()) {
        value(Q.left + 100, Q.left + c24, recordTop, SampleDateText(samples.front()));
        value(Q.left + c24 + 88, Q.left + c48, recordTop, SampleTimeText(samples.front()));
        value(Q.left + c48 + 88, Q.left + c73, recordTop, SampleDateText(samples.back()));
        value(Q.left + c73 + 88, Q.right, recordTop, SampleTimeText(samples.back()));
    }

    // Grid: in each half, rows 1 … rows − 1 of five cells (six with the
    // scored events); row 0 stays empty.
    const LayoutRect T{d.left + 10, Q.bottom, d.right - 10, d.bottom};
    p.table = T;
    const bool events =
        std::any_of(scored.begin(), scored.end(), [](const ScoredMark& m) { return m.kind != AnnotationKind::Stage; });
    const int cells = events ? 6 : 5;
    const int half = T.Width() / 2;
    const int column = half / cells;
    p.rows = TableRows(T.Height());
    p.pageCount = TablePageCount(p.rows, static_cast<int>(samples.size()));
    if (p.rows < 2) return p;
    const int gridTop = T.top + kTableRowHeight;
    const int gridBottom = T.top + kTableRowHeight * p.rows;
    for (const int offset : {0, half}) {
        const int x0 = T.left + offset;
        // The cells' top edges and the bottom of the last row, then their left
        // edges and the right edge of the fifth cell.
        for (int r = 1; r <= p.rows; ++r) {
            const int y = T.top + kTableRowHeight * r;
            p.grid.push_back(Line(x0, y, x0 + cells * column + 1, y));
        }
        for (int c = 0; c <= cells; ++c) p.grid.push_back(Line(x0 + c * column, gridTop, x0 + c * column, gridBottom));
        auto cell = [&](int c, int r) {
            return LayoutRect{x0 + c * column, T.top + kTableRowHeight * r, x0 + (c + 1) * column,
                              T.top + kTableRowHeight * (r + 1)};
        };
        int c = 0;
        for (const char* heading : {"Item", "Date", "Time", "SpO2", "PR", "Event"}) {
            if (c < cells) text(cell(c++, 1), TableFont::Label, TextAlign::Center, UiText(heading));
        }
        const int h = offset == 0 ? 0 : 1;
        for (int j = 2; j < p.rows; ++j) {
            const std::int64_t t = TableSampleNumber(h, j, pageIndex, p.rows);
            if (t < 1 || t > static_cast<std::int64_t>(samples.size())) continue;
            const SampleRecord& s = samples[static_cast<std::size_t>(t - 1)];
            text(cell(0, j), TableFont::Cell, TextAlign::Center, std::to_string(t));
            text(cell(1, j), TableFont::Cell, TextAlign::Center, SampleDateText(s));
            text(cell(2, j), TableFont::Cell, TextAlign::Center, SampleTimeText(s));
            text(cell(3, j), TableFont::Cell, TextAlign::Center, std::to_string(s.spo2));
            text(cell(4, j), TableFont::Cell, TextAlign::Center, std::to_string(s.pulseRate));
            if (!events) continue;
            if (const ScoredMark* m = RespiratoryMarkAt(scored, static_cast<std::int32_t>(t - 1))) {
                text(cell(5, j), TableFont::Cell, TextAlign::Center,
                     UiText(m->kind == AnnotationKind::Apnea ? "Apnea" : "Hypopnea"));
            }
        }
    }
    return p;
}

}  // namespace quenda
