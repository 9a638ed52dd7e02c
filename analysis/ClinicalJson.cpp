#include "analysis/ClinicalJson.h"

#include "analysis/ClinicalText.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"

#include <string_view>
#include <vector>

namespace quenda {

namespace {

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

// A sample's time stamp, or null when there is no such sample.
std::string TimeJson(std::span<const SampleRecord> samples, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= samples.size()) return "null";
    return Quoted(FullTimeStamp(samples[static_cast<std::size_t>(index)]));
}

std::string ClinicalEventsJson(const std::vector<ClinicalEvent>& events, std::span<const SampleRecord> samples) {
    std::vector<std::string> items;
    items.reserve(events.size());
    for (const ClinicalEvent& e : events) {
        items.push_back(JsonObject()
                            .Raw("start", TimeJson(samples, e.start))
                            .Add("length", e.length)
                            .Add("baseline", e.baseline)
                            .Add("nadir", e.nadir)
                            .Add("area", e.area)
                            .Close());
    }
    return JsonArray(items);
}

// Mean and SD of one shape figure.
std::string SpreadJson(JsonObject o, const ShapeSpread& spread) {
    return o.Add("mean", spread.mean).Add("sd", spread.sd).Close();
}

// One depth's shape: each event's figures, then the night's. `noneCounted`:
// the night has no ODI, so no class either (null, never "normal").
std::string DepthShapeJson(JsonObject o, const DepthShape& d, const std::vector<ClinicalEvent>& events,
                           std::span<const SampleRecord> samples, bool noneCounted) {
    std::vector<std::string> items;
    items.reserve(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        const EventShape& e = d.events[i];
        items.push_back(JsonObject()
                            .Raw("start", TimeJson(samples, events[i].start))
                            .Add("depth", e.depth)
                            .Add("fall", e.fall)
                            .Add("recovery", e.recovery)
                            .Add("slope", e.slope)
                            .Close());
    }
    const auto at = [&](std::int32_t i) { return i >= 0 ? &events[static_cast<std::size_t>(i)] : nullptr; };
    const ClinicalEvent* deepest = at(d.deepest);
    const ClinicalEvent* longest = at(d.longest);
    return o.Raw("events", JsonArray(items))
        .Raw("depth", SpreadJson(o.Nested("depth"), d.depth))
        .Raw("length", SpreadJson(o.Nested("length"), d.length))
        .Raw("area", SpreadJson(o.Nested("area"), d.area))
        .Raw("fall", SpreadJson(o.Nested("fall"), d.fall))
        .Raw("recovery", SpreadJson(o.Nested("recovery"), d.recovery))
        .Raw("slope", SpreadJson(o.Nested("slope"), d.slope))
        .Raw("deepest", o.Nested("deepest")
                            .Add("depth", deepest ? d.events[static_cast<std::size_t>(d.deepest)].depth : kNoFigure)
                            .Figure("start", TimeJson(samples, deepest ? deepest->start : -1))
                            .Close())
        .Raw("longest", o.Nested("longest")
                            .Add("seconds", longest ? longest->length : 0)
                            .Figure("start", TimeJson(samples, longest ? longest->start : -1))
                            .Close())
        .Add("time_in_desaturation", d.timeInDesaturation)
        .Figure("odi_class", noneCounted ? "null" : Quoted(std::string(OdiClassName(d.odiClass))))
        .Close();
}

std::string PulseRisesJson(JsonObject o, const PulseRiseFigures& p, std::span<const SampleRecord> samples) {
    std::vector<std::string> rises;
    rises.reserve(p.rises.size());
    for (const PulseRise& r : p.rises) {
        rises.push_back(JsonObject()
                            .Raw("start", TimeJson(samples, r.start))
                            .Add("length", r.length)
                            .Add("baseline", r.baseline)
                            .Add("peak", r.peak)
                            .Close());
    }
    return o.Add("count", static_cast<long long>(p.rises.size()))
        .Add("index", p.index)
        .Add("coupled_share", p.coupledShare)
        .Add("answered", p.answered)
        .Add("uncoupled", p.uncoupled)
        .Add("uncoupled_index", p.uncoupledIndex)
        .Raw("rises", JsonArray(rises))
        .Close();
}

// Flat, with the names the research toolboxes give these measures.
std::string BiomarkersJson(JsonObject o, const Biomarkers& b) {
    return o.Significant("mean", b.mean)
        .Significant("median", b.median)
        .Add("min", b.min)
        .Significant("sd", b.sd)
        .Add("range", b.range)
        .Significant("p1", b.p1)
        .Significant("m", b.m)
        .Add("mean_crossings", static_cast<long long>(b.meanCrossings))
        .Significant("delta_index", b.deltaIndex)
        .Significant("kurtosis", b.kurtosis)
        .Significant("skewness", b.skewness)
        .Significant("mad", b.mad)
        .Significant("apen", b.apen)
        .Significant("sampen", b.sampen)
        .Add("lz_phrases", static_cast<long long>(b.lzPhrases))
        .Significant("lz_normalised", b.lzNormalised)
        .Significant("ctm", b.ctm)
        .Significant("dfa_f20", b.dfaF20)
        .Significant("dfa_alpha", b.dfaAlpha)
        .Significant("prsa_capacity", b.prsaCapacity)
        .Significant("prsa_amplitude", b.prsaAmplitude)
        .Significant("prsa_slope", b.prsaSlope)
        .Significant("prsa_slope_before", b.prsaSlopeBefore)
        .Significant("prsa_slope_after", b.prsaSlopeAfter)
        .Significant("prsa_ac2", b.prsaAc2)
        .Significant("psd_total", b.psdTotal)
        .Significant("psd_band", b.psdBand)
        .Significant("psd_ratio", b.psdRatio)
        .Significant("psd_peak", b.psdPeak)
        .Close();
}

std::string HoursBasis(bool sleep) { return sleep ? "\"sleep\"" : "\"recording\""; }

// The scored study's counts, null for a night without scoring.
std::string ScoredEventsJson(JsonObject o, const ScoredFigures& f) {
    if (!f.scored) return "null";
    return o.Add("apneas", f.apneas)
        .Add("hypopneas", f.hypopneas)
        .Add("hours", f.hours)
        .Figure("hours_basis", HoursBasis(f.sleepBasis))
        .Add("ahi", f.ahi)
        .Close();
}

// The hypoxic burden, null for a night without a respiratory event.
std::string HypoxicBurdenJson(JsonObject o, const ScoredFigures& f) {
    if (!f.hasBurden) return "null";
    const HypoxicBurden& b = f.burden;
    return o.Add("value", b.value)
        .Add("events_used", b.eventsUsed)
        .Add("hours", b.hours)
        .Figure("hours_basis", HoursBasis(b.sleepBasis))
        .Pair("window", b.window.start, b.window.end)
        .Close();
}

}  // namespace

