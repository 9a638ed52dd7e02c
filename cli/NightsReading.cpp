#include "cli/NightsCommands.h"

#include "analysis/ClinicalJson.h"
#include "base/Settings.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Export.h"
#include "cli/Nights.h"
#include "cli/NightsText.h"
#include "cli/Terminal.h"
#include "formats/Export.h"
#include "nights/PeriodSummary.h"
#include "views/NightsPage.h"

#include <QGuiApplication>

#include <cstdio>
#include <map>

namespace quenda::nights_cli {

int List(const NightsOptions& o) {
    if (!o.positional.empty()) return Usage("nights list takes no arguments");
    int code = kExitOk;
    // A library not made yet lists as an empty one.
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library && code != kExitOk) return code;
    NightFilter filter = FilterOf(o);
    filter.clinicalColumns = o.csv;
    std::string out;
    if (o.json) {
        // Streamed night by night: a large library lists in constant memory.
        bool first = true;
        bool written = std::fputc('[', stdout) != EOF;
        const auto visit = [&](const NightRow& row) {
            out.clear();
            if (!first) out += ",\n";
            first = false;
            AppendNightJson(out, row);
            written = written && std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
        };
        if (const FileResult listed = library ? library->ForEach(filter, visit) : FileResult{}; !listed)
            return Fail(listed);
        if (!written || !Print("]\n")) {
            std::perror("quenda-cli: writing the list");
            return kExitFailed;
        }
        return kExitOk;
    }
    std::vector<NightRow> rows;
    if (const FileResult listed = library ? library->List(filter, rows) : FileResult{}; !listed) return Fail(listed);
    if (o.csv) {
        out = NightsCsv(rows);
    } else {
        out = NightsText(rows);
    }
    if (!Print(out)) {
        std::perror("quenda-cli: writing the list");
        return kExitFailed;
    }
    return kExitOk;
}

// Without --id: one summary per ID, never one of several patients' nights
// pooled. The text gives each under a line naming the ID (and its latest
// night's name); --json, an array of objects, each with its "id".
int SummaryPerId(const NightsOptions& o, NightLibrary* library, const NightFilter& filter) {
    IdSummaryBuilder builder(o.dividingDate.value_or(""));
    std::map<int, std::string> names;
    const auto visit = [&](const NightRow& row) {
        builder.Add(row);
        names[row.id] = row.name;
    };
    if (const FileResult listed = library ? library->ForEach(filter, visit) : FileResult{}; !listed)
        return Fail(listed);
    const std::vector<IdSummary> summaries = builder.Finish();
    if (summaries.empty()) return NoNights(o);
    std::string out;
    if (o.json) {
        std::vector<std::string> objects;
        for (const IdSummary& s : summaries) {
            objects.push_back(IdSummaryJson(s));
            objects.back().pop_back();  // the newline
        }
        out = JsonArray(objects) + "\n";
    } else {
        for (const IdSummary& s : summaries) {
            const std::string& name = names[s.id];
            out += (out.empty() ? "" : "\n") + UiText("ID") + " " + std::to_string(s.id) +
                   (name.empty() ? "" : ": " + TerminalText(name)) + "\n\n" +
                   (s.beforeAfter ? BeforeAfterSummaryText(*s.beforeAfter) : PeriodSummaryText(s.period));
        }
    }
    if (!Print(out)) {
        std::perror("quenda-cli: writing the summary");
        return kExitFailed;
    }
    return kExitOk;
}

// The listed nights at a glance, or split at a date into before and after.
int Summary(const NightsOptions& o) {
    if (!o.positional.empty()) return Usage("nights summary takes no arguments");
    int code = kExitOk;
    // A library not made yet holds no nights to summarise.
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library && code != kExitOk) return code;
    NightFilter filter = FilterOf(o);
    filter.checkMissing = false;  // the stored figures are all it reads
    if (!o.id) return SummaryPerId(o, library.get(), filter);
    PeriodSummaryBuilder period;
    BeforeAfterSummaryBuilder sides(o.dividingDate.value_or(""));
    const auto visit = [&](const NightRow& row) {
        if (o.dividingDate) {
            sides.Add(row);
        } else {
            period.Add(row);
        }
    };
    if (const FileResult listed = library ? library->ForEach(filter, visit) : FileResult{}; !listed)
        return Fail(listed);
    std::string out;
    if (o.dividingDate) {
        const BeforeAfterSummary s = sides.Finish();
        if (s.before.nights + s.after.nights == 0) return NoNights(o);
        out = o.json ? BeforeAfterSummaryJson(s) : BeforeAfterSummaryText(s);
    } else {
        const PeriodSummary s = period.Finish();
        if (s.nights == 0) return NoNights(o);
        out = o.json ? PeriodSummaryJson(s) : PeriodSummaryText(s);
    }
    if (!Print(out)) {
        std::perror("quenda-cli: writing the summary");
        return kExitFailed;
    }
    return kExitOk;
}

