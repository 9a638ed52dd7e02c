#include "views/ReportLayout.h"

#include "base/UiText.h"
#include "views/TrendLayout.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <tuple>

namespace quenda {

namespace {

using namespace table_font_height;

LayoutLine Line(int x1, int y1, int x2, int y2) { return {{x1, y1}, {x2, y2}}; }

__attribute__((format(printf, 1, 2))) std::string Printf(const char* format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Two-digit years here, unlike the other pages.
std::string ShortDate(const SampleRecord& s) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%02d", s.year, s.month, s.day);
    return text;
}

class Builder {
public:
    Builder(ReportPageLayout& page) : page_(page) {}

    // Text in a box, single line.
    void Box(LayoutRect r, TableFont font, TextAlign align, std::string text) {
        page_.texts.push_back({r, font, align, std::move(text)});
    }
    // Text whose top-left corner is at (x, y).
    void At(int x, int y, TableFont font, std::string text) {
        Box({x, y, page_.paper.right, y + kTitle}, font, TextAlign::LeftTop, std::move(text));
    }
    void Rule(int x1, int y1, int x2, int y2) { page_.lines.push_back(Line(x1, y1, x2, y2)); }
    void Dotted(int x1, int y, int x2) { page_.dotted.push_back(Line(x1, y, x2, y)); }

private:
    ReportPageLayout& page_;
};

void LayoutPatientBlock(ReportPageLayout& page, Builder& b, const ReportContent& c, int a) {
    const LayoutRect& P = page.paper;
    const int W = P.Width();
    const int c36 = W * 36 / 100, c48 = W * 48 / 100, c62 = W * 62 / 100;

    page.title = {P.left + 20, P.top, P.right - 10, P.top + static_cast<int>(kTitle * 1.6)};
    b.Box(page.title, TableFont::Title, TextAlign::LeftMiddle, c.header.title);
    b.Rule(P.left + 10, page.title.bottom - 5, P.right - 10, page.title.bottom - 5);

    const LayoutRect U{P.left + 10, page.title.bottom + 1, P.right - 10, page.title.bottom + 5 * kReportLabel + 4};
    page.patientBlock = U;
    b.Rule(P.left + 10, U.bottom - 15, P.right - 10, U.bottom - 15);
    AddPatientLabels(page.texts, U, U.top + 3, kReportLabel, 2, c36, c62, TableFont::ReportLabel);
    auto value = [&](int left, int right, int top, std::string text) {
        b.Box({left, top, right, top + kReportValue}, TableFont::ReportValue, TextAlign::LeftMiddle, std::move(text));
    };
    const int value1 = U.top + kReportValue + 6;
    const int value2 = value1 + kReportValue + 4;
    value(U.left + 13 * a, U.left + 43 * a, value1, c.header.patientName);
    value(U.left + c36 + 13 * a, U.left + c36 + 26 * a, value1, UiText(c.header.female ? "female" : "male"));
    value(U.left + c62 + 8 * a, U.left + c62 + 16 * a, value1, std::to_string(c.header.age));
    value(U.left + 6 * a + 10, U.left + 26 * a + 10, value2, std::to_string(c.header.id));
    value(U.left + c36 + 12 * a, U.left + c36 + 27 * a, value2, c.header.height);
    value(U.left + c62 + 12 * a, U.left + c62 + 24 * a, value2, c.header.weight);

    const LayoutRect Q{P.left + 10, U.bottom - 15, P.right - 10, U.bottom + 25};
    page.recordingBlock = Q;
    const int labels1 = Q.top + 5;
    const int labels2 = labels1 + kReportLabel + 1;
    auto recordLabel = [&](int x, int top, std::string_view text) {
        b.Box({x, top, Q.right, top + kReportLabel}, TableFont::ReportLabel, TextAlign::LeftMiddle, UiText(text));
    };
    recordLabel(Q.left + 10, labels1, "Start Date:");
    recordLabel(Q.left + c48, labels1, "Start Time : ");
    recordLabel(Q.left + 10, labels2, "End Date:");
    recordLabel(Q.left + c48, labels2, "End Time : ");
    const SampleRecord& first = c.samples.front();
    const SampleRecord& last = c.samples.back();
    const int values1 = Q.top + 7;
    const int values2 = values1 + kReportValue + 1;
    value(Q.left + 15 * a + 10, Q.left + 32 * a + 10, values1, ShortDate(first));
    value(Q.left + c48 + 16 * a, Q.left + c48 + 33 * a, values1, SampleTimeText(first));
    value(Q.left + 14 * a + 10, Q.left + 31 * a + 10, values2, ShortDate(last));
    value(Q.left + c48 + 15 * a, Q.left + c48 + 32 * a, values2, SampleTimeText(last));
}

void LayoutEventTable(ReportPageLayout& page, Builder& b, const ReportContent& c) {
    const LayoutRect& P = page.paper;
    const int L = P.left + 20, R = P.right - 10, T = page.recordingBlock.bottom;
    const int half = (P.Width() - 30) / 2;
    const int col2 = L + half * 60 / 100;
    const int col3 = L + 2 * (half * 40 / 100);
    const int middle = L + (R - L) / 2;
    const int col4 = middle + 5;
    const int col5 = middle + ((R - L) / 2) * 70 / 100;
    constexpr int kRow = 14;

    b.Rule(middle, T, middle, T + 168);
    b.Rule(P.left + 10, T + 170, R, T + 170);
    auto cell = [&](int left, int right, int row, TableFont font, std::string text) {
        const int y = T + kRow * (row - 1);
        b.Box({left, y, right, y + kRow}, font, TextAlign::LeftTop, std::move(text));
    };
    cell(L, col2, 1, TableFont::ReportLabel, UiText("Event Data"));
    cell(col2, col3, 1, TableFont::ReportLabel, UiText("SpO2"));
    cell(col3, middle, 1, TableFont::ReportLabel, UiText("Pulse"));

    const AnalysisResults& r = c.results;
    const ChannelEvents& d = r.desaturation;
    const ChannelEvents& p = r.pulse;
    const SummaryStatistics& s = r.statistics;
    char index[2][32];
    std::snprintf(index[0], sizeof index[0], "%0.1f", static_cast<double>(d.indexPerHour));
    std::snprintf(index[1], sizeof index[1], "%0.1f", static_cast<double>(p.indexPerHour));
    const std::array<std::tuple<const char*, std::string, std::string>, 11> rows{{
        {"Total Events.", std::to_string(d.eventCount), std::to_string(p.eventCount)},
        {"Time In Events.(Sec)", std::to_string(d.summary.timeInEvents), std::to_string(p.summary.timeInEvents)},
        {"Avg.Event Dur.(Sec)", std::to_string(d.averageDuration), std::to_string(p.averageDuration)},
        {"Index.(1/hr)", index[0], index[1]},
        {"Avg.Event Max.", std::to_string(d.summary.averageEventMaximum),
         std::to_string(p.summary.averageEventMaximum)},
        {"Avg.Event Min.", std::to_string(d.summary.averageEventMinimum),
         std::to_string(p.summary.averageEventMinimum)},
        {"Max.Event offset.", std::to_string(d.summary.largestOnsetDrop), std::to_string(p.summary.largestOnsetDrop)},
        {"Max Time.Event.(Sec)", std::to_string(d.summary.longestEvent), std::to_string(p.summary.longestEvent)},
        {"Max Dur.", std::to_string(s.spo2Maximum), std::to_string(s.prMaximum)},
        {"Min Dur.", std::to_string(s.spo2Minimum), std::to_string(s.prMinimum)},
        {"Avg Dur.", std::to_string(s.spo2Average), std::to_string(s.prAverage)},
    }};
    int row = 2;
    for (const auto& [label, spo2, pulse] : rows) {
        cell(L, col2 + 5, row, TableFont::ReportValue, UiText(label));
        cell(col2 + 5, col3 + 10, row, TableFont::ReportValue, spo2);
        cell(col3 + 10, middle, row, TableFont::ReportValue, pulse);
        ++row;
    }
    const AnalysisLimits& l = r.limits;
    const std::array<std::tuple<const char*, int, int>, 4> limits{{
        {"SpO2  >  ", l.saturationsHigh, s.spo2HighCount},
        {"SpO2  <  ", l.saturationsLow, s.spo2LowCount},
        {"Pulse  >  ", l.prHigh, s.prHighCount},
        {"Pulse  <  ", l.prLow, s.prLowCount},
    }};
    row = 2;
    for (const auto& [label, limit, count] : limits) {
        cell(col4, col5, row, TableFont::ReportValue,
             UiText(label) + std::to_string(limit) + Printf("         %d", count));
        cell(col5, R, row, TableFont::ReportValue, UiText("times"));
        ++row;
    }
    auto definition = [&](int y, std::string text) {
        b.Box({P.left + 20, y, P.right - 10, y + kRow}, TableFont::ReportValue, TextAlign::LeftMiddle, std::move(text));
    };
    definition(T + 179, UiText("Desaturation Event:drop in SpO2 by at least") + Printf(" %d", c.desaturationsEvent) +
                            UiText("% for a minimum duration of 10 seconds."));
    definition(T + 193, UiText("Pulse Event Change in rate by at least") + Printf(" %d ", c.pulseEvent) +
                            UiText("bpm for a minimum duration of 8 seconds."));
}

// The curve of one channel: every sample joined at its x, many to a column.
template <typename YOf>
void LayoutSummaryCurve(std::span<const SampleRecord> samples, int x0, int right, int step, YOf yOf,
                        std::vector<ColumnSpan>& out) {
    // Samples after the first of a column only widen its span, so a column
    // keeps four points: its first, lowest, highest and last.
    std::vector<LayoutPoint> points;
    points.reserve(static_cast<std::size_t>(4 * std::max(1, right - x0 + 2)));
    LayoutPoint first, low, high, last;
    bool open = false;
    auto flush = [&] {
        if (open) points.insert(points.end(), {first, low, high, last});
    };
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int x = SummaryX(static_cast<std::int64_t>(i), x0, step);
        if (x > right) break;
        const LayoutPoint p{x, yOf(samples[i])};
        if (open && x == last.x) {
            if (p.y < low.y) low = p;
            if (p.y > high.y) high = p;
            last = p;
            continue;
        }
        flush();
        first = low = high = last = p;
        open = true;
    }
    flush();
    CurveColumns(points, out);
}

EventStrip LayoutStrip(int x0, int right, int top, int height, const std::vector<EventRecord>& events, int step) {
    EventStrip strip;
    strip.frame = {x0, top, right, top + height};
    for (const EventRecord& e : events) {
        const int left = x0 + e.start / step;
        if (left >= right) break;
        const int width = std::max(1, e.length / step);
        strip.marks.push_back({left, top, std::min(right, left + width), top + height});
    }
    return strip;
}

void LayoutGraphicSummary(ReportPageLayout& page, Builder& b, const ReportContent& c) {
    const LayoutRect& P = page.paper;
    const int s = P.left + 20, e = P.right - 10;
    const int y = page.recordingBlock.bottom + 213;
    const int bottom = P.bottom - 10;
    b.At(s, y, TableFont::ReportLabel, UiText("Graphic Summary"));
    b.At(s, y + 14, TableFont::ReportValue, UiText("SpO2       (10% per division)"));
    const int r = y + 39;
    const int Hs = bottom - r;
    const int G = Hs * 35 / 100;
    const int g3 = Hs * 3 / 100;
    const int g2 = Hs * 2 / 100;
    const int Wp = e - s - 20;
    const int x0 = s + 20;
    const auto N = static_cast<std::int64_t>(c.samples.size());
    const int step = SummaryStep(N, Wp);
    page.step = step;
    page.plotLeft = x0;
    page.plotWidth = Wp;

    // SpO2 graph and its event strip.
    b.Rule(x0, r, x0, r + G);
    b.Rule(x0, r + G, e, r + G);
    for (int i = 0; i < 3; ++i) {
        const int yi = r + (i * G) / 3;
        b.Dotted(x0, yi, e);
        b.At(s, yi - 7, TableFont::ReportValue, std::to_string(100 - 10 * i));
    }
    b.At(s, r + G - 7, TableFont::ReportValue, "70");
    LayoutSummaryCurve(
        c.samples, x0, e, step, [&](const SampleRecord& v) { return SummarySpo2Y(v.spo2, r, G); }, page.spo2Curve);
    page.desaturationStrip = LayoutStrip(x0, e, r + G + g3, g2, c.results.desaturation.events, step);
    b.At(s - 12, r + G + g2, TableFont::ReportValue, UiText("Event"));

    // Pulse graph and its event strip.
    const int u = Hs * 52 / 100;
    const int top = r + u;
    b.At(s, r + Hs * 45 / 100, TableFont::ReportValue, UiText("Pulse Rate (20 BPM per division)"));
    b.Rule(x0, top, x0, top + G);
    b.Rule(x0, top + G, e, top + G);
    for (int i = 0; i < 7; ++i) {
        const int yi = top + G * i / 7;
        b.Dotted(x0, yi, e);
        if (i == 0 || i == 1 || i == 3 || i == 5) b.At(s, yi - 5, TableFont::ReportValue, std::to_string(180 - 20 * i));
    }
    b.At(s, top + G - 5, TableFont::ReportValue, "40");
    LayoutSummaryCurve(
        c.samples, x0, e, step, [&](const SampleRecord& v) { return SummaryPulseY(v.pulseRate, top, G); },
        page.pulseCurve);
    page.pulseStrip = LayoutStrip(x0, e, top + G + g3, g2, c.results.pulse.events, step);
    b.At(s - 12, top + G + g2 + 1, TableFont::ReportValue, UiText("Event"));

    // Time axis: ten ticks, a time under every other one.
    const int ya = top + (8 * G) / 7 + g3;
    b.Rule(x0, ya, e, ya);
    for (int m = 0; m < 10; ++m) {
        const int xo = m * Wp / 10;
        const int x = x0 + xo;
        b.Rule(x, ya, x, ya + (m % 2 == 0 ? 2 : 4));
        const std::int64_t n = static_cast<std::int64_t>(xo) * step;
        if (m % 2 == 0 || n >= N) continue;
        b.Box({s + xo - 5, ya + 1, s + xo + 45, bottom + 1}, TableFont::ReportValue, TextAlign::Center,
              SampleTimeText(c.samples[static_cast<std::size_t>(n)]));
    }
}

}  // namespace

