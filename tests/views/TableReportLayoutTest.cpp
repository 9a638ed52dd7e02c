// The table page and the report page on numbers, without widgets.
#include "views/ReportLayout.h"
#include "views/TableLayout.h"
#include "views/TrendPaging.h"

#include "views/TrendTestData.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quenda {
namespace {

// The header above the grid is 189 units tall: a 651-unit drawing leaves a
// 462-unit table area.
constexpr LayoutRect kTableDrawing{0, 0, 1000, 651};

// The "Item" numbers a table page shows, left half then right half.
std::vector<int> ItemNumbers(const TablePageLayout& page, int half) {
    const int column = page.table.Width() / 2 / 5;
    const int left = page.table.left + half * (page.table.Width() / 2);
    std::vector<int> items;
    for (const TableText& t : page.texts) {
        if (t.font == TableFont::Cell && t.rect.left == left && t.rect.right == left + column)
            items.push_back(std::stoi(t.text));
    }
    return items;
}

std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(i);
    return v;
}

TEST(TableLayout, RowsPagesAndSampleNumbers) {
    const auto samples = test::SecondsFrom2200(100);
    const TablePageLayout page1 = LayoutTablePage(kTableDrawing, 1, samples, {}, 8);
    EXPECT_EQ(page1.table.Height(), 462);
    EXPECT_EQ(page1.rows, 21);
    EXPECT_EQ(TableSamplesPerPage(page1.rows), 38);
    EXPECT_EQ(page1.pageCount, 3);
    EXPECT_EQ(ItemNumbers(page1, 0), Range(39, 57));
    EXPECT_EQ(ItemNumbers(page1, 1), Range(58, 76));

    // The last page: 96 … 100 on the right, the rows below stay empty.
    const TablePageLayout page2 = LayoutTablePage(kTableDrawing, 2, samples, {}, 8);
    EXPECT_EQ(ItemNumbers(page2, 0), Range(77, 95));
    EXPECT_EQ(ItemNumbers(page2, 1), Range(96, 100));
    const auto sample57 =
        std::find_if(page1.texts.begin(), page1.texts.end(), [](const TableText& t) { return t.text == "57"; });
    ASSERT_NE(sample57, page1.texts.end());
    EXPECT_EQ(std::next(sample57, 2)->text, "22:00:56");  // sample 57 is the 57th second

    // Fewer than three rows: no sample rows and no page count.
    EXPECT_FALSE(TablePageCount(2, 100));
    EXPECT_EQ(TablePageCount(21, 0), 0);
    const TablePageLayout tiny = LayoutTablePage({0, 0, 1000, 189 + 60}, 0, samples, {}, 8);
    EXPECT_EQ(tiny.rows, 2);
    EXPECT_FALSE(tiny.pageCount);
    EXPECT_TRUE(ItemNumbers(tiny, 0).empty());
}

TEST(TableLayout, PagingByTheRollStep) {
    EXPECT_EQ(PageIndexAfterPageDown(0, 2, 3).pageIndex, 2);
    EXPECT_EQ(PageIndexAfterPageDown(2, 2, 3).pageIndex, 2);
    EXPECT_EQ(PageIndexAfterPageUp(2, 2), 0);
    EXPECT_EQ(ClampPageIndex(26, 18), 17);
    EXPECT_EQ(ClampPageIndex(3, 18), 3);
    EXPECT_EQ(ClampPageIndex(3, 0), 3);
}

TEST(TableLayout, AnalysisPaperIsA4PortraitAtThirtyPercent) {
    EXPECT_EQ(AnalysisPaper({0, 0, 1000, 700}), (LayoutRect{300, 10, 780, 690}));
}