int Show(const NightsOptions& o) {
    if (o.positional.size() != 1) return Usage("nights show takes one night's number");
    const auto night = ParseNight(o.positional[0]);
    if (!night) return Usage("a night is given by its number");
    int code = kExitOk;
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library) return code == kExitOk ? NoNight(*night) : code;
    NightRow row;
    std::vector<SampleSpan> exclusions;
    NightChanges changes;
    if (const FileResult shown = library->Show(*night, row); !shown) return Fail(shown);
    if (const FileResult spans = library->Exclusions(*night, exclusions); !spans) return Fail(spans);
    if (const FileResult done = library->Changes(*night, changes); !done) return Fail(done);
    std::string out;
    if (o.json) {
        AppendNightJson(out, row, &exclusions);
        out.pop_back();  // its closing brace: the changes go inside
        AppendChangesJson(out, changes);
        out += "}\n";
    } else {
        out = ShowText(row, exclusions, changes);
    }
    return Printed(out);
}

int Export(const NightsOptions& o) {
    if (o.positional.size() != 2) return Usage("nights export takes a night's number and an output file");
    const auto night = ParseNight(o.positional[0]);
    if (!night) return Usage("a night is given by its number");
    const std::filesystem::path output = o.positional[1];
    const ExportKind kind = ExportKindOf(output);
    if (kind == ExportKind::Unknown) return Usage("the output must end in .dat, .txt, .xlsx, .edf or .csv");
    int code = kExitOk;
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library) return code == kExitOk ? NoNight(*night) : code;
    NightRow row;
    if (const FileResult shown = library->Show(*night, row); !shown) return Fail(shown);
    std::vector<SampleRecord> samples;
    if (const FileResult loaded = library->LoadNight(*night, samples); !loaded) return Fail(loaded);
    std::vector<SampleSpan> spans;
    if (const FileResult read = library->Exclusions(*night, spans); !read) return Fail(read);
    std::vector<std::filesystem::path> written;
    FileResult result;
    if (kind == ExportKind::DataFile) {
        result = WriteDataFile(output, static_cast<std::uint8_t>(row.id), samples, "");
        written.push_back(output);
    } else {
        // As Save Data of the night opened in the program: its exclusions,
        // the settings file's profile and thresholds.
        ExportRequest request =
            MakeExportRequest(samples, ReadPatient(PatientFileFor(o), row.id), row.id, Settings(), Exclusions(spans));
        request.oneNight = true;
        if (const FileResult read = library->Scoring(*night, request.scoring); !read) return Fail(read);
        result = ExportDataSet(kind, output, request, {}, &written);
    }
    if (!result) {
        Say("quenda-cli: " + output.string() + ": " + result.message + (result.detail.empty() ? "" : ": ") +
            result.detail);
        return kExitFailed;
    }
    std::string list;
    for (const auto& file : written) list += TerminalText(file.string()) + "\n";
    return Printed(list);
}

// The Nights pages of the window, without a display: the filtered nights,
// newest first, the chart of one figure and their summary (split at a date
// with --split) on page one.
int Report(const NightsOptions& o, int argc, char** argv) {
    if (o.positional.size() != 1) return Usage("nights report takes one output file OUT.pdf");
    int code = kExitOk;
    // A library not made yet holds no nights to report.
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library && code != kExitOk) return code;
    const NightFilter filter = FilterOf(o);
    NightsReport report;
    if (const FileResult listed = library ? library->List(filter, report.rows) : FileResult{}; !listed)
        return Fail(listed);
    if (report.rows.empty()) return NoNights(o);
    SortNewestFirst(report.rows);
    report.filter = WindowFilterOf(o);
    report.figure = o.figure ? *NightFigureNamed(*o.figure) : NightFigure::Odi3;
    report.dividingDate = o.dividingDate.value_or("");
    report.library = ShownLocation(LibraryLocationFor(o.library));
    // Fonts need a GUI application, and one needs a display unless told to
    // draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    (void)argc;
    std::string error;
    if (!WriteNightsPdf(o.positional[0], report, error)) {
        Say("quenda-cli: " + o.positional[0] + ": " + error);
        return kExitFailed;
    }
    std::fprintf(stderr, "%zu nights written to %s\n", report.rows.size(), TerminalText(o.positional[0]).c_str());
    return kExitOk;
}

}  // namespace quenda::nights_cli
