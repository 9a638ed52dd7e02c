#pragma once

#include "nights/Night.h"
#include "nights/NightFigure.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// Several nights at a glance: how many, how long, and how each figure of the
// list (NightFigure: every figure there is, so one added there is summarised
// too) spread over them. One night of oximetry varies a lot from the next, so
// a period is read by its median and quartiles rather than by any one night.
//
// A night without a counted sample (all of it excluded, or nothing valid)
// has figures of 0 that measure nothing: it counts among the nights and its
// recorded time among the recorded hours, but it is left out of every figure's
// statistics and shares.

// The quantile `p` (0..1) of `sorted` (ascending, not empty) by linear
// interpolation between closest ranks, the rule of R's and NumPy's defaults
// and of spreadsheets' QUARTILE.INC: at h = (n - 1) p, x[floor h] +
// (h - floor h) (x[floor h + 1] - x[floor h]). The median of an even count is
// the mean of the two middle values; one value is every quantile.
double Quantile(std::span<const double> sorted, double p);

// A clinical cut-off nights are counted against. A night is at or past it
// when its value is at or above `value`, or for a figure where low is bad (the
// nadir) when it is below `value`.
struct FigureCutOff {
    double value = 0;
    bool below = false;
    bool Past(double figure) const { return below ? figure < value : figure >= value; }
    std::string Text() const;  // "≥ 5", "< 85"
    bool operator==(const FigureCutOff&) const = default;
};
// ODI 3 % and 4 %: 5, 15 and 30 per hour (mild, moderate, severe); T90: 5, 10
// and 25 % of the night; T88: 5 minutes (the chart's reference lines); nadir:
// below 85 % and below 80 % (the SpO2 bands' lower edges). None for the rest.
std::vector<FigureCutOff> SummaryCutOffs(NightFigure figure);

struct CutOffShare {
    FigureCutOff cutOff;
    int nights = 0;      // at or past it
    double percent = 0;  // of the nights the figure rests on
};

struct FigureSummary {
    NightFigure figure = NightFigure::Odi3;
    int nights = 0;  // the nights it rests on; without any, no statistic below means anything
    double median = 0;
    double q1 = 0;  // lower quartile
    double q3 = 0;  // upper quartile
    double minimum = 0;
    double maximum = 0;
    std::vector<CutOffShare> shares;  // one per SummaryCutOffs
    double Iqr() const { return q3 - q1; }
};

struct PeriodSummary {
    int nights = 0;
    int countedNights = 0;             // nights with at least one counted sample
    std::int64_t recordedSeconds = 0;  // seconds with a sample, gaps left out
    std::int64_t countedSeconds = 0;   // of those, the ones the figures rest on
    std::string first;                 // the first night's date, "YYYY-MM-DD"; empty without nights
    std::string last;
    std::vector<FigureSummary> figures;  // every NightFigure, in its order
    // The scored nights (with counted samples) pooled as one long night: the
    // period's AHI is all their respiratory events over all the hours they
    // are counted against, and its hypoxic burden all their %·min over all
    // the burden's hours, so that a long night weighs as its hours do. Each
    // is summed as a night's figure times its hours (an AHI times its hours
    // is its events), so that a period of one night says that night's figure.
    int scoredNights = 0;
    int apneas = 0;
    int hypopneas = 0;
    double scoredHours = 0;
    double ahiEvents = 0;      // each night's AHI times its hours
    double burdenMinutes = 0;  // each night's burden times its hours: %·min
    double burdenHours = 0;
    double Ahi() const;            // kNoFigure without scored hours
    double HypoxicBurden() const;  // kNoFigure without the burden's hours
    double RecordedHours() const { return static_cast<double>(recordedSeconds) / 3600.0; }
    double CountedHours() const { return static_cast<double>(countedSeconds) / 3600.0; }
};

// A night's counted seconds, from its coverage (counted of recorded).
std::int64_t CountedSeconds(const NightRow& row);

