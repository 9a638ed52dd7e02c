#include "views/TrendLayout.h"

#include "base/UiText.h"

#include <algorithm>
#include <cstdio>

namespace quenda {

namespace {

// Percent of a length, truncated like every other division of the layout.
int Pct(int length, int percent) { return length * percent / 100; }

LayoutRect Box(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }

LayoutLine Line(int x1, int y1, int x2, int y2) { return {{x1, y1}, {x2, y2}}; }

TextBox Text(LayoutRect rect, TrendFont font, TextAlign align, std::string text) {
    return {rect, font, align, std::move(text)};
}

std::string Number(int value) { return std::to_string(value); }

bool SampleExists(std::int64_t n, std::span<const SampleRecord> samples) {
    return n >= 0 && n < static_cast<std::int64_t>(samples.size());
}

// Level lines of a panel: y of level k of `levels`, the last one exactly on the
// baseline (H / levels is truncated, so k × (H / levels) may fall short of it).
int LevelY(const LayoutRect& graph, int k, int levels) {
    return k == levels ? graph.bottom : graph.top + k * (graph.Height() / levels);
}

// One tick per half minute across the page, a long one and (where the sample
// exists) a time label per minute. The two panels differ only in tick lengths
// and label boxes.
struct TimeAxisStyle {
    int shortTick;
    int longTick;
    int labelTop;     // below the baseline
    int labelBottom;  // below the baseline
};

void LayoutTimeAxis(PanelLayout& p, const TimeAxisStyle& style, const PageGeometry& geometry, std::int64_t firstSample,
                    std::span<const SampleRecord> samples) {
    const int x0 = p.graph.left;
    const int y0 = p.graph.bottom;
    const int ticks = 2 * geometry.minutesPerPage;
    p.timeTicks.reserve(static_cast<std::size_t>(ticks));
    p.timeLabels.reserve(static_cast<std::size_t>(geometry.minutesPerPage));
    for (int i = 1; i <= ticks; ++i) {
        const int x = x0 + kSamplesPerTick * i;
        if (i % 2 != 0) {
            p.timeTicks.push_back(Line(x, y0, x, y0 + style.shortTick));
            continue;
        }
        p.timeTicks.push_back(Line(x, y0, x, y0 + style.longTick));
        const std::int64_t n = firstSample + kSamplesPerTick * i;
        if (!SampleExists(n, samples)) continue;
        p.timeLabels.push_back(Text(Box(x - 25, y0 + style.labelTop, x + 25, y0 + style.labelBottom), TrendFont::Axis,
                                    TextAlign::Center, SampleTimeText(samples[static_cast<std::size_t>(n)])));
    }
}

}  // namespace

int ArialAverageCharWidth(int pixelSize) {
    // Arial's OS/2 average width is 904 units of a 2048-unit em.
    return (pixelSize * 904 + 1024) / 2048;
}

std::string SampleDateText(const SampleRecord& s) {
    char text[32];
    std::snprintf(text, sizeof text, "20%02d/%02d/%02d", s.year, s.month, s.day);
    return text;
}

std::string SampleTimeText(const SampleRecord& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", s.hour, s.minute, s.second);
    return text;
}

int GraphHeight(const LayoutRect& drawing) { return Pct(drawing.Height(), 20); }

HeaderLayout LayoutHeader(const LayoutRect& d, std::span<const SampleRecord> samples, const TrendHeader& header,
                          int valueAverageCharWidth) {
    const int W = d.Width();
    const int Hd = d.Height();
    const int B = Pct(Hd, 27) + 10;  // from the top of the drawing
    const int a = valueAverageCharWidth;
    const int c24 = Pct(W, 24), c36 = Pct(W, 36), c48 = Pct(W, 48), c62 = Pct(W, 62), c73 = Pct(W, 73);

    HeaderLayout h;
    const LayoutRect R = Box(d.left + 10, d.top + 5, d.right - 10, d.top + B);
    h.box = R;
    const int T = R.top + 5 + B * 16 / 100;
    h.texts.push_back(
        Text(Box(R.left + 10, d.top + 10, R.right, T), TrendFont::Title, TextAlign::LeftTop, header.title));
    h.rules = {Line(R.left, T + 10, R.right, T + 10),
               Line(R.left, T + B * 54 / 100 + 11, R.right, T + B * 54 / 100 + 11)};

    // Label rows, each B × 11 % high, 10 units apart.
    const int rowHeight = B * 11 / 100;
    const int row1 = T + 21;
    const int row2 = row1 + rowHeight + 10;
    const int row3 = row2 + rowHeight + 10;
    auto label = [&](int x, int top, std::string_view text) {
        h.texts.push_back(
            Text(Box(x, top, R.right, top + rowHeight), TrendFont::Label, TextAlign::LeftTop, UiText(text)));
    };
    label(R.left + 10, row1, "User Data");
    label(R.left + 10, row2, "Name :");
    label(R.left + 10 + c36, row2, "Gender : ");
    label(R.left + c62, row2, "Age : ");
    label(R.left + 10, row3, "ID : ");
    label(R.left + 10 + c36, row3, "Height : ");
    label(R.left + c62, row3, "Weight : ");

    // Value rows sit a little above their labels and are centred in the row.
    const int value2 = R.top + B * 16 / 100 + B * 11 / 100 + 30;
    const int value3 = value2 + rowHeight + 10;
    auto value = [&](int left, int right, int top, std::string text) {
        h.texts.push_back(
            Text(Box(left, top, right, top + rowHeight), TrendFont::Value, TextAlign::LeftMiddle, std::move(text)));
    };
    value(R.left + 70, R.right, value2, header.patientName);
    value(R.left + c36 + 85, R.left + c36 + 85 + 8 * a, value2, UiText(header.female ? "female" : "male"));
    value(R.left + c62 + 50, R.left + c62 + 50 + 5 * a, value2, Number(header.age));
    value(R.left + 70, R.left + 70 + 20 * a, value3, Number(header.id));
    value(R.left + c36 + 75, R.left + c36 + 75 + 8 * a, value3, header.height);
    value(R.left + c62 + 70, R.left + c62 + 170, value3, header.weight);

    // The recording row: start is sample 0, end the last sample. With no data
    // there is neither, and the fields stay empty.
    const int recordTop = R.top + B * 75 / 100 + 15;
    const int labelBottom = recordTop + B * 10 / 100;
    const int valueBottom = d.top + B * 85 / 100 + 15;
    auto recordLabel = [&](int x, std::string_view text) {
        h.texts.push_back(
            Text(Box(x, recordTop, R.right, labelBottom), TrendFont::Label, TextAlign::LeftMiddle, UiText(text)));
    };
    recordLabel(R.left + 10, "Start Date:");
    recordLabel(R.left + 10 + c24, "Start Time : ");
    recordLabel(R.left + c48, "End Date:");
    recordLabel(R.left + c73, "End Time : ");
    std::string startDate, startTime, endDate, endTime;
    if (!samples.empty()) {
        startDate = SampleDateText(samples.front());
        startTime = SampleTimeText(samples.front());
        endDate = SampleDateText(samples.back());
        endTime = SampleTimeText(samples.back());
    }
    auto recordValue = [&](int x, std::string text) {
        h.texts.push_back(
            Text(Box(x, recordTop, R.right, valueBottom), TrendFont::Value, TextAlign::LeftMiddle, std::move(text)));
    };
    recordValue(R.left + 100, std::move(startDate));
    recordValue(R.left + c24 + 100, std::move(startTime));
    recordValue(R.left + c48 + 88, std::move(endDate));
    recordValue(R.left + c73 + 88, std::move(endTime));
    return h;
}

PanelLayout LayoutSpo2Panel(const LayoutRect& d, const PageGeometry& geometry, std::int64_t firstSample,
                            std::span<const SampleRecord> samples) {
    const int W = d.Width();
    const int Hd = d.Height();
    const int B = Pct(Hd, 27) + 10;
    const int P = geometry.samplesPerPage;
    const int H = GraphHeight(d);
    const int c29 = Pct(W, 29), c53 = Pct(W, 53), c78 = Pct(W, 78);

    PanelLayout p;
    p.panel = Box(d.left + 10, d.top + B + 10, d.right - 10, d.top + B + (Hd - B) / 2 + 5);
    const LayoutRect& P1 = p.panel;
    const int h1 = P1.Height();

    const int y1 = P1.top + h1 * 9 / 100;
    auto caption = [&](int x, std::string_view text) {
        p.labels.push_back(
            Text(Box(x, y1, P1.right, y1 + h1 * 8 / 100), TrendFont::Label, TextAlign::LeftTop, UiText(text)));
    };
    caption(P1.left + 10, "SpO2       (20% per division)");
    caption(P1.left + 10 + c29, "RecordDate : ");
    caption(P1.left + 10 + c53, "RecordTime : ");
    caption(P1.left + 10 + c78, "SpO2 : ");
    p.readout = {Box(P1.left + c29 + 110, y1, P1.left + c29 + 210, y1 + h1 * 9 / 100),
                 Box(P1.left + c53 + 115, y1, P1.left + c53 + 180, y1 + h1 * 9 / 100),
                 Box(P1.left + c78 + 65, y1, P1.left + c78 + 125, y1 + 20)};

    const int g1 = P1.top + h1 * 27 / 100;
    const int x0 = P1.left + 60;
    p.graph = Box(x0, g1, x0 + P + 1, g1 + H);
    const int y0 = p.graph.bottom;
    p.axes = {Line(x0, g1, x0, y0), Line(x0, y0, P1.right, y0)};

    constexpr int kLevels = 5;  // 20 % per division
    for (int k = 0; k <= kLevels; ++k) {
        const int y = LevelY(p.graph, k, kLevels);
        p.levelTicks.push_back(Line(P1.left + 45, y, x0, y));
        p.labels.push_back(Text(Box(P1.left + 10, y - 10, P1.left + 45, y + 10), TrendFont::Value, TextAlign::Center,
                                Number(100 - 20 * k)));
        if (k == kLevels) break;
        for (int j = 20; j < P + 16; j += 20) p.gridDashes.push_back(Line(x0 + j, y, x0 + j + 4, y));
    }

    LayoutTimeAxis(p, {h1 * 2 / 100, h1 * 3 / 100, h1 * 3 / 100, h1 * 7 / 100}, geometry, firstSample, samples);
    return p;
}

PanelLayout LayoutPulsePanel(const LayoutRect& d, const LayoutRect& spo2Panel, const PageGeometry& geometry,
                             std::int64_t firstSample, std::span<const SampleRecord> samples) {
    const int W = d.Width();
    const int Hd = d.Height();
    const int P = geometry.samplesPerPage;
    const int H = GraphHeight(d);
    const int c32 = Pct(W, 32), c55 = Pct(W, 55), c80 = Pct(W, 80);

    PanelLayout p;
    p.panel = Box(spo2Panel.left, spo2Panel.bottom + 10, spo2Panel.right, d.bottom - 5);
    const LayoutRect& P2 = p.panel;
    const int h2 = P2.Height();

    const int y2 = P2.top + h2 * 6 / 100;
    auto caption = [&](int x, std::string_view text) {
        p.labels.push_back(Text(Box(x, y2, P2.right, d.bottom), TrendFont::Label, TextAlign::LeftTop, UiText(text)));
    };
    caption(P2.left + h2 * 6 / 100, "Pulse Rate (50 BPM per division)");
    caption(P2.left + c32 + 10, "RecordDate : ");
    caption(P2.left + c55 + 10, "RecordTime : ");
    caption(P2.left + c80 + 10, "PR : ");
    p.readout = {Box(P2.left + c32 + 110, y2, P2.left + c32 + 210, y2 + 20),
                 Box(P2.left + c55 + 115, y2, P2.left + c55 + 215, y2 + 20),
                 Box(P2.left + c80 + 45, y2, P2.left + c80 + 145, y2 + 20)};

    // The graph top is 7 % of the drawing height below the panel top, not 7 %
    // of the panel.
    const int g2 = P2.top + Hd * 7 / 100;
    const int x0 = P2.left + 60;
    p.graph = Box(x0, g2, x0 + P + 1, g2 + H);
    const int y0 = p.graph.bottom;
    p.axes = {Line(x0, g2, x0, y0), Line(x0, y0, P2.right, y0)};

    constexpr int kLevels = 6;  // 50 BPM per division
    const int division = H / kLevels;
    for (int k = 0; k <= kLevels; ++k) {
        const int y = LevelY(p.graph, k, kLevels);
        const bool longTick = k % 2 != 0 || k == kLevels;
        p.levelTicks.push_back(Line(P2.left + (longTick ? 45 : 55), y, x0, y));
        p.labels.push_back(Text(Box(P2.left + 10, y - h2 * 5 / 100, P2.left + 45, y + h2 * 5 / 100), TrendFont::Value,
                                TextAlign::Center, Number(300 - 50 * k)));
        if (k == kLevels) break;
        // Dashes one division apart. A graph under 6 units high has no
        // divisions to space them by, and the dashes would never advance.
        if (division == 0) continue;
        for (int j = 1; (j * H) / kLevels + 4 < P + division; ++j) {
            const int x = x0 + (j * H) / kLevels;
            p.gridDashes.push_back(Line(x, y, x + 4, y));
        }
    }

    LayoutTimeAxis(p, {h2 * 2 / 100, 8, h2 * 4 / 100, h2 * 9 / 100}, geometry, firstSample, samples);
    return p;
}

TrendPageLayout LayoutTrendPage(const LayoutRect& drawing, int pageIndex, std::span<const SampleRecord> samples,
                                const TrendHeader& header, int valueAverageCharWidth) {
    TrendPageLayout page;
    page.drawing = drawing;
    page.geometry = ComputePageGeometry(drawing.Width(), static_cast<int>(samples.size()));
    page.firstSample = FirstSampleOfPage(pageIndex, page.geometry.samplesPerPage);
    page.header = LayoutHeader(drawing, samples, header, valueAverageCharWidth);
    page.spo2 = LayoutSpo2Panel(drawing, page.geometry, page.firstSample, samples);
    page.pulse = LayoutPulsePanel(drawing, page.spo2.panel, page.geometry, page.firstSample, samples);
    return page;
}

int CurveY(TrendChannel channel, const SampleRecord& s, const LayoutRect& graph) {
    const int H = graph.Height();
    if (channel == TrendChannel::Spo2) return graph.bottom - std::min<int>(s.spo2, 100) * H / 100;
    return graph.bottom - s.pulseRate * H / 300;
}

void CurvePoints(TrendChannel channel, std::span<const SampleRecord> samples, std::int64_t firstSample,
                 int samplesPerPage, const LayoutRect& graph, std::vector<LayoutPoint>& out) {
    out.clear();
    const auto count = static_cast<std::int64_t>(samples.size());
    if (firstSample < 0 || firstSample >= count) return;
    const int x0 = graph.left;
    const auto last = static_cast<int>(std::min<std::int64_t>(samplesPerPage, count - 1 - firstSample));
    const SampleRecord* s = samples.data() + firstSample;
    out.reserve(static_cast<std::size_t>(last) + 1);
    out.push_back({x0 + 1, CurveY(channel, s[0], graph)});
    for (int k = 1; k <= last; ++k) out.push_back({x0 + k, CurveY(channel, s[k], graph)});
}

}  // namespace quenda
