#pragma once

#include "store/SampleRecord.h"
#include "views/PageLayout.h"
#include "views/TrendPaging.h"
#include "views/TrendViewSource.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// The trend page as numbers: every rectangle, line and text of one page, for
// a drawing rectangle in logical units (pixels on screen, 1/96 inch on paper).
// No widgets here, so the screen, the printer and the tests share it.

enum class TrendFont { Title, Label, Value, Axis };

// Font heights: the text cell height (ascent + descent), in logical units.
namespace trend_font_height {
inline constexpr int kTitle = 25;  // bold italic
inline constexpr int kLabel = 19;  // bold
inline constexpr int kValue = 18;
inline constexpr int kAxis = 13;
}  // namespace trend_font_height

using TextBox = LaidOutText<TrendFont>;

namespace trend_colour {
inline constexpr Rgb kBackground{255, 182, 147};
inline constexpr Rgb kHeaderBox{184, 192, 169};
inline constexpr Rgb kSpo2Panel{250, 245, 171};
inline constexpr Rgb kPulsePanel{193, 250, 253};
inline constexpr Rgb kHeaderRule{0, 0, 255};
inline constexpr Rgb kAxis{79, 79, 79};  // drawn 2 units wide
inline constexpr Rgb kText{0, 0, 0};     // also ticks and grid dashes
inline constexpr Rgb kSpo2Curve{255, 0, 0};
inline constexpr Rgb kPulseCurve{0, 0, 0};
inline constexpr Rgb kReadoutArrow{128, 128, 255};
}  // namespace trend_colour

inline constexpr int kAxisPenWidth = 2;
// One tick per half minute on the time axis, a time label per minute.
inline constexpr int kSamplesPerTick = 30;

// Header box: the report title, the patient's data and the start and end of
// the recording.
struct HeaderLayout {
    LayoutRect box;
    std::array<LayoutLine, 2> rules;  // the two blue rules
    std::vector<TextBox> texts;       // title first, then labels and values
};

enum class TrendChannel { Spo2, PulseRate };

// One graph panel. Readout rectangles hold, in this order, the date, the time
// and the channel's value of the sample under the readout.
struct PanelLayout {
    LayoutRect panel;
    // The plotting area (x0, graph top, x0 + P + 1, baseline): what the pointer
    // test accepts. Its height is the graph height H.
    LayoutRect graph;
    std::vector<TextBox> labels;  // caption, readout captions, level labels
    std::array<LayoutRect, 3> readout;
    std::array<LayoutLine, 2> axes;  // vertical axis, baseline
    std::vector<LayoutLine> levelTicks;
    std::vector<LayoutLine> gridDashes;
    std::vector<LayoutLine> timeTicks;  // 2 M of them
    std::vector<TextBox> timeLabels;    // one per minute whose sample exists
};

struct TrendPageLayout {
    LayoutRect drawing;
    PageGeometry geometry;
    std::int64_t firstSample = 0;  // S
    HeaderLayout header;
    PanelLayout spo2;
    PanelLayout pulse;
};

// Width the header's value boxes count in: the average character width of
// the value font. The boxes were sized in Arial's average width; Liberation
// Sans keeps Arial's glyph advances but reports a larger average, so callers
// pass Arial's (ArialAverageCharWidth), which keeps the boxes as wide as they
// were and still fits the same texts.
int ArialAverageCharWidth(int pixelSize);

// "20yy/mm/dd" and "hh:mm:ss" of a sample.
std::string SampleDateText(const SampleRecord& s);
std::string SampleTimeText(const SampleRecord& s);

// The whole page for `drawing`, showing page `pageIndex` of `samples`.
TrendPageLayout LayoutTrendPage(const LayoutRect& drawing, int pageIndex, std::span<const SampleRecord> samples,
                                const TrendHeader& header, int valueAverageCharWidth);

// Parts of it, for tests and for callers that need one piece.
HeaderLayout LayoutHeader(const LayoutRect& drawing, std::span<const SampleRecord> samples, const TrendHeader& header,
                          int valueAverageCharWidth);
PanelLayout LayoutSpo2Panel(const LayoutRect& drawing, const PageGeometry& geometry, std::int64_t firstSample,
                            std::span<const SampleRecord> samples);
PanelLayout LayoutPulsePanel(const LayoutRect& drawing, const LayoutRect& spo2Panel, const PageGeometry& geometry,
                             std::int64_t firstSample, std::span<const SampleRecord> samples);

// The height of both graphs: 20 % of the drawing height.
int GraphHeight(const LayoutRect& drawing);

// Where a sample's value sits in a graph whose plotting area is `graph`.
// SpO2 above 100 (the store allows up to 127) stays on the 100 line; the
// pulse scale runs to 300, so nothing needs clamping there.
int CurveY(TrendChannel channel, const SampleRecord& s, const LayoutRect& graph);

// The polyline of one channel on the page starting at `firstSample`: it starts
// at x0 + 1 with the first sample and then takes sample S + k at x0 + k for
// k = 1 … P, so the first sample of the next page closes the page. It stops
// after the last sample; fewer than two points draw nothing. `out` is
// overwritten (its capacity is reused).
void CurvePoints(TrendChannel channel, std::span<const SampleRecord> samples, std::int64_t firstSample,
                 int samplesPerPage, const LayoutRect& graph, std::vector<LayoutPoint>& out);

}  // namespace quenda
