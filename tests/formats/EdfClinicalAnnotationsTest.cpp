// The annotations of a night's EDF+ file: the report's events, the counted 3 %
// desaturations, then the stretches the clinical profile sets aside and the
// user's exclusions.
#include "../analysis/SampleSeries.h"
#include "formats/Export.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quenda {
namespace {

using Row = std::tuple<int, int, std::string>;

std::vector<Row> Rows(const std::vector<EdfAnnotation>& annotations) {
    std::vector<Row> rows;
    for (const EdfAnnotation& a : annotations) rows.emplace_back(a.onset, a.duration, a.text);
    return rows;
}

TEST(EdfClinicalAnnotations, ArtefactAndExcludedSpansUnderEachProfile) {
    // 200 s at 96 % with a no-finger reading at 100 and a one-second spike at 150.
    std::vector<int> spo2(200, 96);
    spo2[100] = 127;
    spo2[150] = 70;
    const auto samples = testing::FromSpo2(spo2);
    Exclusions exclusions;
    exclusions.Exclude({180, 250});  // cut to the data set
    FigureSettings settings;
    settings.profile = ClinicalProfile::Default;
    EXPECT_EQ(Rows(EdfAnnotationsOf(AnalyzeNight(samples, exclusions, settings))),
              (std::vector<Row>{{101, 99, "Desaturation"},  // the report counts the no-finger 127 too
                                {95, 5, "Artefact"},
                                {101, 5, "Artefact"},
                                {150, 1, "Artefact"},
                                {180, 20, "Excluded"}}));
    settings.profile = ClinicalProfile::Raw;
    EXPECT_EQ(Rows(EdfAnnotationsOf(AnalyzeNight(samples, exclusions, settings))),
              (std::vector<Row>{{101, 99, "Desaturation"}, {180, 20, "Excluded"}}));
}

}  // namespace
}  // namespace quenda
