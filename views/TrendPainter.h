#pragma once

#include "analysis/Marking.h"
#include "analysis/ScoredFigures.h"
#include "store/SampleRecord.h"
#include "views/TrendLayout.h"
#include "views/TrendReadout.h"

#include <QFont>

#include <optional>
#include <span>
#include <vector>

class QPainter;

namespace quenda {

// The trend view's four fonts: Arial (Liberation Sans where Arial is missing)
// at the cell heights of trend_font_height.
struct TrendFonts {
    QFont title;  // bold, italic
    QFont label;  // bold
    QFont value;
    QFont axis;

    const QFont& Get(TrendFont font) const;
};

TrendFonts MakeTrendFonts();

// What is shaded behind the curves of both graphs: the samples the clinical
// figures leave out (excluded spans, invalid readings, artefacts) in light
// grey, and the span being selected. Nothing shaded draws nothing: the page is
// as without it.
// A scored study's respiratory events and stages (ScoredMarksOf) are drawn
// along the foot of the SpO2 graph: the events as marks in two colours, under
// them the stages as a hypnogram strip (W at the top, then R, N1, N2, N3).
struct TrendShading {
    std::vector<SampleSpan> spans;
    std::optional<SampleSpan> selection;
    std::span<const ScoredMark> scored;
};

namespace trend_colour {
inline constexpr Rgb kLeftOut{214, 214, 214};
inline constexpr Rgb kSelection{176, 196, 240};
inline constexpr Rgb kApnea{178, 34, 34};
inline constexpr Rgb kHypopnea{230, 145, 30};
inline constexpr Rgb kStage{40, 60, 150};
}  // namespace trend_colour

// The strip's rows, each this high, and the event marks' height above it.
inline constexpr int kHypnogramRow = 5;
inline constexpr int kHypnogramRows = 5;
inline constexpr int kEventMarkHeight = 8;

// The columns sample span `span` covers in `graph` on a page that starts at
// `firstSample` (as CurvePoints places samples: sample first + k at column
// left + k, the first one at left + 1); left > right when none is on the page.
struct ColumnRange {
    int left = 0;
    int right = -1;
};
ColumnRange SpanColumns(SampleSpan span, std::int64_t firstSample, int samplesPerPage, const LayoutRect& graph);

// Draws one trend page as laid out: background, header box, both panels with
// their labels, readout texts, axes, grid, time axes and curves. Everything is
// drawn in the layout's logical units; the painter's transform maps them to
// the device (identity on screen, 1/96 inch on paper).
void PaintTrendPage(QPainter& painter, const TrendPageLayout& layout, std::span<const SampleRecord> samples,
                    const ReadoutTexts& readout, const TrendFonts& fonts, const TrendShading& shading = {});

// What one trend page shows besides its drawing rectangle.
struct TrendPageContent {
    std::span<const SampleRecord> samples;
    TrendHeader header;
    int pageIndex = 0;
    ReadoutTexts readout;  // empty on paper
    TrendShading shading;
};

// Lays out and draws the trend page for `drawing`: the plain routine the view,
// the printer and the command line share. No arrows, which belong to the
// screen.
void DrawTrendPage(QPainter& painter, const LayoutRect& drawing, const TrendPageContent& content,
                   const TrendFonts& fonts);

// The two readout arrows; parked arrows draw nothing.
void PaintReadoutArrows(QPainter& painter, const ReadoutArrow& spo2Arrow, const ReadoutArrow& pulseArrow);

}  // namespace quenda
