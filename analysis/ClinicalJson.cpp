#include "analysis/ClinicalJson.h"

#include "analysis/ClinicalText.h"
#include "base/StringFormat.h"

#include <string_view>
#include <vector>

namespace quenda {

namespace {

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

// Floats of the clinical summary: two decimals are more than any figure means.
std::string Fixed2(double value) { return Format("%.2f", value); }

class JsonObject {
public:
    JsonObject& Add(std::string_view key, long long value) { return Raw(key, std::to_string(value)); }
    JsonObject& Add(std::string_view key, int value) { return Add(key, static_cast<long long>(value)); }
    JsonObject& Add(std::string_view key, double value) { return Raw(key, Fixed2(value)); }
    JsonObject& Raw(std::string_view key, const std::string& json) {
        text_ += text_.empty() ? "{" : ",";
        text_ += '"';
        text_ += key;
        text_ += "\":";
        text_ += json;
        return *this;
    }
    std::string Close() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

std::string JsonArray(const std::vector<std::string>& items) {
    std::string list = "[";
    for (const std::string& item : items) {
        if (list.size() > 1) list += ',';
        list += item;
    }
    return list + "]";
}

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

}  // namespace

std::string ClinicalJson(const ClinicalSummary& s, std::span<const SampleRecord> samples) {
    std::vector<std::string> bands;
    for (const Spo2Band& b : s.bands) {
        bands.push_back(JsonObject()
                            .Raw("range", Quoted(BandLabel(b)))
                            .Add("minutes", b.minutes)
                            .Add("percent", b.percent)
                            .Close());
    }
    return JsonObject()
        .Add("valid_samples", s.validSamples)
        .Add("valid_hours", s.validHours)
        .Add("odi3", s.odi3)
        .Add("odi4", s.odi4)
        .Add("desat_burden", s.desaturationBurden)
        .Add("t90", s.t90)
        .Add("t88_minutes", s.t88Minutes)
        .Raw("longest_le88", JsonObject()
                                 .Add("seconds", s.longestLe88Seconds)
                                 .Raw("start", TimeJson(samples, s.longestLe88Start))
                                 .Close())
        .Raw("nadir", JsonObject().Add("spo2", s.nadirSpo2).Raw("time", TimeJson(samples, s.nadirIndex)).Close())
        .Raw("spo2", JsonObject().Add("mean", s.spo2Mean).Add("median", s.spo2Median).Close())
        .Raw("pulse", JsonObject()
                          .Add("mean", s.pulseMean)
                          .Add("median", s.pulseMedian)
                          .Add("min", s.pulseMin)
                          .Add("max", s.pulseMax)
                          .Close())
        .Raw("bands", JsonArray(bands))
        .Raw("events3", ClinicalEventsJson(s.events3, samples))
        .Raw("events4", ClinicalEventsJson(s.events4, samples))
        .Close();
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    out += Format("\\u%04x", byte);
                } else {
                    out += c;
                }
        }
    }
    return out + '"';
}

}  // namespace quenda
