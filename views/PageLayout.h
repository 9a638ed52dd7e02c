#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quenda {

// What every page (trend, table, report) is laid out in: rectangles, lines,
// texts and colours in logical units (pixels on screen, 1/96 inch on paper).
// No widgets here, so the screen, the printer and the tests share it.

// A rectangle as the layout has always measured it: right and bottom are the
// first units outside it.
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // Left and top edges inside, right and bottom edges outside.
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const LayoutRect&) const = default;
};

struct LayoutPoint {
    int x = 0;
    int y = 0;
    bool operator==(const LayoutPoint&) const = default;
};

// A straight line drawn from `from` up to, but not including, `to`: the old
// drawing calls stopped one unit short, which is what makes a 4-unit dash four
// units long.
struct LayoutLine {
    LayoutPoint from;
    LayoutPoint to;
    bool operator==(const LayoutLine&) const = default;
};

enum class TextAlign {
    LeftTop,     // left- and top-aligned
    LeftMiddle,  // left-aligned, vertically centred
    Center,      // centred both ways
};

// One text of a page in one of the page's fonts (an enum of its own per page).
template <typename Font>
struct LaidOutText {
    LayoutRect rect;
    Font font{};
    TextAlign align = TextAlign::LeftTop;
    std::string text;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// A vertical run of pixels in one column, top and bottom both drawn.
struct ColumnSpan {
    int x = 0;
    int top = 0;
    int bottom = 0;
    bool operator==(const ColumnSpan&) const = default;
};

// A curve of points whose x moves by at most one unit from point to point, as
// one vertical span per run of points in the same column. Each point's own
// pixel is always part of its column's span, so the pointer test, which reads
// a sample exactly at its point, always finds the curve under it; the join to
// the neighbouring column is split halfway between the two columns, as a line
// rasteriser would. Many samples in one column (a compressed summary) make one
// span from their lowest to their highest point. `out` is overwritten.
void CurveColumns(const std::vector<LayoutPoint>& points, std::vector<ColumnSpan>& out);

}  // namespace quenda
