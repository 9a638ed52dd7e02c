#include "analysis/ClinicalText.h"

#include "base/StringFormat.h"
#include "base/UiText.h"
#include "store/NightRule.h"

#include <cmath>

namespace quenda {

namespace {

std::string TimeOf(std::span<const SampleRecord> samples, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= samples.size()) return "-";
    return FullTimeStamp(samples[static_cast<std::size_t>(index)]);
}

// " / 5.31 h": the hours a rate divides by, shown beside it, so that a rate is
// never read against the valid time on the row above.
std::string PerHours(double hours) { return Format(" / %.2f h", hours); }

std::string OdiValue(double odi, std::size_t events, double hours) {
    return Format("%.1f /h", odi) + " (" + std::to_string(events) + " " + UiText(events == 1 ? "event" : "events") +
           PerHours(hours) + "), " + UiText(OdiClassName(ClassOfOdi(odi)));
}

// "mean ± SD unit", or "-" without events.
std::string Spread(const ShapeSpread& s, int decimals, const char* unit) {
    if (!HasFigure(s.mean)) return "-";
    return Format("%.*f \u00b1 %.*f ", decimals, s.mean, decimals, s.sd) + unit;
}

std::string PulseRiseValue(const PulseRiseFigures& p, double hours) {
    const std::string coupled = HasFigure(p.coupledShare) ? Format("%.0f %%", p.coupledShare) : "-";
    return Format("%.1f /h (", p.index) + std::to_string(p.rises.size()) + PerHours(hours) + "); " + UiText("coupled") +
           " " + coupled + "; " + UiText("uncoupled") + Format(" %.1f /h", p.uncoupledIndex);
}

}  // namespace

