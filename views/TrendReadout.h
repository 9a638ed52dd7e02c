#pragma once

#include "store/SampleRecord.h"
#include "views/TrendLayout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quenda {

// Reading single samples off the trend page: the pointer test, the two arrows
// that mark the sample on the curves, and the keyboard cursor.

// An arrow pointing at a curve point. It comes from the graph edge farther
// away, so it never leaves its graph.
struct ReadoutArrow {
    enum Direction : int { kFromAbove = 0, kFromBelow = 1 };

    // Parked: outside every drawing, zero length; it draws nothing visible.
    LayoutPoint point{-100, -100};
    int length = 0;
    int direction = kFromAbove;

    bool IsParked() const { return point.x < 0 && point.y < 0 && length == 0; }
    bool operator==(const ReadoutArrow&) const = default;
};

// The arrow at `at` in a graph whose plotting area is `graph`: from above when
// the point lies below the graph's middle, else from below; its length is the
// distance to that edge.
ReadoutArrow PlaceArrow(LayoutPoint at, const LayoutRect& graph);

// The shaft from the point to the graph edge, then the two 5-unit wings.
std::array<LayoutLine, 3> ArrowLines(const ReadoutArrow& arrow);

struct ReadoutTexts {
    std::string date;  // "20yy/mm/dd"
    std::string time;  // "hh:mm:ss"
    std::string spo2;
    std::string pulseRate;

    bool operator==(const ReadoutTexts&) const = default;
};

ReadoutTexts ReadoutTextsOf(const SampleRecord& s);

// The readout as page `pageIndex` of `samplesPerPage` samples shows it: the
// texts of `sample` when that sample is on the page, else none. The screen
// keeps its readout while paging up; a printed page of another width must not
// show it for a sample it does not hold.
ReadoutTexts ReadoutOnPage(const ReadoutTexts& texts, std::int64_t sample, int pageIndex, int samplesPerPage);

// What the pointer test needs of the page on screen.
struct ReadoutGraphs {
    LayoutRect spo2;
    LayoutRect pulse;
    std::int64_t firstSample = 0;
};

struct ReadoutHit {
    std::int64_t sample = 0;
    ReadoutArrow spo2Arrow;
    ReadoutArrow pulseArrow;
    ReadoutTexts texts;
};

// The sample under the pointer at `at`, if the pointer is exactly on a curve
// point of an existing sample: on the SpO2 curve inside the SpO2 graph, or on
// the pulse curve inside the pulse graph. Both arrows go to column `at.x`.
// A point on a baseline (value 0) lies on the graph's excluded bottom edge and
// is never hit.
std::optional<ReadoutHit> HitReadout(LayoutPoint at, const ReadoutGraphs& graphs,
                                     std::span<const SampleRecord> samples);

// The Left and Right keys walk a cursor along the SpO2 curve, one sample per
// step, turning the page at either end.
struct KeyboardCursor {
    int x = -100;
    std::int64_t sample = -100;
};

// The cursor starts where the SpO2 arrow stands, but not left of the graph.
KeyboardCursor CursorAtArrow(const ReadoutArrow& spo2Arrow, int graphLeft, std::int64_t firstSample);

enum class CursorPaging { None, PageUp, PageDown };

struct CursorStep {
    CursorPaging paging = CursorPaging::None;
    // Column of the cursor after the step (after the page turn, if any).
    int x = 0;
};

// Left: one sample back; at the graph's left edge, the previous page with the
// cursor one column short of its right end (P - 1). Nothing moves at sample 0.
CursorStep StepCursorLeft(const KeyboardCursor& cursor, int graphLeft, int samplesPerPage);
// Right: one sample on; at the right end (column P, the next page's first
// sample), the next page with the cursor at its column 1. Nothing moves once
// the cursor is past the last sample.
CursorStep StepCursorRight(const KeyboardCursor& cursor, int graphLeft, int samplesPerPage, int sampleCount);

// The readout after a cursor step: the sample drawn at column `x`, with both
// arrows, as if the pointer stood on its SpO2 point; none when that sample
// does not exist. Unlike the pointer, the cursor also reads a sample whose
// SpO2 is 0: its point lies on the baseline, outside the graph, and a cursor
// that could not read it would stick there for good.
std::optional<ReadoutHit> ReadoutAtColumn(int x, const ReadoutGraphs& graphs, std::span<const SampleRecord> samples);

}  // namespace quenda
