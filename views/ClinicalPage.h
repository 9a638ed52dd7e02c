#pragma once

#include "analysis/Clinical.h"
#include "analysis/NightAnalysis.h"
#include "views/TrendViewSource.h"

#include <span>
#include <string>
#include <vector>

class QPainter;
class QRect;

namespace quenda {

// What the clinical page shows besides the figures: the report title and the
// patient block, as every page's header has them (MakePageHeader).
using ClinicalPageHeader = TrendHeader;

// Draws the clinical summary page: a white sheet with the title, the patient
// block, the recording's times, every figure of the night's analysis with its
// one-line definition, a bar chart of the time in SpO2 bands, the shape of the
// 3 % desaturations and the whole night's SpO2 and pulse with the 3 %
// desaturations marked across their length. The page keeps its landscape A4 proportions and is scaled and
// centred into `target`, in the painter's own units, so one routine serves
// the screen, the print preview and the printer (at 1/96 inch per unit, a
// full-page target is the sheet itself). The painter's state is restored.
// What the page shows of how the figures were counted besides the summary's
// own coverage fields: the samples left out (excluded, invalid, artefacts), shaded
// in the whole-night graph, and the oximeter's averaging time (0: not stated).
// `oneNight`: the samples are one night of the library, which a merged night
// is though the night rule finds two in it; otherwise a data set of several
// nights says so above its figures (ManyNightsNotice).
struct ClinicalPageCounting {
    std::vector<SampleSpan> leftOut;
    int averagingSeconds = 0;
    std::string scoringSource;  // where a scored study's scoring came from; empty without
    bool oneNight = false;
};

// Under the recording's times, the coverage line (CoverageLine); at the foot,
// the criteria line (CriteriaLine).
void PaintClinicalPage(QPainter& painter, const QRect& target, const NightAnalysis& night,
                       std::span<const SampleRecord> samples, const ClinicalPageHeader& header,
                       const ClinicalPageCounting& counting = {});

}  // namespace quenda
