#pragma once

#include <cstdint>

namespace quenda {

// How a recording is cut into trend pages. One horizontal unit is one sample
// (one second); the graph takes 89 % of the drawing width, cut down to whole
// minutes. All arithmetic truncates toward zero, as the layout always has.
struct PageGeometry {
    int minutesPerPage = 0;  // M
    int samplesPerPage = 0;  // P = 60 M
    int pageCount = 0;       // 0 when there are no samples
};

inline constexpr int kSamplesPerMinute = 60;
// Samples per page before the first paint has measured the window.
inline constexpr int kInitialSamplesPerPage = 900;

// Page geometry for a drawing area `drawingWidth` units wide. Below 68 units no
// whole minute fits (P = 0): a recording then has one empty page rather than
// a page count divided by zero.
PageGeometry ComputePageGeometry(int drawingWidth, int sampleCount);

// The first sample of page `pageIndex`. 64-bit: a page index left over from a
// narrower window may point far past the data.
std::int64_t FirstSampleOfPage(int pageIndex, int samplesPerPage);

// The page index to show when the page count has changed (the window was
// resized): an index past the last page becomes the last page. A page count of
// 0 (no data) leaves it alone.
int ClampPageIndex(int pageIndex, int pageCount);

// Page index after a page-up by `rollStep` pages: never below 0.
int PageIndexAfterPageUp(int pageIndex, int rollStep);

// Page down by `rollStep` pages: a page count of 0 (no data) is taken as 1,
// and the index stops at the last page.
struct PageDownResult {
    int pageIndex = 0;
    int pageCount = 0;
};
PageDownResult PageIndexAfterPageDown(int pageIndex, int rollStep, int pageCount);

}  // namespace quenda
