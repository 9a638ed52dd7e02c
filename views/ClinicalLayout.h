#pragma once

#include "store/SampleRecord.h"
#include "views/TrendViewSource.h"

#include <QRect>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// The clinical page as numbers, in page units: one unit is 1/96 inch on a
// landscape A4 sheet (1122 × 794). The page is laid out once at that size and
// scaled into whatever rectangle it is drawn on, so the screen, the preview
// and the printer show the same page.
inline constexpr int kClinicalPageWidth = 1122;
inline constexpr int kClinicalPageHeight = 794;

// Font pixel sizes in page units.
inline constexpr int kClinicalTitlePx = 24;
inline constexpr int kClinicalHeadingPx = 15;
inline constexpr int kClinicalLabelPx = 13;
inline constexpr int kClinicalTextPx = 11;

inline constexpr int kClinicalFigureRows = 12;
inline constexpr int kClinicalBandRows = 5;
inline constexpr int kClinicalShapeRows = 8;

struct ClinicalLayout {
    QRect page;     // the whole sheet
    QRect title;    // report title left, "Clinical Summary" right
    int titleRule;  // y of the rule under the title
    QRect patient;  // the patient block: name, gender, age, ID, height, weight
    std::array<int, 6> patientFieldLeft;  // x of each field, in ClinicalPatientFields' order
    QRect info;     // recording times
    QRect coverage;  // how much of the night the figures rest on
    QRect figures;  // the figure rows (label, value, definition) and the ODI note
    int figureRowHeight;
    int noteHeight;  // the line under the ODI rows
    int labelWidth;
    int valueWidth;
    QRect bands;          // the bar chart with its heading
    int bandRowHeight;    // first bar row starts one row below bands.top()
    int bandLabelWidth;   // "90–94" column
    int bandBarWidth;     // a 100 % bar
    QRect scored;         // a scored study's figures between bars and shape; empty without
    int scoredRowHeight;
    QRect shape;          // the shape of the 3 % desaturations, under the bars, with its heading
    int shapeRowHeight;   // first row starts one row below shape.top()
    int shapeLabelWidth;
    QRect overviewTitle;  // "Whole night" and its legend
    QRect spo2Plot;       // SpO2 50..100 %
    QRect eventStrip;     // depth-3 events across their length
    QRect pulsePlot;      // pulse 40..180 bpm
    QRect timeAxis;       // ticks and times under the plots
    QRect criteria;       // the rules the figures were scored by, up to two lines
    int axisLabelWidth;   // labels left of the plots
};

// `scored`: the night has a scored study, whose block (a heading and
// kClinicalScoredRows rows) takes room the bars and the shape give up by
// closer rows, so the page stays one sheet.
inline constexpr int kClinicalScoredRows = 5;
ClinicalLayout MakeClinicalLayout(bool scored = false);

// The figure rows before the ODI note: valid time, ODI 3 %, ODI 4 %.
inline constexpr int kClinicalOdiRows = 3;

// The top of figure row `row` (from 0): rows after the ODI rows sit one note
// line lower.
int FigureRowTop(const ClinicalLayout& l, int row);
// The note's line, under the ODI rows.
QRect OdiNoteRect(const ClinicalLayout& l);

// One field of the patient block: "Name :" and its value.
struct ClinicalField {
    std::string label;
    std::string value;
};
// The fields the other pages' patient blocks show, in their order: name,
// gender, age, ID, height and weight (the latter two by the unit rule, as the
// header already holds them). Labels go through UiText. An empty field (no
// name, age 0, a height or weight of 0, the gender of a record with nothing
// else in it) has an empty value, and the page leaves it out where it stands.
std::vector<ClinicalField> ClinicalPatientFields(const TrendHeader& header);

// A tick of the whole-night time axis, at a plot column. The first and last
// ticks are the recording's start and end (hh:mm:ss); the others fall on whole
// clock hours (hh:00), every ClinicalHourStep hours. An hour too close to an
// end for its label keeps its tick without one.
struct ClinicalTick {
    int column = 0;
    std::string label;
    enum Align { kLeft, kCentre, kRight } align = kCentre;
};
// Hours between labelled ticks for a recording of `seconds`: 1, 2 or 3, and
// more for recordings of days, so that at most ten hours are labelled.
int ClinicalHourStep(std::int64_t seconds);
std::vector<ClinicalTick> ClinicalTimeTicks(std::span<const SampleRecord> samples, int width);
// The least distance between an hour's label and an end's, in page units.
inline constexpr int kClinicalTickLabelGap = 60;

// The plots' value ranges; values outside are drawn on the nearest edge.
inline constexpr int kOverviewSpo2Min = 50;
inline constexpr int kOverviewSpo2Max = 100;
inline constexpr int kOverviewPulseMin = 40;
inline constexpr int kOverviewPulseMax = 180;

// The column (0 .. width - 1) that sample i of n falls in when the whole
// night is compressed to `width` columns: the samples are spread evenly, so
// the last sample is in the last column however n and width relate.
int ColumnOfSample(std::int64_t i, std::int64_t n, int width);

// The y of a value in a plot: top edge for `max`, bottom edge for `min`,
// clamped to the plot.
int PlotY(const QRect& plot, int value, int min, int max);

// The transform's scale and offset that fit the page into a target rectangle,
// keeping its proportions and centring it.
struct PageFit {
    double scale = 1;
    double dx = 0;
    double dy = 0;
};
PageFit FitPage(const QRect& target);

}  // namespace quenda
