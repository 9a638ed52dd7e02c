// The annotations of a night's EDF+ file: the report's events, the counted 3 %
// desaturations and pulse rises, then the stretches the clinical profile sets
// aside and the user's exclusions.
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

TEST(EdfClinicalAnnotations, APulseRiseAfterEachDesaturation) {
    // Two 3 % dips of 15 s, each answered by the pulse 12 bpm up for 6 s.
    std::vector<int> spo2(400, 96);
    std::vector<int> pulse(400, 70);
    for (const int dip : {120, 300}) {
        for (int s = dip; s < dip + 15; ++s) spo2[static_cast<std::size_t>(s)] = 92;
        for (int s = dip + 16; s < dip + 22; ++s) pulse[static_cast<std::size_t>(s)] = 82;
    }
    FigureSettings settings;
    settings.profile = ClinicalProfile::Raw;
    std::vector<Row> clinical;  // leaving out the report's own events
    for (const Row& row : Rows(EdfAnnotationsOf(AnalyzeNight(testing::FromChannels(spo2, pulse), {}, settings))))
        if (std::get<2>(row) == "Desaturation 3%" || std::get<2>(row) == "Pulse rise") clinical.push_back(row);
    EXPECT_EQ(clinical, (std::vector<Row>{{120, 15, "Desaturation 3%"},
                                          {300, 15, "Desaturation 3%"},
                                          {136, 6, "Pulse rise"},
                                          {316, 6, "Pulse rise"}}));
}

}  // namespace
}  // namespace quenda