void ClinicalColumns::Add(std::string_view name, std::string_view value) {
    // No figure of ours holds a tab or a line break; a line is one figure
    // whatever comes.
    const auto append = [this](std::string_view text) {
        for (const char c : text) text_ += c == '\t' || c == '\n' ? ' ' : c;
    };
    append(name);
    text_ += '\t';
    append(value);
    text_ += '\n';
}

std::optional<std::string_view> ClinicalColumns::Find(std::string_view name) const {
    const std::string_view text = text_;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) break;
        if (text.substr(at, name.size()) == name && text.substr(at + name.size(), 1) == "\t")
            return text.substr(at + name.size() + 1, end - at - name.size() - 1);
        at = end + 1;
    }
    return std::nullopt;
}

JsonObject JsonObject::Nested(std::string_view key) const {
    return JsonObject(columns_, prefix_ + std::string(key) + "_");
}

void JsonObject::Column(std::string_view key, std::string_view json) {
    if (!columns_) return;
    if (json == "null") json = {};
    if (json.size() >= 2 && json.front() == '"' && json.back() == '"') json = json.substr(1, json.size() - 2);
    columns_->Add(prefix_ + std::string(key), json);
}

JsonObject& JsonObject::Figure(std::string_view key, const std::string& json) {
    Column(key, json);
    return Raw(key, json);
}

JsonObject& JsonObject::Pair(std::string_view key, long long first, long long second) {
    Column(std::string(key) + "_start", std::to_string(first));
    Column(std::string(key) + "_end", std::to_string(second));
    return Raw(key, JsonArray({std::to_string(first), std::to_string(second)}));
}

// Floats of the clinical summary: two decimals are more than any figure means.
JsonObject& JsonObject::Add(std::string_view key, double value) {
    return Figure(key, HasFigure(value) ? Format("%.2f", value) : "null");
}

// Entropies, shares and spectral densities run small: six significant digits.
JsonObject& JsonObject::Significant(std::string_view key, double value) {
    return Figure(key, HasFigure(value) ? Format("%.6g", value) : "null");
}

