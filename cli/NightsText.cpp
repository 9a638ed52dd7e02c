#include "cli/NightsText.h"

#include "analysis/ClinicalJson.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Terminal.h"
#include "views/NightsLayout.h"

#include <map>
#include <string_view>
#include <utility>

namespace quenda {

namespace {

// The scalars of a JSON object of our own making, nested keys joined by "_"
// ("nadir_spo2"); arrays are left out. Strings come back without quotes.
class Flattener {
public:
    explicit Flattener(std::string_view text) : text_(text) {}
    std::vector<std::pair<std::string, std::string>> Run() {
        Object("");
        return out_;
    }

private:
    void Skip() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n')) ++at_;
    }
    std::string String() {
        std::string s;
        ++at_;  // "
        while (at_ < text_.size() && text_[at_] != '"') {
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
            s += text_[at_++];
        }
        ++at_;
        return s;
    }
    void SkipValue() {
        int depth = 0;
        bool inString = false;
        for (; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (inString) {
                if (c == '\\')
                    ++at_;
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '[' || c == '{') {
                ++depth;
            } else if (c == ']' || c == '}') {
                if (--depth == 0) {
                    ++at_;
                    return;
                }
            }
        }
    }
    void Object(const std::string& prefix) {
        ++at_;  // {
        while (at_ < text_.size()) {
            Skip();
            if (text_[at_] == '}') {
                ++at_;
                return;
            }
            if (text_[at_] == ',') {
                ++at_;
                continue;
            }
            const std::string key = prefix + String();
            Skip();
            ++at_;  // :
            Skip();
            const char c = at_ < text_.size() ? text_[at_] : '}';
            if (c == '{') {
                Object(key + "_");
            } else if (c == '[') {
                // A [start, end] pair of numbers (the burden's window) is two
                // columns; any other list is left to the JSON.
                const std::size_t close = text_.find(']', at_);
                const std::string_view items =
                    close == std::string_view::npos ? std::string_view{} : text_.substr(at_ + 1, close - at_ - 1);
                const std::size_t comma = items.find(',');
                if (!items.empty() && items.find_first_of("[{\"") == std::string_view::npos &&
                    comma != std::string_view::npos && items.find(',', comma + 1) == std::string_view::npos) {
                    out_.emplace_back(key + "_start", std::string(items.substr(0, comma)));
                    out_.emplace_back(key + "_end", std::string(items.substr(comma + 1)));
                    at_ = close + 1;
                } else {
                    SkipValue();
                }
            } else if (c == '"') {
                out_.emplace_back(key, String());
            } else {
                const std::size_t from = at_;
                while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}') ++at_;
                out_.emplace_back(key, std::string(text_.substr(from, at_ - from)));
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::vector<std::pair<std::string, std::string>> out_;
};

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// Outside text as a CSV field: a line break or a tab stays (quoted as
// needed), every other control character is escaped for the terminal.
std::string CsvText(const std::string& text) { return CsvField(TerminalText(text, "\t\n")); }

std::string Duration(std::int64_t seconds) {
    return Format("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
}

constexpr std::size_t kNameColumns = 16;

}  // namespace

// Appends the night's JSON object to `out`: the listing of a large library
// is megabytes of text, built once without temporaries.
void AppendNightJson(std::string& out, const NightRow& r, const std::vector<SampleSpan>* exclusions) {
    const auto key = [&](const char* name) { out += name; };
    key("{\"night\":");
    out += std::to_string(r.night);
    key(",\"id\":");
    out += std::to_string(r.id);
    key(",\"name\":");
    out += JsonString(r.name);
    key(",\"date\":\"");
    out += r.date;
    key("\",\"start\":\"");
    out += r.StartText();
    key("\",\"end\":\"");
    out += r.EndText();
    key("\",\"samples\":");
    out += std::to_string(r.samples);
    key(",\"gap_seconds\":");
    out += std::to_string(r.gapSeconds);
    key(",\"source\":");
    out += JsonString(r.source.string());
    key(",\"first\":");
    out += std::to_string(r.first);
    key(",\"last\":");
    out += std::to_string(r.last);
    key(",\"clinical\":");
    out += r.clinicalJson;
    key(",\"note\":");
    out += JsonString(r.note);
    key(",\"missing\":");
    out += r.missing ? "true" : "false";
    if (exclusions) {
        key(",\"exclusions\":[");
        for (std::size_t i = 0; i < exclusions->size(); ++i) {
            out += i ? ",{\"first\":" : "{\"first\":";
            out += std::to_string((*exclusions)[i].first);
            out += ",\"last\":";
            out += std::to_string((*exclusions)[i].last);
            out += '}';
        }
        out += ']';
    }
    out += '}';
}

std::string NightsCsv(const std::vector<NightRow>& rows) {
    // The columns of today's clinical object: a night whose figures were kept
    // by an older program (its file gone, so never computed again) leaves the
    // ones it lacks empty rather than shifting the rest.
    std::vector<std::string> keys;
    // Of a scored night, so that the scored study's columns are there for the nights that have one.
    const ScoredStudy oneEvent{"", {{0, 10'000, AnnotationKind::Apnea, SleepStage::None, "Apnea"}}};
    for (const auto& [key, value] : Flattener(ComputeNightFigures({}, FigureSettings{}, {}, oneEvent).clinicalJson).Run())
        keys.push_back(key);
    std::string out = "night,id,name,date,start,end,samples,gap_seconds,source,first,last";
    for (const std::string& key : keys) out += "," + key;
    out += ",note,missing\n";
    std::map<std::string, std::string> values;
    for (const NightRow& r : rows) {
        out += std::to_string(r.night) + "," + std::to_string(r.id) + "," + CsvText(r.name) + "," + r.date + "," +
               r.StartText() + "," + r.EndText() + "," + std::to_string(r.samples) + "," +
               std::to_string(r.gapSeconds) + "," + CsvText(r.source.string()) + "," + std::to_string(r.first) + "," +
               std::to_string(r.last);
        values.clear();
        for (auto& [key, value] : Flattener(r.clinicalJson).Run()) values[key] = std::move(value);
        for (const std::string& key : keys) {
            const auto it = values.find(key);
            out += "," + (it == values.end() || it->second == "null" ? std::string() : CsvField(it->second));
        }
        out += "," + CsvText(r.note) + "," + (r.missing ? "1" : "0") + "\n";
    }
    return out;
}

std::string NightsText(const std::vector<NightRow>& rows) {
    if (rows.empty()) return UiText("No nights yet: download from the recorder, or add data files") + "\n";
    // The name is padded and cut by the columns it takes, not its bytes:
    // "Åsa Öberg" keeps the line straight.
    std::string out =
        Format("%6s  %-10s  %3s  %s  %-19s  %8s  %-19s  %8s  %6s  %6s  %5s  %s\n", UiText("Night").c_str(),
               UiText("Date").c_str(), UiText("ID").c_str(), FitToWidth(UiText("Name"), kNameColumns).c_str(),
               UiText("Start").c_str(), UiText("Duration").c_str(), UiText("Counted of recorded").c_str(),
               UiText("Gaps").c_str(), UiText("ODI 3").c_str(), UiText("T90 %").c_str(), UiText("Nadir").c_str(),
               UiText("Note").c_str());
    for (const NightRow& r : rows) {
        std::string note = r.note;
        if (const auto nl = note.find('\n'); nl != std::string::npos) note = note.substr(0, nl) + " ...";
        if (r.missing) note = "(" + UiText("file missing") + ") " + note;
        // A night with nothing counted has no figures: "-", never 0.
        const bool counted = r.figures.AnyCounted();
        out += Format("%6lld  %-10s  %3d  %s  %-19s  %8s  %-19s  %8s  %6s  %6s  %5s  %s\n",
                      static_cast<long long>(r.night), r.date.c_str(), r.id,
                      FitToWidth(TerminalText(r.name), kNameColumns).c_str(), r.StartText().c_str(),
                      Duration(r.DurationSeconds()).c_str(), CountedOfRecorded(r.figures.coverage, r.samples).c_str(),
                      Duration(r.gapSeconds).c_str(), counted ? Format("%.1f", r.figures.odi3).c_str() : "-",
                      counted ? Format("%.1f", r.figures.t90).c_str() : "-",
                      counted ? std::to_string(r.figures.nadirSpo2).c_str() : "-", TerminalText(note).c_str());
    }
    return out;
}

// "Clock shifted +3600 s; Merged from nights 4 and 5", or "" when nothing was done.
std::string ChangesText(NightNumber night, const NightChanges& c) {
    std::vector<std::string> done;
    if (c.clockShift != 0)
        done.push_back(Format("%s %+lld s", UiText("Clock shifted").c_str(), static_cast<long long>(c.clockShift)));
    if (!c.mergedFrom.empty()) {
        std::string nights;
        for (std::size_t i = 0; i < c.mergedFrom.size(); ++i) {
            if (i > 0) nights += i + 1 == c.mergedFrom.size() ? " " + UiText("and") + " " : ", ";
            nights += std::to_string(c.mergedFrom[i]);
        }
        done.push_back(UiText("Merged from nights") + " " + nights);
    }
    if (c.split) {
        done.push_back(
            c.split->first == night
                ? Format("%s %lld %s %lld", UiText("Split into nights").c_str(), static_cast<long long>(c.split->first),
                         UiText("and").c_str(), static_cast<long long>(c.split->second))
                : Format("%s %lld", UiText("Split from night").c_str(), static_cast<long long>(c.split->first)));
    }
    std::string text;
    for (const std::string& d : done) text += (text.empty() ? "" : "; ") + d;
    return text;
}

// The changes as JSON keys: "clock_shift" (seconds), "merged_from" (the
// nights, or null), "split" ([first, second], or null).
void AppendChangesJson(std::string& out, const NightChanges& c) {
    out += ",\"clock_shift\":" + std::to_string(c.clockShift) + ",\"merged_from\":";
    if (c.mergedFrom.empty()) {
        out += "null";
    } else {
        std::vector<std::string> nights;
        for (const NightNumber n : c.mergedFrom) nights.push_back(std::to_string(n));
        out += JsonArray(nights);
    }
    out += ",\"split\":";
    out += c.split ? "[" + std::to_string(c.split->first) + "," + std::to_string(c.split->second) + "]" : "null";
}

std::string ShowText(const NightRow& r, const std::vector<SampleSpan>& exclusions, const NightChanges& changes) {
    std::string out;
    const auto line = [&](const char* label, const std::string& value) {
        out += Format("%-16s %s\n", (UiText(label) + ":").c_str(), value.c_str());
    };
    line("Night", std::to_string(r.night));
    line("Date", r.date);
    line("ID", std::to_string(r.id));
    line("Name", TerminalText(r.name));
    line("Start", r.StartText());
    line("End", r.EndText());
    line("Duration", Duration(r.DurationSeconds()));
    line("Recorded", Duration(r.samples) + " (" + std::to_string(r.samples) + " " + UiText("samples") + ")");
    line("Gaps", Duration(r.gapSeconds));
    line("Source", TerminalText(r.source.string()) + (r.missing ? " (" + UiText("file missing") + ")" : ""));
    line("Samples", std::to_string(r.first) + "-" + std::to_string(r.last));
    const NightFigures& f = r.figures;
    // A night with nothing counted has no figures: "-", never 0.
    const auto figure = [&](const char* label, const std::string& value) { line(label, f.AnyCounted() ? value : "-"); };
    figure("ODI 3 %", Format("%.1f /h", f.odi3));
    figure("ODI 4 %", Format("%.1f /h", f.odi4));
    figure("T90", Format("%.1f %%", f.t90));
    figure("T88", Format("%.1f min", f.t88Minutes));
    figure("Nadir", Format("%d %%", f.nadirSpo2));
    figure("Mean SpO2", Format("%.1f %%", f.spo2Mean));
    figure("Mean pulse", Format("%.1f bpm", f.pulseMean));
    figure("Burden", Format("%.1f %%\u00b7min/h", f.desaturationBurden));  // as the clinical page writes it
    std::string spans;
    for (const SampleSpan& s : exclusions)
        spans += (spans.empty() ? "" : ", ") + std::to_string(s.first) + "-" + std::to_string(s.last);
    line("Excluded", spans.empty() ? UiText("(none)") : spans);
    if (const std::string done = ChangesText(r.night, changes); !done.empty()) line("Changes", done);
    line("Note", TerminalText(r.note, "\t\n"));  // every line of it
    return out;
}

}  // namespace quenda