int SummaryStep(std::int64_t sampleCount, int plotWidth) {
    if (plotWidth <= 0 || sampleCount <= plotWidth) return 1;
    return static_cast<int>((sampleCount + plotWidth - 1) / plotWidth);
}

int SummaryX(std::int64_t sample, int x0, int step) {
    return sample == 0 ? x0 + 1 : x0 + static_cast<int>((sample - 1) / step);
}

std::vector<std::int64_t> SummaryTimeLabelSamples(std::int64_t sampleCount, int plotWidth, int step) {
    std::vector<std::int64_t> labelled;
    for (int m = 1; m < 10; m += 2) {
        const std::int64_t n = static_cast<std::int64_t>(m * plotWidth / 10) * step;
        if (n < sampleCount) labelled.push_back(n);
    }
    return labelled;
}

int SummarySpo2Y(int spo2, int graphTop, int graphHeight) {
    return graphTop + (100 - std::clamp(spo2, 70, 100)) * graphHeight / 30;
}

int SummaryPulseY(int pulseRate, int graphTop, int graphHeight) {
    return graphTop + (180 - std::clamp(pulseRate, 40, 180)) * graphHeight / 140;
}

ReportPageLayout LayoutReportPage(const LayoutRect& paper, const ReportContent& content, int valueAverageCharWidth) {
    ReportPageLayout page;
    page.paper = paper;
    if (content.samples.empty()) return page;
    Builder b(page);
    LayoutPatientBlock(page, b, content, valueAverageCharWidth);
    LayoutEventTable(page, b, content);
    LayoutGraphicSummary(page, b, content);
    return page;
}

}  // namespace quenda