JsonObject& JsonObject::Raw(std::string_view key, const std::string& json) {
    text_ += text_.empty() ? "{" : ",";
    text_ += '"';
    text_ += key;
    text_ += "\":";
    text_ += json;
    return *this;
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string list = "[";
    for (const std::string& item : items) {
        if (list.size() > 1) list += ',';
        list += item;
    }
    return list + "]";
}

std::string ClinicalJson(const NightAnalysis& night, std::span<const SampleRecord> samples, ClinicalColumns* columns) {
    const ClinicalSummary& s = night.clinical;
    std::vector<std::string> excluded;
    for (const SampleSpan& span : s.excluded)
        excluded.push_back(JsonObject().Add("start", span.first).Add("end", span.last).Close());
    std::vector<std::string> bands;
    for (const Spo2Band& b : s.bands) {
        bands.push_back(JsonObject()
                            .Raw("range", Quoted(BandLabel(b)))
                            .Add("minutes", b.minutes)
                            .Add("percent", b.percent)
                            .Close());
    }
    // A night with nothing counted (every second excluded or invalid) has no
    // figures: null, never 0.
    const bool none = s.countedSamples == 0;
    const auto figure = [none](double value) { return none ? kNoFigure : value; };
    const auto count = [none](std::int32_t value) { return none ? std::string("null") : std::to_string(value); };
    JsonObject o(columns);
    JsonObject shape = o.Nested("shape");
    return o.Add("valid_samples", s.validSamples)
        .Add("valid_hours", s.validHours)
        .Add("odi3", figure(s.odi3))
        .Add("odi4", figure(s.odi4))
        .Add("desat_burden", figure(s.desaturationBurden))
        .Add("t90", figure(s.t90))
        .Add("t88_minutes", figure(s.t88Minutes))
        .Raw("longest_le88", o.Nested("longest_le88")
                                 .Figure("seconds", count(s.longestLe88Seconds))
                                 .Figure("start", TimeJson(samples, s.longestLe88Start))
                                 .Close())
        .Raw("nadir", o.Nested("nadir")
                          .Figure("spo2", count(s.nadirSpo2))
                          .Figure("time", TimeJson(samples, s.nadirIndex))
                          .Close())
        .Raw("spo2", o.Nested("spo2").Add("mean", figure(s.spo2Mean)).Add("median", figure(s.spo2Median)).Close())
        .Raw("pulse", o.Nested("pulse")
                          .Add("mean", figure(s.pulseMean))
                          .Add("median", figure(s.pulseMedian))
                          .Figure("min", count(s.pulseMin))
                          .Figure("max", count(s.pulseMax))
                          .Close())
        .Raw("bands", JsonArray(bands))
        .Raw("events3", ClinicalEventsJson(s.events3, samples))
        .Raw("events4", ClinicalEventsJson(s.events4, samples))
        .Figure("profile", Quoted(std::string(ProfileName(s.profile))))
        .Add("counted_samples", s.countedSamples)
        .Add("coverage", s.coverage)
        .Add("margin_seconds", s.marginSamples)
        .Add("artefact_seconds", s.artefactSamples)
        .Add("excluded_seconds", s.excludedSamples)
        .Raw("excluded", JsonArray(excluded))
        .Raw("shape",
             shape.Raw("depth3", DepthShapeJson(shape.Nested("depth3"), night.shape.depth3, s.events3, samples, none))
                 .Raw("depth4", DepthShapeJson(shape.Nested("depth4"), night.shape.depth4, s.events4, samples, none))
                 .Close())
        .Raw("pulse_rises", PulseRisesJson(o.Nested("pulse_rises"), night.pulseRises, samples))
        .Raw("biomarkers", BiomarkersJson(o.Nested("biomarkers"), night.biomarkers))
        .Raw("scored_events", ScoredEventsJson(o.Nested("scored_events"), night.scored))
        .Raw("hypoxic_burden", HypoxicBurdenJson(o.Nested("hypoxic_burden"), night.scored))
        .Close();
}

std::string JsonString(std::string_view raw) {
    // Always UTF-8, whatever an older file or library held; DEL and the C1
    // controls escaped too, so a listing read on a terminal cannot steer it.
    const std::string text = ValidUtf8(raw);
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += Format("\\u%04x", byte);
                } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
                    out += Format("\\u%04x", static_cast<unsigned char>(text[++i]));  // U+0080..U+009F
                } else {
                    out += c;
                }
        }
    }
    return out + '"';
}

}  // namespace quenda
