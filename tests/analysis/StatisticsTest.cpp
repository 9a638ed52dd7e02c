#include "SampleSeries.h"
#include "analysis/Analysis.h"
#include "base/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quenda {
namespace {

using testing::Analyse;
using testing::Append;
using testing::FromChannels;
using testing::FromSpo2;

TEST(SummaryStatistics, ExtremesAndTruncatedAverages) {
    // SpO2: nine 95 and one 94 average 94.9; pulse: 61, 62 average 61.5.
    std::vector<int> spo2;
    Append(spo2, 95, 9);
    spo2.push_back(94);
    std::vector<int> pulse;
    for (int i = 0; i < 5; ++i) {
        pulse.push_back(61);
        pulse.push_back(62);
    }
    const auto s = Analyse(FromChannels(spo2, pulse)).statistics;
    EXPECT_EQ(s.spo2Average, 94);
    EXPECT_EQ(s.spo2Maximum, 95);
    EXPECT_EQ(s.spo2Minimum, 94);
    EXPECT_EQ(s.prAverage, 61);
    EXPECT_EQ(s.prMaximum, 62);
    EXPECT_EQ(s.prMinimum, 61);
}

TEST(SummaryStatistics, ExtremesAnywhereInTheDataIncludingTheFirstAndLastSample) {
    auto s = Analyse(FromChannels({40, 90, 91, 100}, {200, 70, 71, 30})).statistics;
    EXPECT_EQ(s.spo2Minimum, 40);
    EXPECT_EQ(s.spo2Maximum, 100);
    EXPECT_EQ(s.prMaximum, 200);
    EXPECT_EQ(s.prMinimum, 30);
    // Every value takes part, 0 and 127 as much as any other.
    s = Analyse(FromChannels({0, 127}, {0, 255})).statistics;
    EXPECT_EQ(s.spo2Minimum, 0);
    EXPECT_EQ(s.spo2Maximum, 127);
    EXPECT_EQ(s.prMaximum, 255);
    EXPECT_EQ(s.spo2Average, 63);
    EXPECT_EQ(s.prAverage, 127);
}

TEST(SummaryStatistics, LimitCountsAreStrict) {
    // Defaults 94 / 88 and 150 / 60: the values on the limits count for neither.
    const auto s = Analyse(FromChannels({95, 94, 88, 87, 96}, {151, 150, 60, 59, 58})).statistics;
    EXPECT_EQ(s.spo2HighCount, 2);
    EXPECT_EQ(s.spo2LowCount, 1);
    EXPECT_EQ(s.prHighCount, 1);
    EXPECT_EQ(s.prLowCount, 2);
}

TEST(SummaryStatistics, LimitsAreUsedAsGivenAndKeptWithTheResults) {
    Thresholds t;
    t.saturationsHigh = 200;  // out of range, as a hand-edited file may hold
    t.saturationsLow = -5;
    t.prHigh = 10;
    t.prLow = 300;
    const auto r = Analyse(FromChannels({95, 80}, {70, 90}), t);
    EXPECT_EQ(r.statistics.spo2HighCount, 0);
    EXPECT_EQ(r.statistics.spo2LowCount, 0);
    EXPECT_EQ(r.statistics.prHighCount, 2);
    EXPECT_EQ(r.statistics.prLowCount, 2);
    EXPECT_EQ(r.limits, (AnalysisLimits{200, -5, 10, 300}));
}

TEST(ComputeStatistics, EmptyDataSetLeavesEverythingZeroAndDropsEarlierResults) {
    std::vector<int> spo2 = {97};
    Append(spo2, 90, 12);
    AnalysisResults r = Analyse(FromSpo2(spo2));
    ASSERT_EQ(r.desaturation.eventCount, 1);

    ComputeStatistics({}, Thresholds{}, r);
    AnalysisResults expected;
    expected.limits = {94, 88, 150, 60};
    EXPECT_EQ(r, expected);
}

TEST(ComputeStatistics, SingleSampleHasStatisticsButNoEvents) {
    const auto r = Analyse(FromChannels({93}, {140}));
    EXPECT_EQ(r.statistics.spo2Average, 93);
    EXPECT_EQ(r.statistics.prMinimum, 140);
    EXPECT_EQ(r.desaturation, ChannelEvents{});
    EXPECT_EQ(r.pulse, ChannelEvents{});
}

TEST(ComputeStatistics, RecomputingReplacesTheEventListsInsteadOfAddingToThem) {
    std::vector<int> spo2 = {97};
    Append(spo2, 90, 12);
    const auto samples = FromSpo2(spo2);
    AnalysisResults r;
    ComputeStatistics(samples, Thresholds{}, r);
    ComputeStatistics(samples, Thresholds{}, r);
    EXPECT_EQ(r.desaturation.events.size(), 1u);
    EXPECT_EQ(r.desaturation.eventCount, 1);
    EXPECT_EQ(r.desaturation.summary.timeInEvents, 12);
}

class ThresholdsFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "quenda-thresholds-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path File() const { return dir_ / "Quenda.ini"; }

    std::filesystem::path dir_;
};

TEST_F(ThresholdsFile, MissingFileGivesTheDefaults) {
    EXPECT_EQ(ReadThresholds(Settings(File())), (Thresholds{94, 88, 150, 60, 4, 6}));
}

TEST_F(ThresholdsFile, HandEditedValuesAreReadUncheckedAndUnreadableOnesDefault) {
    std::ofstream(File()) << "[setup]\nSaturationsHigh=120\nSaturationsLow=-3\nPrHigh=abc\n"
                             "PrLow=0\nDesaturationsEvent=25\n";
    EXPECT_EQ(ReadThresholds(Settings(File())), (Thresholds{120, -3, 150, 0, 25, 6}));
}

TEST_F(ThresholdsFile, EachComputationSeesTheFileAsItIsThen) {
    Settings settings(File());
    std::vector<int> spo2 = {98};
    Append(spo2, 95, 12);
    const auto samples = FromSpo2(spo2);
    AnalysisResults r;
    ComputeStatistics(samples, ReadThresholds(settings), r);
    EXPECT_EQ(r.desaturation.eventCount, 0);
    ASSERT_TRUE(settings.WriteInt(settings_key::kDesaturationsEvent, 3));
    ComputeStatistics(samples, ReadThresholds(settings), r);
    EXPECT_EQ(r.desaturation.eventCount, 1);
}

}  // namespace
}  // namespace quenda
