#include "nights/PeriodSummary.h"

#include "analysis/ClinicalJson.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"

#include <algorithm>
#include <cmath>

namespace quenda {

namespace {

constexpr const char* kNothing = kNoSummaryFigure;

std::string Fixed1(double value) { return Format("%.1f", value); }

// "5", "2.5": a cut-off as written by hand.
std::string Plain(double value) { return Format("%g", value); }

std::string OrNothing(const std::string& text) { return text.empty() ? kNothing : text; }

// Rows of cells as columns two spaces apart, the first left-aligned and the
// rest right-aligned, by the columns a cell takes on a terminal (UTF-8).
std::string Table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(widths[c] - DisplayWidth(row[c]), ' ');
            line += c == 0 ? row[c] + pad : "  " + pad + row[c];
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

// One decimal, or "" for none.
std::string PooledText(double value) { return HasFigure(value) ? Fixed1(value) : std::string(); }

// The overview rows of one or two periods, side by side.
std::vector<std::vector<std::string>> Overview(const std::vector<const PeriodSummary*>& periods) {
    std::vector<std::vector<std::string>> rows(6);
    rows[0] = {UiText("Nights")};
    rows[1] = {UiText("With counted samples")};
    rows[2] = {UiText("First night")};
    rows[3] = {UiText("Last night")};
    rows[4] = {UiText("Recorded hours")};
    rows[5] = {UiText("Counted hours")};
    // The scored study's pooled figures where any period has a scored night.
    const bool scored = std::any_of(periods.begin(), periods.end(), [](const PeriodSummary* p) { return p->scoredNights > 0; });
    if (scored) {
        rows.push_back({UiText("Scored nights")});
        rows.push_back({UiText("AHI, scored hours pooled")});
        rows.push_back({UiText("Hypoxic burden, pooled")});
    }
    for (const PeriodSummary* p : periods) {
        if (scored) {
            rows[6].push_back(std::to_string(p->scoredNights));
            rows[7].push_back(OrNothing(PooledText(p->Ahi())));
            rows[8].push_back(OrNothing(PooledText(p->HypoxicBurden())));
        }
        rows[0].push_back(std::to_string(p->nights));
        rows[1].push_back(std::to_string(p->countedNights));
        rows[2].push_back(OrNothing(p->first));
        rows[3].push_back(OrNothing(p->last));
        rows[4].push_back(SummaryHoursText(p->recordedSeconds));
        rows[5].push_back(SummaryHoursText(p->countedSeconds));
    }
    return rows;
}

std::string CutOffLabel(const FigureSummary& f, const CutOffShare& s) {
    return std::string(NightFigureTitle(f.figure)) + " " + s.cutOff.Text();
}

std::string Share(const FigureSummary& f, const CutOffShare& s) {
    return f.nights ? SummaryShareText(s.percent) + " (" + std::to_string(s.nights) + " " + UiText("of") + " " +
                          std::to_string(f.nights) + ")"
                    : kNothing;
}

// null, or the number with two decimals.
std::string JsonNumber(bool known, double value) { return known ? Format("%.2f", value) : "null"; }

std::string JsonText(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

std::string FigureJson(const FigureSummary& f) {
    const bool known = f.nights > 0;
    std::vector<std::string> shares;
    for (const CutOffShare& s : f.shares) {
        shares.push_back(JsonObject()
                             .Raw(s.cutOff.below ? "below" : "at_or_above", Plain(s.cutOff.value))
                             .Add("nights", s.nights)
                             .Raw("percent", JsonNumber(known, s.percent))
                             .Close());
    }
    return JsonObject()
        .Add("nights", f.nights)
        .Raw("median", JsonNumber(known, f.median))
        .Raw("q1", JsonNumber(known, f.q1))
        .Raw("q3", JsonNumber(known, f.q3))
        .Raw("iqr", JsonNumber(known, f.Iqr()))
        .Raw("min", JsonNumber(known, f.minimum))
        .Raw("max", JsonNumber(known, f.maximum))
        .Raw("cut_offs", JsonArray(shares))
        .Close();
}

// The pooled scored figures, null for a period without a scored night.
std::string ScoredJson(const PeriodSummary& p) {
    if (p.scoredNights == 0) return "null";
    return JsonObject()
        .Add("nights", p.scoredNights)
        .Add("apneas", p.apneas)
        .Add("hypopneas", p.hypopneas)
        .Add("hours", p.scoredHours)
        .Add("ahi", p.Ahi())
        .Add("hypoxic_burden", p.HypoxicBurden())
        .Add("burden_hours", p.burdenHours)
        .Close();
}

}  // namespace

std::string SummaryMedianText(const FigureSummary& f) { return f.nights ? Fixed1(f.median) : kNothing; }

std::string SummaryQuartilesText(const FigureSummary& f) {
    return f.nights ? Fixed1(f.q1) + "–" + Fixed1(f.q3) : kNothing;
}

std::string SummaryRangeText(const FigureSummary& f) {
    return f.nights ? Fixed1(f.minimum) + "–" + Fixed1(f.maximum) : kNothing;
}

std::string SummaryShareText(double percent) { return Fixed1(percent) + "%"; }

std::string SummaryHoursText(std::int64_t seconds) { return Fixed1(static_cast<double>(seconds) / 3600.0); }

std::string SummaryChangeText(std::optional<double> change) {
    if (!change) return kNothing;
    // What prints as 0.0 is no change, whichever side of zero it lies.
    if (std::fabs(*change) < 0.05) return "0.0";
    return Format("%+.1f", *change);
}

double PeriodSummary::Ahi() const {
    return scoredHours > 0 ? ahiEvents / scoredHours : kNoFigure;
}

double PeriodSummary::HypoxicBurden() const { return burdenHours > 0 ? burdenMinutes / burdenHours : kNoFigure; }

std::string SummaryScoredText(const PeriodSummary& p) {
    if (p.scoredNights == 0) return {};
    std::string text = std::to_string(p.scoredNights) + " " + UiText(p.scoredNights == 1 ? "scored night" : "scored nights") +
                       ": " + UiText("AHI") + " " + OrNothing(PooledText(p.Ahi())) + "/h " + UiText("over") + " " +
                       Fixed1(p.scoredHours) + " h";
    if (HasFigure(p.HypoxicBurden()))
        text += ", " + UiText("hypoxic burden") + " " + Fixed1(p.HypoxicBurden()) + " %\u00b7min/h";
    return text;
}

std::string SummarySpanText(const PeriodSummary& p) {
    if (p.nights == 0) return UiText("no nights");
    return std::to_string(p.nights) + " " + UiText(p.nights == 1 ? "night" : "nights") + ", " + p.first +
           (p.last != p.first ? " " + UiText("to") + " " + p.last : "");
}

double Quantile(std::span<const double> sorted, double p) {
    if (sorted.empty()) return 0;
    const double h = static_cast<double>(sorted.size() - 1) * std::clamp(p, 0.0, 1.0);
    const auto low = static_cast<std::size_t>(std::floor(h));
    if (low + 1 >= sorted.size()) return sorted.back();
    return sorted[low] + (h - static_cast<double>(low)) * (sorted[low + 1] - sorted[low]);
}

std::string FigureCutOff::Text() const { return (below ? "< " : "≥ ") + Plain(value); }

std::vector<FigureCutOff> SummaryCutOffs(NightFigure figure) {
    if (figure == NightFigure::Nadir) return {{85, true}, {80, true}};
    std::vector<FigureCutOff> cutOffs;
    for (const double value : NightFigureCutOffs(figure)) cutOffs.push_back({value, false});
    return cutOffs;
}

std::int64_t CountedSeconds(const NightRow& row) {
    return std::llround(row.figures.coverage * static_cast<double>(row.samples) / 100.0);
}

void PeriodSummaryBuilder::Add(const NightRow& row) {
    PeriodSummary& t = totals_;
    ++t.nights;
    t.recordedSeconds += row.samples;
    if (t.first.empty() || row.date < t.first) t.first = row.date;
    if (t.last.empty() || row.date > t.last) t.last = row.date;
    const std::int64_t counted = CountedSeconds(row);
    if (counted <= 0) return;
    ++t.countedNights;
    t.countedSeconds += counted;
    if (const NightScoredFigures scored = ScoredFiguresOf(row); scored.scored) {
        ++t.scoredNights;
        t.apneas += scored.apneas;
        t.hypopneas += scored.hypopneas;
        if (HasFigure(scored.ahi)) {
            t.ahiEvents += scored.ahi * scored.hours;
            t.scoredHours += scored.hours;
        }
        if (scored.hasBurden && HasFigure(scored.burden)) {
            t.burdenMinutes += scored.burden * scored.burdenHours;
            t.burdenHours += scored.burdenHours;
        }
    }
    for (int f = 0; f < kNightFigureCount; ++f) {
        // A figure the night has none of (no desaturation to answer) is left out.
        const double value = NightFigureValue(row, static_cast<NightFigure>(f));
        if (HasFigure(value)) values_[static_cast<std::size_t>(f)].push_back(value);
    }
}

PeriodSummary PeriodSummaryBuilder::Finish() const {
    PeriodSummary summary = totals_;
    summary.figures.clear();
    for (int f = 0; f < kNightFigureCount; ++f) {
        FigureSummary s;
        s.figure = static_cast<NightFigure>(f);
        std::vector<double> values = values_[static_cast<std::size_t>(f)];
        std::sort(values.begin(), values.end());
        s.nights = static_cast<int>(values.size());
        if (!values.empty()) {
            s.median = Quantile(values, 0.5);
            s.q1 = Quantile(values, 0.25);
            s.q3 = Quantile(values, 0.75);
            s.minimum = values.front();
            s.maximum = values.back();
        }
        for (const FigureCutOff& cutOff : SummaryCutOffs(s.figure)) {
            CutOffShare share{cutOff, 0, 0};
            for (const double v : values) share.nights += cutOff.Past(v) ? 1 : 0;
            if (s.nights > 0) share.percent = 100.0 * share.nights / s.nights;
            s.shares.push_back(share);
        }
        summary.figures.push_back(std::move(s));
    }
    return summary;
}

PeriodSummary SummarizeNights(std::span<const NightRow> rows) {
    PeriodSummaryBuilder builder;
    for (const NightRow& row : rows) builder.Add(row);
    return builder.Finish();
}

std::optional<double> BeforeAfterSummary::MedianChange(NightFigure figure) const {
    const auto f = static_cast<std::size_t>(figure);
    if (f >= before.figures.size() || f >= after.figures.size()) return std::nullopt;
    if (before.figures[f].nights == 0 || after.figures[f].nights == 0) return std::nullopt;
    return after.figures[f].median - before.figures[f].median;
}

BeforeAfterSummary SummarizeBeforeAfter(std::span<const NightRow> rows, const std::string& date) {
    BeforeAfterSummaryBuilder builder(date);
    for (const NightRow& row : rows) builder.Add(row);
    return builder.Finish();
}

std::string PeriodSummaryText(const PeriodSummary& p) {
    std::string out = Table(Overview({&p}));
    std::vector<std::vector<std::string>> figures{
        {UiText("Figure"), UiText("Nights"), UiText("Median"), "Q1–Q3", "IQR", UiText("Min–Max")}};
    std::vector<std::vector<std::string>> cutOffs{{UiText("At or past a cut-off"), UiText("Share of nights")}};
    for (const FigureSummary& f : p.figures) {
        figures.push_back({NightFigureTitle(f.figure), std::to_string(f.nights), SummaryMedianText(f),
                           SummaryQuartilesText(f), f.nights ? Fixed1(f.Iqr()) : kNothing, SummaryRangeText(f)});
        for (const CutOffShare& s : f.shares) cutOffs.push_back({CutOffLabel(f, s), Share(f, s)});
    }
    return out + "\n" + Table(figures) + "\n" + Table(cutOffs);
}

std::string BeforeAfterSummaryText(const BeforeAfterSummary& s) {
    const std::string before = UiText("Before") + " " + s.date;
    const std::string after = UiText("From") + " " + s.date;
    auto overview = Overview({&s.before, &s.after});
    overview.insert(overview.begin(), {"", before, after});
    std::vector<std::vector<std::string>> figures{{UiText("Figure"), UiText("Median before"), UiText("Q1–Q3 before"),
                                                   UiText("Median after"), UiText("Q1–Q3 after"),
                                                   UiText("Change of median")}};
    std::vector<std::vector<std::string>> cutOffs{
        {UiText("At or past a cut-off"), before, after, UiText("Change (points)")}};
    for (std::size_t i = 0; i < s.before.figures.size() && i < s.after.figures.size(); ++i) {
        const FigureSummary& b = s.before.figures[i];
        const FigureSummary& a = s.after.figures[i];
        const auto change = s.MedianChange(b.figure);
        figures.push_back({NightFigureTitle(b.figure), SummaryMedianText(b), SummaryQuartilesText(b),
                           SummaryMedianText(a), SummaryQuartilesText(a), SummaryChangeText(change)});
        for (std::size_t c = 0; c < b.shares.size() && c < a.shares.size(); ++c) {
            const bool both = b.nights > 0 && a.nights > 0;
            cutOffs.push_back(
                {CutOffLabel(b, b.shares[c]), Share(b, b.shares[c]), Share(a, a.shares[c]),
                 SummaryChangeText(both ? std::optional(a.shares[c].percent - b.shares[c].percent) : std::nullopt)});
        }
    }
    return Table(overview) + "\n" + Table(figures) + "\n" + Table(cutOffs);
}

std::string PeriodSummaryJson(const PeriodSummary& p) {
    JsonObject figures;
    for (const FigureSummary& f : p.figures) figures.Raw(NightFigureName(f.figure), FigureJson(f));
    return JsonObject()
               .Add("nights", p.nights)
               .Add("counted_nights", p.countedNights)
               .Raw("first", JsonText(p.first))
               .Raw("last", JsonText(p.last))
               .Add("recorded_hours", p.RecordedHours())
               .Add("counted_hours", p.CountedHours())
               .Raw("scored", ScoredJson(p))
               .Raw("figures", figures.Close())
               .Close() +
           "\n";
}

std::string BeforeAfterSummaryJson(const BeforeAfterSummary& s) {
    const auto unended = [](std::string json) {
        json.pop_back();  // the newline
        return json;
    };
    JsonObject change;
    for (const FigureSummary& f : s.before.figures) {
        const auto c = s.MedianChange(f.figure);
        change.Raw(NightFigureName(f.figure), JsonNumber(c.has_value(), c.value_or(0)));
    }
    return JsonObject()
               .Raw("split", JsonString(s.date))
               .Raw("before", unended(PeriodSummaryJson(s.before)))
               .Raw("after", unended(PeriodSummaryJson(s.after)))
               .Raw("median_change", change.Close())
               .Close() +
           "\n";
}

}  // namespace quenda

namespace quenda {

void IdSummaryBuilder::Add(const NightRow& row) {
    Sides& sides = ids_.try_emplace(row.id, Sides{{}, BeforeAfterSummaryBuilder(date_)}).first->second;
    sides.period.Add(row);
    if (!date_.empty()) sides.beforeAfter.Add(row);
}

std::vector<IdSummary> IdSummaryBuilder::Finish() const {
    std::vector<IdSummary> out;
    for (const auto& [id, sides] : ids_) {
        IdSummary s{id, sides.period.Finish(), std::nullopt};
        if (!date_.empty()) s.beforeAfter = sides.beforeAfter.Finish();
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<IdSummary> SummarizeById(std::span<const NightRow> rows, const std::string& dividingDate) {
    IdSummaryBuilder builder(dividingDate);
    for (const NightRow& row : rows) builder.Add(row);
    return builder.Finish();
}

std::string IdSummaryJson(const IdSummary& s) {
    const std::string json = s.beforeAfter ? BeforeAfterSummaryJson(*s.beforeAfter) : PeriodSummaryJson(s.period);
    return "{\"id\":" + std::to_string(s.id) + "," + json.substr(1);
}

}  // namespace quenda