// Takes nights one at a time, as a listing visits them: a large library is
// summarised without holding its rows (a few numbers per night).
class PeriodSummaryBuilder {
public:
    void Add(const NightRow& row);
    PeriodSummary Finish() const;

private:
    PeriodSummary totals_;
    std::array<std::vector<double>, kNightFigureCount> values_;
};

PeriodSummary SummarizeNights(std::span<const NightRow> rows);

// Before and after a date (a therapy's start): "before" holds the nights
// dated before it, "after" those dated on it or later.
struct BeforeAfterSummary {
    std::string date;
    PeriodSummary before;
    PeriodSummary after;
    // After's median less before's; nothing when either side has no night
    // with counted samples.
    std::optional<double> MedianChange(NightFigure figure) const;
};

class BeforeAfterSummaryBuilder {
public:
    explicit BeforeAfterSummaryBuilder(std::string date) : date_(std::move(date)) {}
    void Add(const NightRow& row) { (row.date < date_ ? before_ : after_).Add(row); }
    BeforeAfterSummary Finish() const { return {date_, before_.Finish(), after_.Finish()}; }

private:
    std::string date_;
    PeriodSummaryBuilder before_;
    PeriodSummaryBuilder after_;
};

BeforeAfterSummary SummarizeBeforeAfter(std::span<const NightRow> rows, const std::string& date);

// The cells of a summary, one rule for the terminal, the window and the
// printed page alike: one decimal, "–" where there is nothing to say.
inline constexpr const char* kNoSummaryFigure = "–";
std::string SummaryMedianText(const FigureSummary& f);     // "16.0"
std::string SummaryQuartilesText(const FigureSummary& f);  // "9.0–23.0"
std::string SummaryRangeText(const FigureSummary& f);      // "2.0–30.0"
std::string SummaryShareText(double percent);              // "12.5%"
std::string SummaryHoursText(std::int64_t seconds);        // "103.2"
// "+1.2", "-3.0", and "0.0" for a change that rounds to nothing either way:
// "-0.0" would read as a fall.
std::string SummaryChangeText(std::optional<double> change);
// "3 scored nights: AHI 12.3/h over 21.5 h, hypoxic burden 45.6 %·min/h", or
// "" for a period without a scored night.
std::string SummaryScoredText(const PeriodSummary& p);
// "8 nights, 2026-12-06 to 2026-12-13", or "no nights".
std::string SummarySpanText(const PeriodSummary& p);

// As `quenda-cli nights summary` prints them: aligned UTF-8 text (one
// decimal; "–" where there is nothing to say), and one JSON object (two
// decimals; null where there is nothing to say), each ending in a newline.
std::string PeriodSummaryText(const PeriodSummary& summary);
std::string BeforeAfterSummaryText(const BeforeAfterSummary& summary);
std::string PeriodSummaryJson(const PeriodSummary& summary);
std::string BeforeAfterSummaryJson(const BeforeAfterSummary& summary);

}  // namespace quenda

namespace quenda {

// A summary is one patient's: nights of several IDs are summarised ID by ID,
// never pooled, or one patient's course of treatment takes in another's
// nights and a share of nights past a cut-off moves with them.
struct IdSummary {
    int id = 0;
    PeriodSummary period;
    std::optional<BeforeAfterSummary> beforeAfter;  // with a date: before it, and from it on
};

class IdSummaryBuilder {
public:
    // `dividingDate`: "YYYY-MM-DD", or empty for none.
    explicit IdSummaryBuilder(std::string dividingDate = {}) : date_(std::move(dividingDate)) {}
    void Add(const NightRow& row);
    // One per ID met, the IDs in ascending order.
    std::vector<IdSummary> Finish() const;

private:
    struct Sides {
        PeriodSummaryBuilder period;
        BeforeAfterSummaryBuilder beforeAfter;
    };
    std::string date_;
    std::map<int, Sides> ids_;
};

std::vector<IdSummary> SummarizeById(std::span<const NightRow> rows, const std::string& dividingDate = {});

// The summary's JSON object (PeriodSummaryJson, BeforeAfterSummaryJson) with the
// ID first: {"id":3,...}.
std::string IdSummaryJson(const IdSummary& summary);

}  // namespace quenda
