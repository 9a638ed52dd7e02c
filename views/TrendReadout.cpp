#include "views/TrendReadout.h"

#include <algorithm>

namespace quenda {

namespace {

const SampleRecord* SampleAt(std::int64_t n, std::span<const SampleRecord> samples) {
    if (n < 0 || n >= static_cast<std::int64_t>(samples.size())) return nullptr;
    return &samples[static_cast<std::size_t>(n)];
}

ReadoutHit MakeHit(std::int64_t n, int x, const SampleRecord& s, const ReadoutGraphs& graphs) {
    ReadoutHit hit;
    hit.sample = n;
    hit.spo2Arrow = PlaceArrow({x, CurveY(TrendChannel::Spo2, s, graphs.spo2)}, graphs.spo2);
    hit.pulseArrow = PlaceArrow({x, CurveY(TrendChannel::PulseRate, s, graphs.pulse)}, graphs.pulse);
    hit.texts = ReadoutTextsOf(s);
    return hit;
}

}  // namespace

ReadoutArrow PlaceArrow(LayoutPoint at, const LayoutRect& graph) {
    ReadoutArrow arrow;
    arrow.point = at;
    if (at.y > graph.top + graph.Height() / 2) {
        arrow.direction = ReadoutArrow::kFromAbove;
        arrow.length = at.y - graph.top;
    } else {
        arrow.direction = ReadoutArrow::kFromBelow;
        arrow.length = graph.bottom - at.y;
    }
    return arrow;
}

std::array<LayoutLine, 3> ArrowLines(const ReadoutArrow& arrow) {
    const int x = arrow.point.x;
    const int y = arrow.point.y;
    // The shaft runs from the point to the graph edge; the wings end on the
    // point, which the shaft has already drawn.
    const int side = arrow.direction == ReadoutArrow::kFromAbove ? -1 : 1;
    return {LayoutLine{{x, y}, {x, y + side * arrow.length}}, LayoutLine{{x - 5, y + side * 5}, {x, y}},
            LayoutLine{{x + 5, y + side * 5}, {x, y}}};
}

ReadoutTexts ReadoutOnPage(const ReadoutTexts& texts, std::int64_t sample, int pageIndex, int samplesPerPage) {
    const std::int64_t first = FirstSampleOfPage(pageIndex, samplesPerPage);
    if (sample < first || sample >= first + samplesPerPage) return {};
    return texts;
}

ReadoutTexts ReadoutTextsOf(const SampleRecord& s) {
    return {SampleDateText(s), SampleTimeText(s), std::to_string(s.spo2), std::to_string(s.pulseRate)};
}

std::optional<ReadoutHit> HitReadout(LayoutPoint at, const ReadoutGraphs& graphs,
                                     std::span<const SampleRecord> samples) {
    // Both graphs start at the same x, so the SpO2 graph's left edge serves both.
    const std::int64_t n = graphs.firstSample + (at.x - graphs.spo2.left);
    const SampleRecord* s = SampleAt(n, samples);
    if (!s) return std::nullopt;
    const int spo2Y = CurveY(TrendChannel::Spo2, *s, graphs.spo2);
    const int pulseY = CurveY(TrendChannel::PulseRate, *s, graphs.pulse);
    const bool onSpo2 = graphs.spo2.Contains(at.x, at.y) && at.y == spo2Y;
    const bool onPulse = graphs.pulse.Contains(at.x, at.y) && at.y == pulseY;
    if (!onSpo2 && !onPulse) return std::nullopt;

    return MakeHit(n, at.x, *s, graphs);
}

KeyboardCursor CursorAtArrow(const ReadoutArrow& spo2Arrow, int graphLeft, std::int64_t firstSample) {
    KeyboardCursor c;
    c.x = std::max(spo2Arrow.point.x, graphLeft);
    c.sample = firstSample + (c.x - graphLeft);
    return c;
}

CursorStep StepCursorLeft(const KeyboardCursor& cursor, int graphLeft, int samplesPerPage) {
    CursorStep step{CursorPaging::None, cursor.x};
    if (cursor.sample <= 0) return step;
    if (cursor.x > graphLeft) {
        step.x = cursor.x - 1;
    } else if (cursor.x == graphLeft) {
        step.paging = CursorPaging::PageUp;
        step.x = graphLeft + samplesPerPage - 1;
    }
    return step;
}

CursorStep StepCursorRight(const KeyboardCursor& cursor, int graphLeft, int samplesPerPage, int sampleCount) {
    CursorStep step{CursorPaging::None, cursor.x};
    if (cursor.sample > sampleCount) return step;
    if (cursor.x < graphLeft + samplesPerPage) {
        step.x = cursor.x + 1;
    } else if (cursor.x == graphLeft + samplesPerPage) {
        step.paging = CursorPaging::PageDown;
        step.x = graphLeft + 1;
    }
    return step;
}

std::optional<ReadoutHit> ReadoutAtColumn(int x, const ReadoutGraphs& graphs, std::span<const SampleRecord> samples) {
    const std::int64_t n = graphs.firstSample + (x - graphs.spo2.left);
    const SampleRecord* s = SampleAt(n, samples);
    if (!s) return std::nullopt;
    return MakeHit(n, x, *s, graphs);
}

}  // namespace quenda