TEST(ReportLayout, CompressionStepPositionsAndTimeLabels) {
    EXPECT_EQ(SummaryStep(3600, 900), 4);
    EXPECT_EQ(SummaryX(3599, 100, 4), 100 + 899);
    EXPECT_EQ(SummaryX(0, 100, 4), 101);
    EXPECT_EQ(SummaryTimeLabelSamples(3600, 900, 4), (std::vector<std::int64_t>{360, 1080, 1800, 2520, 3240}));
    EXPECT_EQ(SummaryStep(500, 900), 1);
    EXPECT_EQ(SummaryX(499, 100, 1), 100 + 498);
    // Between one and two plot widths: rounded up, so the night fits.
    EXPECT_EQ(SummaryStep(1799, 900), 2);
    EXPECT_EQ(SummaryX(1798, 100, 2), 100 + 898);
    EXPECT_EQ(SummaryX(1799, 100, 2), 100 + 899);
    EXPECT_EQ(SummaryStep(kMaxSamples, 900), 576);
    EXPECT_EQ(SummaryTimeLabelSamples(500, 900, 1), (std::vector<std::int64_t>{90, 270, 450}));
}

TEST(ReportLayout, ValuesOutsideTheGraphsSitOnTheClampLines) {
    EXPECT_EQ(SummarySpo2Y(60, 500, 90), SummarySpo2Y(70, 500, 90));
    EXPECT_EQ(SummarySpo2Y(70, 500, 90), 590);
    EXPECT_EQ(SummarySpo2Y(127, 500, 90), 500);
    EXPECT_EQ(SummaryPulseY(255, 500, 140), 500);
    EXPECT_EQ(SummaryPulseY(181, 500, 140), SummaryPulseY(180, 500, 140));
    EXPECT_EQ(SummaryPulseY(20, 500, 140), 640);
}

TEST(ReportLayout, WholeRecordingReachesTheRightEdgeAndEventsSpanTheirLength) {
    // A 950-unit paper gives a 900-unit plot.
    auto samples = test::SecondsFrom2200(1799);
    ReportContent content{samples, {}, {}, 4, 6, {}, 0, {}};
    content.results.desaturation.events = {{100, 40, 90, 80, 5}, {1790, 9, 90, 80, 5}};
    const ReportPageLayout page = LayoutReportPage({0, 0, 950, 1122}, content, 6);
    ASSERT_EQ(page.plotWidth, 900);
    EXPECT_EQ(page.step, 2);
    ASSERT_FALSE(page.spo2Curve.empty());
    // The last sample is drawn, one unit short of the right edge.
    EXPECT_EQ(page.spo2Curve.back().x, page.plotLeft + 898);
    EXPECT_EQ(page.pulseCurve.back().x, page.plotLeft + 898);
    // One span per column at most, however many samples share it.
    EXPECT_LE(page.spo2Curve.size(), 901u);
    const auto& marks = page.desaturationStrip.marks;
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[0].left, page.plotLeft + 50);
    EXPECT_EQ(marks[0].Width(), 20);
    EXPECT_EQ(marks[1].Width(), 4);  // 9 / 2
    EXPECT_TRUE(page.pulseStrip.marks.empty());

    // No samples: a blank sheet.
    const ReportPageLayout blank = LayoutReportPage({0, 0, 950, 1122}, {}, 6);
    EXPECT_TRUE(blank.texts.empty() && blank.lines.empty() && blank.spo2Curve.empty());
}

TEST(ReportLayout, TableShowsTheFiguresAndTheCurrentThresholds) {
    const auto samples = test::SecondsFrom2200(3600);
    ReportContent content{samples, {}, {}, 3, 7, {}, 0, {}};
    content.results.desaturation.eventCount = 12;
    content.results.desaturation.indexPerHour = 12.0f;
    content.results.statistics.spo2HighCount = 2345;
    content.results.limits.saturationsHigh = 94;
    const ReportPageLayout page = LayoutReportPage({0, 0, 1122, 794}, content, 6);
    auto has = [&page](const std::string& text) {
        return std::any_of(page.texts.begin(), page.texts.end(), [&](const TableText& t) { return t.text == text; });
    };
    EXPECT_TRUE(has("Total Events."));
    EXPECT_TRUE(has("12"));
    EXPECT_TRUE(has("12.0"));
    EXPECT_TRUE(has("SpO2  >  94         2345"));
    EXPECT_TRUE(has("Desaturation Event:drop in SpO2 by at least 3% for a minimum duration of 10 seconds."));
    EXPECT_TRUE(has("Pulse Event Change in rate by at least 7 bpm for a minimum duration of 8 seconds."));
    EXPECT_TRUE(has("05/03/24") || has("24/03/05"));
}

}  // namespace
}  // namespace quenda
