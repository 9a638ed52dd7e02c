#include "views/TrendLayout.h"
#include "views/TrendPaging.h"

#include "views/TrendTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>

namespace quenda {
namespace {

using test::SecondsFrom2200;

// A screen drawing area 1000 units wide and 700 high; the numbers below are
// worked out by hand from it.
constexpr LayoutRect kScreen{0, 0, 1000, 700};
constexpr int kAvgChar = 7;  // Arial's average width at the value font's size

const TextBox* FindText(const std::vector<TextBox>& boxes, const std::string& text) {
    auto it = std::find_if(boxes.begin(), boxes.end(), [&](const TextBox& b) { return b.text == text; });
    return it == boxes.end() ? nullptr : &*it;
}

// ---- Page geometry and paging ----

TEST(TrendPaging, ThousandUnitsHoldFourteenMinutes) {
    const PageGeometry g = ComputePageGeometry(1000, 10'000);
    EXPECT_EQ(g.minutesPerPage, 14);
    EXPECT_EQ(g.samplesPerPage, 840);
    EXPECT_EQ(g.pageCount, 12);  // 11 full pages of 840 and 760 on the last
    EXPECT_EQ(FirstSampleOfPage(11, g.samplesPerPage), 9240);
}

TEST(TrendPaging, PageCountRoundsUpOnlyForAPartPage) {
    EXPECT_EQ(ComputePageGeometry(1000, 840 * 3).pageCount, 3);
    EXPECT_EQ(ComputePageGeometry(1000, 840 * 3 + 1).pageCount, 4);
    EXPECT_EQ(ComputePageGeometry(1000, 1).pageCount, 1);
    EXPECT_EQ(ComputePageGeometry(1000, 0).pageCount, 0);
    EXPECT_EQ(ComputePageGeometry(1920, kMaxSamples).samplesPerPage, 1680);
    EXPECT_EQ(ComputePageGeometry(1920, kMaxSamples).pageCount, 309);
}

TEST(TrendPaging, AreaWithoutAWholeMinuteHasOneEmptyPage) {
    // 67 × 0.89 = 59 units: no minute fits, and the page count must not divide by 0.
    const PageGeometry narrow = ComputePageGeometry(67, 5000);
    EXPECT_EQ(narrow.samplesPerPage, 0);
    EXPECT_EQ(narrow.pageCount, 1);
    EXPECT_EQ(ComputePageGeometry(67, 0).pageCount, 0);
    EXPECT_EQ(ComputePageGeometry(0, 5000).pageCount, 1);
    EXPECT_EQ(ComputePageGeometry(-20, 5000).samplesPerPage, 0);
    // 68 × 0.89 = 60: the first width with a minute.
    EXPECT_EQ(ComputePageGeometry(68, 5000).samplesPerPage, 60);
    EXPECT_EQ(ComputePageGeometry(68, 5000).pageCount, 84);
}

TEST(TrendPaging, RollStepTwoOverThreePages) {
    const int pages = ComputePageGeometry(1000, 840 * 3).pageCount;
    PageDownResult down = PageIndexAfterPageDown(0, 2, pages);
    EXPECT_EQ(down.pageIndex, 2);
    down = PageIndexAfterPageDown(down.pageIndex, 2, pages);
    EXPECT_EQ(down.pageIndex, 2) << "stays on the last page";
    EXPECT_EQ(down.pageCount, 3);
    EXPECT_EQ(PageIndexAfterPageUp(down.pageIndex, 2), 0);
    EXPECT_EQ(PageIndexAfterPageUp(1, 2), 0) << "never below the first page";
}

TEST(TrendPaging, PageDownWithoutDataCountsOnePage) {
    const PageDownResult r = PageIndexAfterPageDown(0, 1, 0);
    EXPECT_EQ(r.pageCount, 1);
    EXPECT_EQ(r.pageIndex, 0);
    // An index left past the end by a wider window goes to the last page.
    EXPECT_EQ(PageIndexAfterPageDown(40, 1, 12).pageIndex, 11);
}

// ---- Header box ----

TEST(TrendHeader, BoxRulesAndRowsAtThousandBySevenHundred) {
    TrendHeader header;
    header.title = "Night study";
    header.patientName = "Ann Example";
    header.female = true;
    header.age = 64;
    header.id = 7;
    header.height = "178 cm";
    header.weight = "68 kg";
    const HeaderLayout h = LayoutHeader(kScreen, SecondsFrom2200(3600), header, kAvgChar);

    // B = 700 × 27 % + 10 = 199; T = 5 + 5 + 199 × 16 % = 41.
    EXPECT_EQ(h.box, (LayoutRect{10, 5, 990, 199}));
    EXPECT_EQ(h.rules[0], (LayoutLine{{10, 51}, {990, 51}}));
    EXPECT_EQ(h.rules[1], (LayoutLine{{10, 159}, {990, 159}}));
    ASSERT_FALSE(h.texts.empty());
    EXPECT_EQ(h.texts.front().text, "Night study");
    EXPECT_EQ(h.texts.front().rect, (LayoutRect{20, 10, 990, 41}));
    EXPECT_EQ(h.texts.front().font, TrendFont::Title);

    struct Expected {
        const char* text;
        LayoutRect rect;
        TrendFont font;
    };
    // Label rows 21 high from 62, 10 apart; value rows start 6 above them.
    const Expected expected[] = {
        {"User Data", {20, 62, 990, 83}, TrendFont::Label},
        {"Name :", {20, 93, 990, 114}, TrendFont::Label},
        {"Gender : ", {380, 93, 990, 114}, TrendFont::Label},
        {"Age : ", {630, 93, 990, 114}, TrendFont::Label},
        {"ID : ", {20, 124, 990, 145}, TrendFont::Label},
        {"Height : ", {380, 124, 990, 145}, TrendFont::Label},
        {"Weight : ", {630, 124, 990, 145}, TrendFont::Label},
        {"Ann Example", {80, 87, 990, 108}, TrendFont::Value},
        {"female", {455, 87, 455 + 8 * kAvgChar, 108}, TrendFont::Value},
        {"64", {680, 87, 680 + 5 * kAvgChar, 108}, TrendFont::Value},
        {"7", {80, 118, 80 + 20 * kAvgChar, 139}, TrendFont::Value},
        {"178 cm", {445, 118, 445 + 8 * kAvgChar, 139}, TrendFont::Value},
        {"68 kg", {700, 118, 800, 139}, TrendFont::Value},
        {"Start Date:", {20, 169, 990, 188}, TrendFont::Label},
        {"Start Time : ", {260, 169, 990, 188}, TrendFont::Label},
        {"End Date:", {490, 169, 990, 188}, TrendFont::Label},
        {"End Time : ", {740, 169, 990, 188}, TrendFont::Label},
        {"2024/03/05", {110, 169, 990, 184}, TrendFont::Value},
        {"22:00:00", {350, 169, 990, 184}, TrendFont::Value},
        {"22:59:59", {828, 169, 990, 184}, TrendFont::Value},
    };
    for (const Expected& e : expected) {
        const TextBox* box = FindText(h.texts, e.text);
        ASSERT_NE(box, nullptr) << e.text;
        EXPECT_EQ(box->rect, e.rect) << e.text;
        EXPECT_EQ(box->font, e.font) << e.text;
    }
    // The end date is the same day here; it sits at c48 + 88.
    const auto endDate = std::find_if(h.texts.begin(), h.texts.end(),
                                      [](const TextBox& b) { return b.text == "2024/03/05" && b.rect.left == 578; });
    EXPECT_NE(endDate, h.texts.end());
}

TEST(TrendHeader, GenderAndRecordingRowFollowTheData) {
    TrendHeader header;
    header.female = false;
    const HeaderLayout male = LayoutHeader(kScreen, SecondsFrom2200(2 * 3600 + 1), header, kAvgChar);
    EXPECT_NE(FindText(male.texts, "male"), nullptr);
    EXPECT_EQ(FindText(male.texts, "female"), nullptr);
    // Two hours past 22:00 the recording ends on the next day.
    EXPECT_NE(FindText(male.texts, "2024/03/06"), nullptr);
    EXPECT_NE(FindText(male.texts, "00:00:00"), nullptr);

    // Without data there is no first or last sample: all four fields stay empty.
    const HeaderLayout empty = LayoutHeader(kScreen, {}, header, kAvgChar);
    const TextBox* startLabel = FindText(empty.texts, "Start Date:");
    ASSERT_NE(startLabel, nullptr);
    int emptyRecordValues = 0;
    for (const TextBox& b : empty.texts) {
        if (b.rect.top == startLabel->rect.top && b.font == TrendFont::Value) {
            EXPECT_TRUE(b.text.empty()) << b.text;
            ++emptyRecordValues;
        }
    }
    EXPECT_EQ(emptyRecordValues, 4);
}

TEST(TrendHeader, FollowsTheDrawingRectangleOrigin) {
    // The printer hands over a rectangle that need not start at (0, 0).
    const LayoutRect moved{100, 50, 1100, 750};
    const HeaderLayout a = LayoutHeader(kScreen, {}, {}, kAvgChar);
    const HeaderLayout b = LayoutHeader(moved, {}, {}, kAvgChar);
    EXPECT_EQ(b.box, (LayoutRect{110, 55, 1090, 249}));
    ASSERT_EQ(a.texts.size(), b.texts.size());
    for (std::size_t i = 0; i < a.texts.size(); ++i) {
        EXPECT_EQ(b.texts[i].rect.left - a.texts[i].rect.left, 100) << a.texts[i].text;
        EXPECT_EQ(b.texts[i].rect.top - a.texts[i].rect.top, 50) << a.texts[i].text;
    }
}

// ---- Panels ----

TEST(TrendPanels, Spo2PanelLevelsGridAndReadout) {
    const auto samples = SecondsFrom2200(10'000);
    const PageGeometry g = ComputePageGeometry(kScreen.Width(), 10'000);
    const PanelLayout p = LayoutSpo2Panel(kScreen, g, 0, samples);

    // P1 from B + 10 to B + (700 - B) / 2 + 5, h1 = 245; H = 140; x0 = 70.
    EXPECT_EQ(p.panel, (LayoutRect{10, 209, 990, 454}));
    EXPECT_EQ(p.graph, (LayoutRect{70, 275, 70 + 840 + 1, 415}));
    EXPECT_EQ(p.axes[0], (LayoutLine{{70, 275}, {70, 415}}));
    EXPECT_EQ(p.axes[1], (LayoutLine{{70, 415}, {990, 415}}));

    const int levelY[] = {275, 303, 331, 359, 387, 415};
    ASSERT_EQ(p.levelTicks.size(), 6u);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(p.levelTicks[k], (LayoutLine{{55, levelY[k]}, {70, levelY[k]}}));
        const TextBox* label = FindText(p.labels, std::to_string(100 - 20 * k));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->rect, (LayoutRect{20, levelY[k] - 10, 55, levelY[k] + 10}));
        EXPECT_EQ(label->align, TextAlign::Center);
    }
    // 4-unit dashes every 20 units from x0 + 20 while j < P + 16, on levels
    // 100 … 20 but not on the baseline.
    ASSERT_EQ(p.gridDashes.size(), 5u * 42u);
    EXPECT_EQ(p.gridDashes.front(), (LayoutLine{{90, 275}, {94, 275}}));
    EXPECT_EQ(p.gridDashes[41], (LayoutLine{{910, 275}, {914, 275}}));
    EXPECT_TRUE(
        std::none_of(p.gridDashes.begin(), p.gridDashes.end(), [](const LayoutLine& l) { return l.from.y == 415; }));

    EXPECT_EQ(p.readout[0], (LayoutRect{410, 231, 510, 253}));
    EXPECT_EQ(p.readout[1], (LayoutRect{655, 231, 720, 253}));
    EXPECT_EQ(p.readout[2], (LayoutRect{855, 231, 915, 251}));
    const TextBox* caption = FindText(p.labels, "SpO2       (20% per division)");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->rect.left, 20);
    EXPECT_EQ(caption->rect.top, 231);
    EXPECT_EQ(FindText(p.labels, "RecordDate : ")->rect.left, 310);
}

TEST(TrendPanels, PulsePanelHasItsOwnDashSpacing) {
    const auto samples = SecondsFrom2200(10'000);
    const PageGeometry g = ComputePageGeometry(kScreen.Width(), 10'000);
    const PanelLayout spo2 = LayoutSpo2Panel(kScreen, g, 0, samples);
    const PanelLayout p = LayoutPulsePanel(kScreen, spo2.panel, g, 0, samples);

    EXPECT_EQ(p.panel, (LayoutRect{10, 464, 990, 695}));
    // The graph top is 7 % of the drawing height (49) below the panel top.
    EXPECT_EQ(p.graph, (LayoutRect{70, 513, 911, 653}));

    const int levelY[] = {513, 536, 559, 582, 605, 628, 653};
    const int tickFrom[] = {65, 55, 65, 55, 65, 55, 55};
    ASSERT_EQ(p.levelTicks.size(), 7u);
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(p.levelTicks[k], (LayoutLine{{tickFrom[k], levelY[k]}, {70, levelY[k]}})) << k;
        const TextBox* label = FindText(p.labels, std::to_string(300 - 50 * k));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->rect, (LayoutRect{20, levelY[k] - 11, 55, levelY[k] + 11}));
    }
    // Dashes one division (140 / 6) apart, x0 + (j × H) / 6, while that + 4 < P + H / 6.
    ASSERT_EQ(p.gridDashes.size(), 6u * 36u);
    EXPECT_EQ(p.gridDashes[0].from.x, 93);
    EXPECT_EQ(p.gridDashes[1].from.x, 116);
    EXPECT_EQ(p.gridDashes[2].from.x, 140);
    EXPECT_EQ(p.gridDashes[35].from.x, 70 + 840);
    EXPECT_EQ(p.gridDashes[0].to.x - p.gridDashes[0].from.x, 4);

    EXPECT_EQ(p.readout[0], (LayoutRect{440, 477, 540, 497}));
    EXPECT_EQ(p.readout[1], (LayoutRect{675, 477, 775, 497}));
    EXPECT_EQ(p.readout[2], (LayoutRect{855, 477, 955, 497}));
    EXPECT_EQ(FindText(p.labels, "Pulse Rate (50 BPM per division)")->rect.left, 23);
    EXPECT_EQ(FindText(p.labels, "PR : ")->rect.left, 820);
}

TEST(TrendPanels, TimeAxisTicksAndLabels) {
    const auto samples = SecondsFrom2200(10'000);
    const TrendPageLayout page = LayoutTrendPage(kScreen, 0, samples, {}, kAvgChar);
    for (const PanelLayout* p : {&page.spo2, &page.pulse}) {
        ASSERT_EQ(p->timeTicks.size(), 28u);
        ASSERT_EQ(p->timeLabels.size(), 14u);
        EXPECT_EQ(p->timeLabels.front().text, "22:01:00");
        EXPECT_EQ(p->timeLabels.back().text, "22:14:00");
        EXPECT_EQ(p->timeLabels.front().font, TrendFont::Axis);
    }
    // SpO2 panel (h1 = 245): short ticks 4 down, long ones 7, labels 7..17 below the baseline.
    EXPECT_EQ(page.spo2.timeTicks[0], (LayoutLine{{100, 415}, {100, 419}}));
    EXPECT_EQ(page.spo2.timeTicks[1], (LayoutLine{{130, 415}, {130, 422}}));
    EXPECT_EQ(page.spo2.timeLabels[0].rect, (LayoutRect{105, 422, 155, 432}));
    // Pulse panel (h2 = 231): long ticks 8 down, labels 9..20 below.
    EXPECT_EQ(page.pulse.timeTicks[0], (LayoutLine{{100, 653}, {100, 657}}));
    EXPECT_EQ(page.pulse.timeTicks[1], (LayoutLine{{130, 653}, {130, 661}}));
    EXPECT_EQ(page.pulse.timeLabels[0].rect, (LayoutRect{105, 662, 155, 673}));

    // Page 2 starts at sample 1680, 22:28:00.
    const TrendPageLayout second = LayoutTrendPage(kScreen, 2, samples, {}, kAvgChar);
    EXPECT_EQ(second.firstSample, 1680);
    EXPECT_EQ(second.spo2.timeLabels.front().text, "22:29:00");
}

TEST(TrendPanels, MissingMinuteSampleKeepsItsTickButNotItsLabel) {
    // The last page (11) holds samples 9240 … 9999: minutes at 9240 + 60 i exist
    // for i ≤ 12 (9960); 10,020 does not.
    const auto samples = SecondsFrom2200(10'000);
    const TrendPageLayout page = LayoutTrendPage(kScreen, 11, samples, {}, kAvgChar);
    EXPECT_EQ(page.spo2.timeTicks.size(), 28u);
    EXPECT_EQ(page.spo2.timeLabels.size(), 12u);
    EXPECT_EQ(page.spo2.timeLabels.back().rect.left, 70 + 720 - 25);
    // With 9960 samples the minute at 9960 is one past the last sample.
    const auto shorter = SecondsFrom2200(9960);
    EXPECT_EQ(LayoutTrendPage(kScreen, 11, shorter, {}, kAvgChar).pulse.timeLabels.size(), 11u);
    // A page past the data has ticks and no labels at all.
    const TrendPageLayout beyond = LayoutTrendPage(kScreen, 40, samples, {}, kAvgChar);
    EXPECT_EQ(beyond.pulse.timeTicks.size(), 28u);
    EXPECT_TRUE(beyond.pulse.timeLabels.empty());
}

TEST(TrendPanels, NarrowAndFlatAreasStayFinite) {
    const auto samples = SecondsFrom2200(500);
    // No whole minute: no ticks, no dashes, a one-unit graph.
    const TrendPageLayout narrow = LayoutTrendPage({0, 0, 60, 400}, 0, samples, {}, kAvgChar);
    EXPECT_EQ(narrow.geometry.pageCount, 1);
    EXPECT_TRUE(narrow.spo2.timeTicks.empty());
    EXPECT_TRUE(narrow.spo2.gridDashes.empty());
    EXPECT_TRUE(narrow.pulse.gridDashes.empty());
    EXPECT_EQ(narrow.spo2.graph.Width(), 1);

    // Under 5 units high the graphs have no height and the pulse dashes no
    // spacing; laying out must still end (run it where a hang would show).
    auto flat = std::async(std::launch::async, [&] {
        return LayoutTrendPage({0, 0, 1000, 4}, 0, samples, {}, kAvgChar);
    });
    ASSERT_EQ(flat.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const TrendPageLayout f = flat.get();
    EXPECT_EQ(f.pulse.graph.Height(), 0);
    EXPECT_TRUE(f.pulse.gridDashes.empty());
}

// ---- Curves ----

TEST(TrendCurves, ClampsAndScales) {
    const LayoutRect graph{70, 275, 911, 415};  // H = 140
    SampleRecord s;
    s.spo2 = 127;  // the store allows up to 127
    EXPECT_EQ(CurveY(TrendChannel::Spo2, s, graph), 275) << "drawn on the 100 line";
    s.spo2 = 100;
    EXPECT_EQ(CurveY(TrendChannel::Spo2, s, graph), 275);
    s.spo2 = 95;
    EXPECT_EQ(CurveY(TrendChannel::Spo2, s, graph), 415 - 133);
    s.spo2 = 0;
    EXPECT_EQ(CurveY(TrendChannel::Spo2, s, graph), 415);
    s.pulseRate = 255;
    EXPECT_EQ(CurveY(TrendChannel::PulseRate, s, graph), 415 - 119) << "85 % of the graph height";
    s.pulseRate = 60;
    EXPECT_EQ(CurveY(TrendChannel::PulseRate, s, graph), 415 - 28);
}

TEST(TrendCurves, PolylineCoversThePageAndTheNextPagesFirstSample) {
    const auto samples = SecondsFrom2200(10'000);
    const LayoutRect graph{70, 275, 911, 415};
    std::vector<LayoutPoint> points;
    CurvePoints(TrendChannel::Spo2, samples, 840, 840, graph, points);
    ASSERT_EQ(points.size(), 841u);
    // The first sample is drawn one unit in from the axis.
    EXPECT_EQ(points[0], (LayoutPoint{71, CurveY(TrendChannel::Spo2, samples[840], graph)}));
    EXPECT_EQ(points[1], (LayoutPoint{71, CurveY(TrendChannel::Spo2, samples[841], graph)}));
    EXPECT_EQ(points[840], (LayoutPoint{910, CurveY(TrendChannel::Spo2, samples[1680], graph)}));

    // The last page stops after the last sample.
    CurvePoints(TrendChannel::PulseRate, samples, 9240, 840, graph, points);
    ASSERT_EQ(points.size(), 760u);
    EXPECT_EQ(points.back(), (LayoutPoint{70 + 759, CurveY(TrendChannel::PulseRate, samples[9999], graph)}));

    // No data, a page past the end, or only one sample left: nothing to join.
    CurvePoints(TrendChannel::Spo2, {}, 0, 840, graph, points);
    EXPECT_TRUE(points.empty());
    CurvePoints(TrendChannel::Spo2, samples, 10'080, 840, graph, points);
    EXPECT_TRUE(points.empty());
    CurvePoints(TrendChannel::Spo2, samples, 9999, 840, graph, points);
    EXPECT_EQ(points.size(), 1u);
}

TEST(TrendFonts, ArialAverageWidthOfTheValueFont) {
    // Arial's average is 904/2048 em: 7 units at 16, the value font's size.
    EXPECT_EQ(ArialAverageCharWidth(16), 7);
    EXPECT_EQ(ArialAverageCharWidth(22), 10);
}

}  // namespace
}  // namespace quenda
