#include "views/ClinicalLayout.h"

#include "base/StringFormat.h"
#include "base/UiText.h"

#include <algorithm>
#include <cstdlib>

namespace quenda {

namespace {

constexpr int kMargin = 24;
constexpr int kFiguresWidth = 720;
constexpr int kColumnGap = 30;
constexpr int kAxisLabelWidth = 40;

}  // namespace

ClinicalLayout MakeClinicalLayout(bool scored) {
    ClinicalLayout l{};
    const int inner = kClinicalPageWidth - 2 * kMargin;
    l.page = QRect(0, 0, kClinicalPageWidth, kClinicalPageHeight);
    l.title = QRect(kMargin, 16, inner, 36);
    l.titleRule = l.title.bottom() + 4;
    l.patient = QRect(kMargin, l.titleRule + 6, inner, 20);
    // Name, gender, age, ID, height, weight: the name gets room for about 40
    // characters, the others for theirs.
    l.patientFieldLeft = {kMargin, kMargin + 330, kMargin + 490, kMargin + 590, kMargin + 700, kMargin + 860};
    l.info = QRect(kMargin, l.patient.bottom() + 3, inner, 20);
    l.coverage = QRect(kMargin, l.info.bottom() + 1, inner, 18);

    // Each figure row: label and value on one line, the definition under them.
    l.figureRowHeight = 28;
    l.noteHeight = 15;
    l.labelWidth = 190;
    l.valueWidth = 500;  // the value line has nothing beside it
    l.figures = QRect(kMargin, l.coverage.bottom() + 8, kFiguresWidth,
                      kClinicalFigureRows * l.figureRowHeight + l.noteHeight);

    // Beside the figures: the bars at the top, the desaturations' shape at the
    // bottom; each heading takes one row.
    const int bandsLeft = l.figures.right() + 1 + kColumnGap;
    const int columnWidth = kClinicalPageWidth - kMargin - bandsLeft;
    l.bandRowHeight = scored ? 18 : 28;
    l.bands = QRect(bandsLeft, l.figures.top(), columnWidth, (kClinicalBandRows + 1) * l.bandRowHeight);
    l.bandLabelWidth = 50;
    l.bandBarWidth = l.bands.width() - l.bandLabelWidth - 110;  // room for "444.2 min  92.5 %"
    l.shapeRowHeight = scored ? 16 : 20;
    const int shapeHeight = (kClinicalShapeRows + 1) * l.shapeRowHeight;
    l.shape = QRect(bandsLeft, l.figures.bottom() + 1 - shapeHeight, columnWidth, shapeHeight);
    l.scoredRowHeight = 16;
    if (scored) {
        l.scored = QRect(bandsLeft, l.bands.bottom() + 1, columnWidth, (kClinicalScoredRows + 1) * l.scoredRowHeight);
    }
    l.shapeLabelWidth = 110;

    l.axisLabelWidth = kAxisLabelWidth;
    const int plotLeft = kMargin + kAxisLabelWidth;
    const int plotWidth = kClinicalPageWidth - kMargin - plotLeft;
    l.overviewTitle = QRect(kMargin, l.figures.bottom() + 8, inner, 20);
    l.spo2Plot = QRect(plotLeft, l.overviewTitle.bottom() + 7, plotWidth, 92);
    l.eventStrip = QRect(plotLeft, l.spo2Plot.bottom() + 7, plotWidth, 12);
    l.pulsePlot = QRect(plotLeft, l.eventStrip.bottom() + 13, plotWidth, 74);
    l.timeAxis = QRect(plotLeft, l.pulsePlot.bottom() + 2, plotWidth, 22);
    l.criteria = QRect(kMargin, l.timeAxis.bottom() + 3, inner,
                       kClinicalPageHeight - kMargin / 2 - (l.timeAxis.bottom() + 3));
    return l;
}

int FigureRowTop(const ClinicalLayout& l, int row) {
    return l.figures.top() + row * l.figureRowHeight + (row >= kClinicalOdiRows ? l.noteHeight : 0);
}

QRect OdiNoteRect(const ClinicalLayout& l) {
    return QRect(l.figures.left(), l.figures.top() + kClinicalOdiRows * l.figureRowHeight, l.figures.width(),
                 l.noteHeight);
}

std::vector<ClinicalField> ClinicalPatientFields(const TrendHeader& h) {
    // A zero is what an empty record holds: "0 cm" or age 0 would read as a
    // measurement. Male is the gender field's zero, so it is left out only of
    // a record with nothing else in it.
    const auto measured = [](const std::string& value) { return std::atoi(value.c_str()) > 0 ? value : std::string(); };
    const bool empty =
        h.patientName.empty() && h.age <= 0 && measured(h.height).empty() && measured(h.weight).empty() && !h.female;
    return {{UiText("Name :"), h.patientName},
            {UiText("Gender : "), empty ? std::string() : UiText(h.female ? "female" : "male")},
            {UiText("Age : "), h.age > 0 ? std::to_string(h.age) : std::string()},
            {UiText("ID : "), std::to_string(h.id)},
            {UiText("Height : "), measured(h.height)},
            {UiText("Weight : "), measured(h.weight)}};
}

int ClinicalHourStep(std::int64_t seconds) {
    constexpr int kMaxLabelledHours = 10;
    for (const int step : {1, 2, 3, 4, 6, 12}) {
        if (seconds <= std::int64_t{kMaxLabelledHours} * step * 3600) return step;
    }
    return 24;
}

std::vector<ClinicalTick> ClinicalTimeTicks(std::span<const SampleRecord> samples, int width) {
    std::vector<ClinicalTick> ticks;
    if (samples.empty()) return ticks;
    const auto n = static_cast<std::int64_t>(samples.size());
    const auto clock = [](const SampleRecord& r) { return Format("%02d:%02d:%02d", r.hour, r.minute, r.second); };
    ticks.push_back({0, clock(samples.front()), ClinicalTick::kLeft});
    const int endColumn = ColumnOfSample(n - 1, n, width);
    // One sample a second: sample i is i seconds after the first.
    const SampleRecord& first = samples.front();
    const std::int64_t startOfDay = first.hour * 3600 + first.minute * 60 + first.second;
    const int step = ClinicalHourStep(n - 1);
    for (std::int64_t i = (3600 - startOfDay % 3600) % 3600; i < n; i += 3600) {
        const auto hour = static_cast<int>((startOfDay + i) / 3600 % 24);
        if (hour % step != 0 || i == 0 || i == n - 1) continue;  // the ends have their own
        const int column = ColumnOfSample(i, n, width);
        const bool room = column >= kClinicalTickLabelGap && endColumn - column >= kClinicalTickLabelGap;
        ticks.push_back({column, room ? Format("%02d:00", hour) : std::string(), ClinicalTick::kCentre});
    }
    if (n > 1) ticks.push_back({endColumn, clock(samples.back()), ClinicalTick::kRight});
    return ticks;
}

int ColumnOfSample(std::int64_t i, std::int64_t n, int width) {
    if (n <= 1 || width <= 1) return 0;
    return static_cast<int>(std::clamp<std::int64_t>(i, 0, n - 1) * (width - 1) / (n - 1));
}

int PlotY(const QRect& plot, int value, int min, int max) {
    const int v = std::clamp(value, min, max);
    return plot.top() + (max - v) * (plot.height() - 1) / (max - min);
}

PageFit FitPage(const QRect& target) {
    PageFit fit;
    fit.scale = std::min(static_cast<double>(target.width()) / kClinicalPageWidth,
                         static_cast<double>(target.height()) / kClinicalPageHeight);
    fit.dx = target.x() + (target.width() - kClinicalPageWidth * fit.scale) / 2;
    fit.dy = target.y() + (target.height() - kClinicalPageHeight * fit.scale) / 2;
    return fit;
}

}  // namespace quenda
