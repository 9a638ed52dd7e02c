// The period summary, with answers worked by hand.
#include "nights/PeriodSummary.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <sstream>

namespace quenda {
namespace {

std::string Exact(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// A scored night's clinical columns: its events over `hours`, and its
// burden over `burdenHours` (none: no respiratory event).
ClinicalColumns Scored(int apneas, int hypopneas, double hours, std::optional<double> ahi = {},
                       double burdenHours = 0, std::optional<double> burden = {}) {
    ClinicalColumns c;
    c.Add("odi3", "1.00");
    c.Add("scored_events_apneas", std::to_string(apneas));
    c.Add("scored_events_hypopneas", std::to_string(hypopneas));
    c.Add("scored_events_hours", Exact(hours));
    c.Add("scored_events_ahi", Exact(ahi.value_or((apneas + hypopneas) / hours)));
    if (!burden) return c;
    c.Add("hypoxic_burden_value", Exact(*burden));
    c.Add("hypoxic_burden_events_used", "3");
    c.Add("hypoxic_burden_hours", Exact(burdenHours));
    c.Add("hypoxic_burden_window_start", "-12");
    c.Add("hypoxic_burden_window_end", "38");
    return c;
}

// A night of `date` with every figure at `value`, an hour recorded and all of
// it counted unless `coverage` says less.
NightRow Night(const std::string& date, double value, double coverage = 100) {
    NightRow row;
    row.date = date;
    row.samples = 3600;
    NightFigures& f = row.figures;
    f.odi3 = f.odi4 = f.t90 = f.t88Minutes = f.spo2Mean = f.pulseMean = f.desaturationBurden = f.pulseRiseIndex = value;
    f.nadirSpo2 = static_cast<std::int32_t>(value);
    f.coupledShare = value;
    f.coverage = coverage;
    // The scored figures as the clinical columns carry them: the AHI and the burden at `value` too.
    row.clinicalColumns = Scored(1, 0, 1.0, value, 1.0, value);
    return row;
}

std::vector<NightRow> Nights(const std::vector<double>& values) {
    std::vector<NightRow> rows;
    for (std::size_t i = 0; i < values.size(); ++i)
        rows.push_back(Night("2026-12-" + std::to_string(10 + i), values[i]));
    return rows;
}

const FigureSummary& Odi3(const PeriodSummary& s) { return s.figures.at(static_cast<int>(NightFigure::Odi3)); }

TEST(PeriodSummary, MedianQuartilesAndRangeByLinearInterpolation) {
    const struct {
        std::vector<double> values;
        double q1, median, q3, minimum, maximum;
    } cases[] = {
        {{7}, 7, 7, 7, 7, 7},                         // one night is every quantile
        {{5, 1, 4, 2, 3}, 2, 3, 4, 1, 5},             // odd: ranks fall on values
        {{4, 1, 3, 2}, 1.75, 2.5, 3.25, 1, 4},        // even: h = 0.75, 1.5, 2.25
        {{6, 1, 5, 2, 4, 3}, 2.25, 3.5, 4.75, 1, 6},  // h = 1.25, 2.5, 3.75
        {{10, 10, 20, 40}, 10, 15, 25, 10, 40},       // ties
    };
    for (const auto& c : cases) {
        const PeriodSummary s = SummarizeNights(Nights(c.values));
        ASSERT_EQ(s.figures.size(), static_cast<std::size_t>(kNightFigureCount));
        for (const FigureSummary& f : s.figures) {
            SCOPED_TRACE(std::string(NightFigureName(f.figure)) + " of " + std::to_string(c.values.size()));
            EXPECT_EQ(f.nights, static_cast<int>(c.values.size()));
            EXPECT_DOUBLE_EQ(f.q1, c.q1);
            EXPECT_DOUBLE_EQ(f.median, c.median);
            EXPECT_DOUBLE_EQ(f.q3, c.q3);
            EXPECT_DOUBLE_EQ(f.Iqr(), c.q3 - c.q1);
            EXPECT_DOUBLE_EQ(f.minimum, c.minimum);
            EXPECT_DOUBLE_EQ(f.maximum, c.maximum);
        }
    }
    const PeriodSummary none = SummarizeNights({});
    EXPECT_EQ(none.nights, 0);
    EXPECT_EQ(none.first, "");
    EXPECT_EQ(Odi3(none).nights, 0);
    EXPECT_EQ(Odi3(none).shares.size(), 3u);
    EXPECT_EQ(Odi3(none).shares[0].nights, 0);
}

TEST(PeriodSummary, CutOffSharesCountTheCutOffItselfAndNotJustBelow) {
    std::vector<NightRow> rows = Nights({5, 4.99, 15, 14.99, 30, 29.99, 25, 24.99});
    // Nadir: below 85 and below 80, whole percents.
    const std::int32_t nadirs[] = {85, 84, 80, 79, 90, 90, 90, 90};
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].figures.nadirSpo2 = nadirs[i];
    const PeriodSummary s = SummarizeNights(rows);

    const auto shares = [&](NightFigure figure) {
        std::vector<int> counts;
        for (const CutOffShare& share : s.figures.at(static_cast<int>(figure)).shares) counts.push_back(share.nights);
        return counts;
    };
    EXPECT_EQ(shares(NightFigure::Odi3), (std::vector<int>{7, 5, 1}));  // >= 5, >= 15, >= 30
    EXPECT_EQ(shares(NightFigure::Odi4), (std::vector<int>{7, 5, 1}));
    EXPECT_EQ(shares(NightFigure::T90), (std::vector<int>{7, 6, 3}));  // >= 5, >= 10, >= 25
    EXPECT_EQ(shares(NightFigure::T88), (std::vector<int>{7}));        // >= 5 min
    EXPECT_EQ(shares(NightFigure::Nadir), (std::vector<int>{3, 1}));   // < 85, < 80
    EXPECT_EQ(shares(NightFigure::MeanSpo2), (std::vector<int>{}));
    EXPECT_DOUBLE_EQ(Odi3(s).shares[0].percent, 87.5);  // 7 of 8
    EXPECT_EQ(Odi3(s).shares[2].cutOff.Text(), "≥ 30");
    EXPECT_EQ(s.figures.at(static_cast<int>(NightFigure::Nadir)).shares[0].cutOff.Text(), "< 85");
}

TEST(PeriodSummary, NightsWithoutCountedSamplesAreCountedButLeftOutOfTheFigures) {
    std::vector<NightRow> rows = Nights({10, 20});
    rows.push_back(Night("2026-12-09", 0, 0));  // everything excluded: its 0s measure nothing
    rows[1].figures.coverage = 50;
    const PeriodSummary s = SummarizeNights(rows);
    EXPECT_EQ(s.nights, 3);
    EXPECT_EQ(s.countedNights, 2);
    EXPECT_EQ(s.recordedSeconds, 3 * 3600);
    EXPECT_EQ(s.countedSeconds, 3600 + 1800);
    EXPECT_DOUBLE_EQ(s.CountedHours(), 1.5);
    EXPECT_EQ(s.first, "2026-12-09");
    EXPECT_EQ(s.last, "2026-12-11");
    for (const FigureSummary& f : s.figures) {
        EXPECT_EQ(f.nights, 2) << NightFigureName(f.figure);
        EXPECT_DOUBLE_EQ(f.minimum, 10) << NightFigureName(f.figure);
    }
    EXPECT_EQ(Odi3(s).shares[0].nights, 2);
    EXPECT_DOUBLE_EQ(Odi3(s).shares[0].percent, 100);  // of the nights the figure rests on
    // A night without a desaturation has no coupled share: out of that figure alone.
    rows[0].figures.coupledShare.reset();
    const PeriodSummary noShare = SummarizeNights(rows);
    EXPECT_EQ(noShare.figures.at(static_cast<int>(NightFigure::CoupledShare)).nights, 1);
    EXPECT_EQ(noShare.figures.at(static_cast<int>(NightFigure::PulseRiseIndex)).nights, 2);
    // Only such nights: counted, and no statistic at all.
    const PeriodSummary empty = SummarizeNights(std::vector<NightRow>{Night("2026-12-09", 0, 0)});
    EXPECT_EQ(empty.nights, 1);
    EXPECT_EQ(Odi3(empty).nights, 0);
    EXPECT_NE(PeriodSummaryJson(empty).find("\"odi3\":{\"nights\":0,\"median\":null"), std::string::npos);
    const std::string text = PeriodSummaryText(empty);
    const auto at = text.find("\nODI 3 %");
    ASSERT_NE(at, std::string::npos) << text;
    std::istringstream line(text.substr(at + 1, text.find('\n', at + 1) - at - 1));
    std::vector<std::string> words{std::istream_iterator<std::string>(line), {}};
    EXPECT_EQ(words, (std::vector<std::string>{"ODI", "3", "%", "0", "–", "–", "–", "–"})) << text;
}

// The terminal, the window and the printed page write a summary's numbers by
// one rule: one decimal, and no sign on a change that rounds to nothing.
TEST(PeriodSummary, OneRuleForTheNumbersWhereverTheyAreShown) {
    const struct {
        std::optional<double> change;
        const char* text;
    } changes[] = {{std::nullopt, "–"}, {-0.04, "0.0"}, {0.049, "0.0"},
                   {-0.06, "-0.1"},     {1.26, "+1.3"}, {-19, "-19.0"}};
    for (const auto& c : changes) EXPECT_EQ(SummaryChangeText(c.change), c.text);
    EXPECT_EQ(SummaryShareText(12.5), "12.5%");
    EXPECT_EQ(SummaryShareText(100), "100.0%");
    // One night of eight at or past ODI 5: 12.5 % in the terminal's table too.
    const PeriodSummary s = SummarizeNights(Nights({6, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_NE(PeriodSummaryText(s).find("12.5% (1 of 8)"), std::string::npos) << PeriodSummaryText(s);
    // Medians a hair apart: no change, not "-0.0".
    const BeforeAfterSummary split = SummarizeBeforeAfter(Nights({2.02, 2.0}), "2026-12-11");
    EXPECT_NE(BeforeAfterSummaryText(split).find(" 0.0\n"), std::string::npos) << BeforeAfterSummaryText(split);
    EXPECT_EQ(BeforeAfterSummaryText(split).find("-0.0"), std::string::npos);
}

TEST(PeriodSummary, SplitAtADateBeforeAndOnOrAfter) {
    const std::vector<NightRow> rows = Nights({30, 20, 10, 6, 2});  // 10th to 14th
    const BeforeAfterSummary both = SummarizeBeforeAfter(rows, "2026-12-12");
    EXPECT_EQ(both.before.nights, 2);
    EXPECT_EQ(both.before.last, "2026-12-11");
    EXPECT_EQ(both.after.nights, 3);  // the split's own date is after
    EXPECT_EQ(both.after.first, "2026-12-12");
    EXPECT_DOUBLE_EQ(Odi3(both.before).median, 25);
    EXPECT_DOUBLE_EQ(Odi3(both.after).median, 6);
    EXPECT_EQ(both.MedianChange(NightFigure::Odi3), -19.0);
    EXPECT_EQ(Odi3(both.before).shares[1].nights, 2);  // >= 15
    EXPECT_EQ(Odi3(both.after).shares[1].nights, 0);
    EXPECT_NE(BeforeAfterSummaryJson(both).find("\"median_change\":{\"odi3\":-19.00,"), std::string::npos);
    EXPECT_NE(BeforeAfterSummaryText(both).find("-19.0"), std::string::npos);

    // Every night on one side: the other is empty and nothing changes.
    for (const char* date : {"2026-12-10", "2026-12-15"}) {
        const BeforeAfterSummary one = SummarizeBeforeAfter(rows, date);
        const bool allAfter = std::string(date) == "2026-12-10";
        EXPECT_EQ(one.before.nights, allAfter ? 0 : 5) << date;
        EXPECT_EQ(one.after.nights, allAfter ? 5 : 0) << date;
        EXPECT_FALSE(one.MedianChange(NightFigure::Odi3)) << date;
        const std::string json = BeforeAfterSummaryJson(one);
        EXPECT_NE(json.find("\"median_change\":{\"odi3\":null,"), std::string::npos) << json;
        EXPECT_NE(json.find(allAfter ? "\"before\":{\"nights\":0,\"counted_nights\":0,\"first\":null"
                                     : "\"after\":{\"nights\":0,\"counted_nights\":0,\"first\":null"),
                  std::string::npos)
            << json;
    }
}

// A period's AHI and hypoxic burden pool its scored nights as one long
// night: all their events over all their hours, all their %·min over all the
// burden's hours; an unscored night counts for neither.
TEST(PeriodSummary, AScoredPeriodPoolsItsEventsOverItsHours) {
    std::vector<NightRow> rows = Nights({1, 1, 1, 1});
    rows[0].clinicalColumns = Scored(3, 5, 2.0, {}, 2.0, 10.0);  // AHI 4
    rows[1].clinicalColumns = Scored(10, 14, 4.0, {}, 3.0, 40.0);  // AHI 6
    rows[2].clinicalColumns = ClinicalColumns();                    // unscored
    rows[3].clinicalColumns = Scored(0, 0, 1.0);                    // scored, no event: no burden
    const NightScoredFigures first = ScoredFiguresOf(rows[0]);
    EXPECT_TRUE(first.scored && first.hasBurden);
    EXPECT_EQ(std::tie(first.apneas, first.hypopneas, first.eventsUsed, first.windowStart, first.windowEnd),
              std::make_tuple(3, 5, 3, -12, 38));
    EXPECT_DOUBLE_EQ(first.ahi, 4.0);
    EXPECT_FALSE(ScoredFiguresOf(rows[2]).scored);
    EXPECT_FALSE(HasFigure(NightFigureValue(rows[3], NightFigure::HypoxicBurden)));

    const PeriodSummary s = SummarizeNights(rows);
    EXPECT_EQ(s.scoredNights, 3);
    EXPECT_DOUBLE_EQ(s.Ahi(), 32.0 / 7.0);
    EXPECT_DOUBLE_EQ(s.HypoxicBurden(), (10.0 * 2 + 40.0 * 3) / 5.0);
    const FigureSummary& ahi = s.figures.at(static_cast<int>(NightFigure::Ahi));
    EXPECT_EQ(ahi.nights, 3);
    EXPECT_DOUBLE_EQ(ahi.median, 4.0);
    EXPECT_EQ(ahi.shares.front().nights, 1);  // >= 5
    EXPECT_EQ(s.figures.at(static_cast<int>(NightFigure::HypoxicBurden)).nights, 2);
    EXPECT_EQ(SummaryScoredText(s), "3 scored nights: AHI 4.6/h over 7.0 h, hypoxic burden 28.0 %\u00b7min/h");
    EXPECT_NE(PeriodSummaryJson(s).find("\"scored\":{\"nights\":3,\"apneas\":13,\"hypopneas\":19,\"hours\":7.00,"
                                        "\"ahi\":4.57,\"hypoxic_burden\":28.00,\"burden_hours\":5.00}"),
              std::string::npos)
        << PeriodSummaryJson(s);
    const std::string text = PeriodSummaryText(s);
    const auto pooled = text.find("Hypoxic burden, pooled");
    ASSERT_NE(pooled, std::string::npos) << text;
    EXPECT_TRUE(text.substr(pooled, text.find('\n', pooled) - pooled).ends_with(" 28.0")) << text;
    // Without a scored night: null, and no pooled rows.
    const PeriodSummary unscored = SummarizeNights(std::vector<NightRow>{rows[2]});
    EXPECT_NE(PeriodSummaryJson(unscored).find("\"scored\":null"), std::string::npos);
    EXPECT_EQ(PeriodSummaryText(unscored).find("Scored nights"), std::string::npos);
    EXPECT_EQ(SummaryScoredText(unscored), "");
}

}  // namespace
}  // namespace quenda