std::string FullTimeStamp(const SampleRecord& r) {
    return Format("20%02d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day, r.hour, r.minute, r.second);
}

std::string Duration(long long seconds) {
    return Format("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string ManyNightsNotice(std::span<const SampleRecord> samples) {
    const std::size_t nights = ApplyNightRule(samples).nights.size();
    if (nights < 2) return {};
    const auto hours = std::llround(static_cast<double>(samples.size()) / 3600.0);
    return std::to_string(nights) + " " + UiText("nights") + ", " + std::to_string(hours) +
           " h: " + UiText("open one night from the Nights window for its figures");
}

std::string ClinicalOdiNote() {
    return UiText(
        "Counted against a 2-minute baseline; the Analysis page's desaturation events follow the recorder's own rule");
}

std::string BandLabel(const Spo2Band& band) {
    if (band.high >= kValidSpo2Max) return "\u2265 " + std::to_string(band.low);
    if (band.low <= kValidSpo2Min) return "< " + std::to_string(band.high + 1);
    return std::to_string(band.low) + "\u2013" + std::to_string(band.high);
}

std::string CoverageLine(const ClinicalSummary& s) {
    const double percent = s.samples > 0 ? 100.0 * s.countedSamples / s.samples : 0.0;
    return UiText("Counted") + " " + Duration(s.countedSamples) + " " + UiText("of") + " " + Duration(s.samples) +
           Format(" (%.1f %%) \u2014 ", percent) + UiText("artefacts") + " " +
           Duration(static_cast<long long>(s.artefactSamples) + s.marginSamples) + ", " + UiText("excluded") + " " +
           Duration(s.excludedSamples);
}

std::string CriteriaLine(ClinicalProfile profile, int averagingSeconds) {
    const auto n = [](int value) { return std::to_string(value); };
    std::string line = profile == ClinicalProfile::Raw ? UiText("Raw profile: every valid sample counts.")
                                                       : UiText("Default profile: artefacts set aside.");
    line += " " + UiText("ODI 3 % / 4 %: falls below the mean SpO2 of the") + " " + n(kBaselineWindow) + " " +
            UiText("s before, lasting") + " " + n(kClinicalMinEventLength) + " " + UiText("s or more.");
    line += " " + UiText("Pulse rise:") + " " + n(kRiseStartBpm) + " " + UiText("bpm or more above the mean of the") +
            " " + n(kRiseBaselineWindow) + " " + UiText("s before (of") + " " + n(kRiseBaselineMinSamples) + " " +
            UiText("counted samples or more), until within") + " " + n(kRiseEndBpm) + " " +
            UiText("bpm of it, lasting") + " " + n(kRiseMinLength) + " " + UiText("s or more; it answers a 3 % fall") +
            " " + UiText("from its start to") + " " + n(kRiseAnswerWindow) + " " + UiText("s after its end.");
    if (profile == ClinicalProfile::Default) {
        line += " " + UiText("Artefacts:") + " " + n(kMarginSamples) + " " + UiText("s beside invalid readings; changes over") +
                " " + n(kArtefactSpo2PerSecond) + " " + UiText("%/s SpO2 or") + " " + n(kArtefactPulsePerSecond) + " " +
                UiText("bpm/s pulse.");
    }
    line += " " + (averagingSeconds > 0 ? UiText("Oximeter averaging") + " " + n(averagingSeconds) + " s."
                                        : UiText("Oximeter averaging not stated."));
    return line;
}

std::vector<ClinicalLine> ClinicalLines(const NightAnalysis& night, std::span<const SampleRecord> samples) {
    const ClinicalSummary& s = night.clinical;
    const std::string longest =
        s.longestLe88Seconds > 0
            ? std::to_string(s.longestLe88Seconds) + " s, " + UiText("from") + " " + TimeOf(samples, s.longestLe88Start)
            : "0 s";
    const std::string nadir =
        s.nadirIndex >= 0 ? std::to_string(s.nadirSpo2) + " %, " + TimeOf(samples, s.nadirIndex) : "-";
    // Every rate divides by the counted hours: its label says so and its value
    // shows them.
    const double hours = s.countedHours;
    std::vector<ClinicalLine> lines = {
        {UiText("Valid time"), Duration(s.validSamples) + Format(" (%.2f h)", s.validHours),
         UiText("Samples with SpO2 50\u2013100 % and pulse 20\u2013250 bpm; the others take part in nothing.")},
        {UiText("ODI 3 % per counted h"), OdiValue(s.odi3, s.events3.size(), hours),
         UiText("Falls of 3 % or more below the baseline (mean SpO2 of the 2 minutes before) for 10 s or more, per "
                "counted hour.")},
        {UiText("ODI 4 % per counted h"), OdiValue(s.odi4, s.events4.size(), hours),
         UiText("Those of the 3 % falls that reach 4 % or more below their baseline.")},
        {UiText("Burden per counted h"),
         Format("%.1f %%\u00b7min/h (%.1f %%\u00b7min", s.desaturationBurden, s.desaturationBurden * hours) +
             PerHours(hours) + ")",
         UiText("Area between baseline and SpO2 over the 3 % falls, per counted hour.")},
        {UiText("T90"), Format("%.1f %%", s.t90), UiText("Share of valid time with SpO2 below 90 %.")},
        {UiText("T88"), Format("%.1f min", s.t88Minutes), UiText("Valid time with SpO2 at or below 88 %.")},
        {UiText("Longest run \u2264 88 %"), longest, UiText("Longest unbroken run of valid samples at or below 88 %.")},
        {UiText("Nadir"), nadir, UiText("Lowest valid SpO2 and when it was first reached.")},
        {UiText("SpO2 mean / median"), Format("%.1f / %.1f %%", s.spo2Mean, s.spo2Median),
         UiText("Over the valid samples.")},
        {UiText("Pulse mean / median"), Format("%.1f / %.1f bpm", s.pulseMean, s.pulseMedian),
         UiText("Over the valid samples.")},
        {UiText("Pulse min / max"), std::to_string(s.pulseMin) + " / " + std::to_string(s.pulseMax) + " bpm",
         UiText("Over the valid samples.")},
        {UiText("Pulse rises per counted h"), PulseRiseValue(night.pulseRises, hours),
         UiText("Rises of 10 bpm or more for 3 s or more, per counted hour; coupled: share of the 3 % falls they "
                "answer.")},
    };
    // Nothing counted (every second excluded or invalid): no figures, never 0 and "normal".
    if (s.countedSamples == 0)
        for (std::size_t i = 1; i < lines.size(); ++i) lines[i].value = "-";
    return lines;
}

std::string ShapeHeading() { return UiText("Shape of the 3 % desaturations"); }

std::vector<ClinicalLine> ShapeLines(const NightAnalysis& night, std::span<const SampleRecord> samples) {
    const DepthShape& d = night.shape.depth3;
    const std::vector<ClinicalEvent>& events = night.clinical.events3;
    const auto at = [&](std::int32_t i) { return events[static_cast<std::size_t>(i)]; };
    const std::string deepest = d.deepest >= 0
                                    ? Format("%.1f %%, ", d.events[static_cast<std::size_t>(d.deepest)].depth) +
                                          TimeOf(samples, at(d.deepest).start)
                                    : "-";
    const std::string longest =
        d.longest >= 0 ? std::to_string(at(d.longest).length) + " s, " + TimeOf(samples, at(d.longest).start) : "-";
    const std::string fall =
        Spread(d.fall, 0, "s") + (HasFigure(d.slope.mean) ? ", " + Spread(d.slope, 2, "%/s") : std::string());
    return {
        {UiText("Depth"), Spread(d.depth, 1, "%"), {}},
        {UiText("Length"), Spread(d.length, 0, "s"), {}},
        {UiText("Area"), Spread(d.area, 0, "%\u00b7s"), {}},
        {UiText("Fall"), fall, {}},
        {UiText("Recovery"), Spread(d.recovery, 0, "s"), {}},
        {UiText("Deepest"), deepest, {}},
        {UiText("Longest"), longest, {}},
        {UiText("In desaturation"), Format("%.1f %% ", d.timeInDesaturation) + UiText("of the counted time"), {}},
    };
}

}  // namespace quenda
