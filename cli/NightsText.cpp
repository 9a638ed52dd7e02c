#include "cli/NightsText.h"

#include "analysis/ClinicalJson.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Terminal.h"
#include "views/NightsLayout.h"

#include <string_view>
#include <utility>

namespace quenda {

namespace {

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
    // Today's clinical columns: a night whose figures were kept by an older
    // program (its file gone, so never computed again) leaves the ones it
    // lacks empty rather than shifting the rest.
    const std::vector<std::string>& names = ClinicalColumnNames();
    std::string out = "night,id,name,date,start,end,samples,gap_seconds,source,first,last";
    for (const std::string& name : names) out += "," + name;
    out += ",note,missing\n";
    for (const NightRow& r : rows) {
        out += std::to_string(r.night) + "," + std::to_string(r.id) + "," + CsvText(r.name) + "," + r.date + "," +
               r.StartText() + "," + r.EndText() + "," + std::to_string(r.samples) + "," +
               std::to_string(r.gapSeconds) + "," + CsvText(r.source.string()) + "," + std::to_string(r.first) + "," +
               std::to_string(r.last);
        for (const std::string& name : names) {
            out += ',';
            out += CsvField(std::string(r.clinicalColumns.Find(name).value_or("")));
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
