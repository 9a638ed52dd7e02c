#pragma once

#include "analysis/AnalysisResults.h"
#include "analysis/Clinical.h"
#include "analysis/ScoredStudy.h"
#include "store/SampleRecord.h"
#include "views/PageLayout.h"
#include "views/TableLayout.h"
#include "views/TrendViewSource.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// The analysis report page as numbers: the patient block, the event table with
// its limit lines and definitions, and the graphic summary of the whole
// recording with the events marked. Drawn on any paper rectangle: the sheet of
// the Analysis mode on screen, a printer's page, a PDF page.

namespace report_colour {
inline constexpr Rgb kText{0, 0, 0};     // also rules, axes, grid and strip frames
inline constexpr Rgb kSpo2{0, 255, 0};   // SpO2 curve and desaturation marks
inline constexpr Rgb kPulse{0, 0, 250};  // pulse curve and pulse marks
}  // namespace report_colour

// What the page shows.
struct ReportContent {
    std::span<const SampleRecord> samples;
    TrendHeader header;
    AnalysisResults results;  // of the last computation
    // Read from the settings file at every drawing, so the definitions show
    // the current settings even beside the results of an earlier computation.
    int desaturationsEvent = 4;
    int pulseEvent = 6;
    // What the clinical page counts (Options > Clinical Setup and the data
    // set's exclusions) and the averaging time it prints.
    ClinicalOptions clinical;
    int averagingSeconds = 0;
    // A sleep study's scoring of the samples: the trend's marks, the table's
    // Event column and the clinical page's scored figures.
    ScoredStudy scoring;
};

// Samples per plot unit of the graphic summary. Rounded up, so the whole
// recording always fits the plot width (a truncated step would cut off up to
// half of a recording between one and two plot widths long).
int SummaryStep(std::int64_t sampleCount, int plotWidth);
// Where sample `sample` is plotted: sample 0 at x0 + 1, sample i ≥ 1 at
// x0 + (i − 1) / step.
int SummaryX(std::int64_t sample, int x0, int step);
// The samples whose times label the time axis: at xo = m × Wp / 10 for odd m,
// sample xo × step. Samples past the end are left out.
std::vector<std::int64_t> SummaryTimeLabelSamples(std::int64_t sampleCount, int plotWidth, int step);
// Curve heights, clamped to the graphs' ranges: SpO2 70 … 100 %, pulse 40 … 180 bpm.
int SummarySpo2Y(int spo2, int graphTop, int graphHeight);
int SummaryPulseY(int pulseRate, int graphTop, int graphHeight);

// One event strip: its frame and a mark per event, across the event's length
// (length / step units, at least one), so a long event is visible at a glance.
struct EventStrip {
    LayoutRect frame;
    std::vector<LayoutRect> marks;
};

struct ReportPageLayout {
    LayoutRect paper;
    LayoutRect title;
    LayoutRect patientBlock;
    LayoutRect recordingBlock;
    std::vector<LayoutLine> lines;   // rules, axes, strip frames, ticks: black, solid
    std::vector<LayoutLine> dotted;  // grid lines: black, dotted
    std::vector<TableText> texts;
    int step = 1;
    int plotLeft = 0;   // x0
    int plotWidth = 0;  // Wp
    std::vector<ColumnSpan> spo2Curve;
    std::vector<ColumnSpan> pulseCurve;
    EventStrip desaturationStrip;
    EventStrip pulseStrip;
};

// The whole page on `paper`. `valueAverageCharWidth` is the average character
// width of the report value font, which the patient block's boxes count in.
// With no samples the page stays blank (nothing laid out but the paper).
ReportPageLayout LayoutReportPage(const LayoutRect& paper, const ReportContent& content, int valueAverageCharWidth);

}  // namespace quenda
