#include "cli/Nights.h"

#include "analysis/ClinicalJson.h"
#include "analysis/ClinicalSetup.h"
#include "base/Settings.h"
#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Export.h"
#include "cli/Import.h"
#include "cli/NightsText.h"
#include "cli/Terminal.h"
#include "formats/Export.h"
#include "formats/Scoring.h"
#include "nights/StudyNights.h"
#include "nights/Library.h"
#include "nights/PeriodSummary.h"
#include "patient/PatientFile.h"
#include "patient/PatientFolder.h"
#include "store/KeptDownload.h"
#include "views/NightsLayout.h"
#include "views/NightsPage.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

namespace quenda {

namespace {

const char* const kNightsUsage =
    "usage: quenda-cli nights add PATH... [--events SCORING.xml] [--id N] [--library FILE] [--patients DIR]\n"
    "       quenda-cli nights list [--id N] [--from DATE] [--to DATE] [--json|--csv] [--library FILE]\n"
    "       quenda-cli nights show NIGHT [--json] [--library FILE]\n"
    "       quenda-cli nights note NIGHT TEXT [--library FILE]\n"
    "       quenda-cli nights exclude NIGHT FIRST LAST [--library FILE]\n"
    "       quenda-cli nights include NIGHT FIRST LAST [--library FILE]\n"
    "       quenda-cli nights remove NIGHT [--library FILE]\n"
    "       quenda-cli nights shift NIGHT SECONDS [--library FILE]\n"
    "       quenda-cli nights unshift NIGHT [--library FILE]\n"
    "       quenda-cli nights merge NIGHT NIGHT [--library FILE]\n"
    "       quenda-cli nights unmerge NIGHT [--library FILE]\n"
    "       quenda-cli nights split NIGHT INDEX [--library FILE]\n"
    "       quenda-cli nights unsplit NIGHT [--library FILE]\n"
    "       quenda-cli nights export NIGHT OUT.dat|.txt|.xlsx|.edf|.csv [--patients DIR] [--library FILE]\n"
    "       quenda-cli nights rebuild [--library FILE] [--patients DIR]\n"
    "       quenda-cli nights report OUT.pdf [--id N] [--from DATE] [--to DATE] [--figure NAME] [--split DATE]\n"
    "                                [--library FILE]\n"
    "       quenda-cli nights summary [--id N] [--from DATE] [--to DATE] [--split DATE] [--json] [--library FILE]\n";

int Usage(const std::string& problem) { return UsageError(problem, kNightsUsage); }

bool Print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

// The last words of a command that did its work: its exit status.
int Printed(const std::string& text) { return Print(text) ? kExitOk : kExitFailed; }

struct NightsOptions {
    std::optional<std::string> library;
    std::optional<std::string> patients;
    std::optional<int> id;
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::optional<std::string> figure;
    std::optional<std::string> split;  // nights summary and report: before it, and on or after it
    bool json = false;
    bool csv = false;
    DateOrder dateOrder = DateOrder::Unknown;  // nights add of a CSV file
    std::optional<std::string> events;         // nights add of an EDF file: its scoring XML
    std::vector<std::string> positional;
};

std::optional<long long> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0) return std::nullopt;
    return v;
}

std::string ParseNightsOptions(int argc, char** argv, const std::vector<std::string_view>& allowed, NightsOptions& o) {
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!(arg.rfind("--", 0) == 0 && arg.size() > 2)) {
            o.positional.push_back(arg);
            continue;
        }
        if (std::find(allowed.begin(), allowed.end(), arg) == allowed.end() && arg != "--library")
            return "unknown option " + arg;
        if (arg == "--json") {
            o.json = true;
            continue;
        }
        if (arg == "--csv") {
            o.csv = true;
            continue;
        }
        if (i + 1 >= argc) return arg + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--library") {
            o.library = value;
        } else if (arg == "--patients") {
            o.patients = value;
        } else if (arg == "--id") {
            const auto id = ParseNumber(value);
            if (!id || *id < 1 || *id > 127) return "--id takes a number from 1 to 127";
            o.id = static_cast<int>(*id);
        } else if (arg == "--figure") {
            if (!NightFigureNamed(value))
                return "--figure takes odi3, odi4, t90, t88, nadir, spo2, pulse, burden, pulse_rises or coupled";
            o.figure = value;
        } else if (arg == "--events") {
            o.events = value;
        } else if (arg == "--date-order") {
            o.dateOrder = ParseDateOrder(value);
            if (o.dateOrder == DateOrder::Unknown) return "--date-order takes dmy or mdy";
        } else if (arg == "--from" || arg == "--to" || arg == "--split") {
            if (!IsDateText(value)) return arg + " takes a date YYYY-MM-DD";
            (arg == "--from" ? o.from : arg == "--to" ? o.to : o.split) = value;
        }
    }
    if (o.json && o.csv) return "--json and --csv exclude each other";
    return {};
}

std::filesystem::path PatientFileFor(const NightsOptions& o) {
    return o.patients ? std::filesystem::path(*o.patients) / kPatientFileName : DefaultPatientFile();
}

// The settings of the moment, and the patient names read quietly: a night is
// added all the same when the patient file cannot be read.
AddOptions AddOptionsFor(const std::filesystem::path& patientFile) { return MakeAddOptions(Settings(), patientFile); }

// The library, or nothing with `code` set to the failure's exit status.
// Reading (ExistingOnly) a library that is not there makes nothing and
// gives nothing with `code` kExitOk: a mistyped --library lists no nights
// rather than leaving folders and an empty library behind. Its listed figures
// follow the settings file's thresholds and profile.
std::unique_ptr<NightLibrary> OpenLibrary(const NightsOptions& o, int& code,
                                          LibraryOpening opening = LibraryOpening::Create) {
    FileResult opened;
    auto library = NightLibrary::Open(LibraryFileFor(o.library), opened, opening);
    if (!library && !opened) code = Fail(opened);
    if (library) library->SetFigureSettings(ReadFigureSettings(Settings()));
    return library;
}

// What show and export say of a night in a library that is not there.
int NoNight(NightNumber night) {
    return Fail(FileResult{false, FillPlaceholders(UiText(library_message::kNoNight), {std::to_string(night)}), {}});
}

// The library holding `night`, to change it: a library that is not there
// holds no night, and none is made for the refusal.
std::unique_ptr<NightLibrary> LibraryOfNight(const NightsOptions& o, NightNumber night, int& code) {
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library && code == kExitOk) code = NoNight(night);
    return library;
}

std::optional<NightNumber> ParseNight(const std::string& text) {
    const auto n = ParseNumber(text);
    if (!n || *n < 1) return std::nullopt;
    return *n;
}

std::string AddSummary(const AddResult& r) {
    std::string text =
        Format("%d %s added, %d %s, %d %s.", r.added, UiText(r.added == 1 ? "night" : "nights").c_str(), r.already,
               UiText("already in the library").c_str(), r.replaced, UiText("extended").c_str());
    if (r.removed > 0) {
        text += " " + Format("%d %s", r.removed, UiText("removed from the library before, left out.").c_str());
    }
    if (r.leftOut > 0) {
        text +=
            " " +
            Format("%d %s", r.leftOut,
                   UiText("samples with an impossible date or time were left out (they belong to no night).").c_str());
    }
    return text;
}

// ---- the commands

// The scoring of an EDF file being added (its EDF+ annotations, or the XML of
// --events), kept in the library under the file's ID. False, said, when it
// cannot be read or kept; a file that is no EDF has none.
bool KeepScoring(NightLibrary& library, const std::string& path, const NightsOptions& o, int& code) {
    if (!IsEdfName(path) && !o.events) return true;
    const StudyScoring scoring = ReadStudyScoring(path, o.events.value_or(""));
    FileResult kept;
    if (scoring.ok) kept = KeepStudyScoring(library, o.id.value_or(1), scoring.study);
    if (scoring.ok && kept) return true;
    Say("quenda-cli: " + (scoring.ok ? kept.message : scoring.message));
    code = kExitFailed;
    return false;
}

int Add(const NightsOptions& o) {
    if (o.positional.empty()) return Usage("nights add takes data files or kept-download folders");
    if (o.events && o.positional.size() != 1) return Usage("--events goes with one EDF file");
    int code = kExitOk;
    auto library = OpenLibrary(o, code);
    if (!library) return code;
    // Other oximeters' files are kept as data files first (as ID --id, default
    // 1), so the library never depends on the originals.
    std::vector<std::filesystem::path> paths;
    const auto keep = [&](const std::filesystem::path& p) {
        std::string error;
        bool ambiguous = false;
        // A sleep study's scoring is kept first, so its nights' figures count it.
        if (!KeepScoring(*library, p.string(), o, code)) return;
        if (const auto kept = KeepForeignFile(p, o.id.value_or(1), o.dateOrder, error, ambiguous)) {
            paths.push_back(*kept);
        } else {
            Say("quenda-cli: " + error);
            code = ambiguous && code == kExitOk ? kExitUsage : kExitFailed;
        }
    };
    for (const std::string& p : o.positional) {
        const auto foreign = ForeignFilesAt(p);
        for (const auto& file : foreign) keep(file);
        if (foreign.empty()) paths.emplace_back(p);
    }
    if (paths.empty()) return code;
    const AddResult added = library->AddPaths(paths, AddOptionsFor(PatientFileFor(o)));
    for (const std::string& failure : added.failures) Say("quenda-cli: " + failure);
    if (!Print(AddSummary(added) + "\n")) return kExitFailed;
    return added.result ? code : kExitFailed;
}

// --id, --from and --to, which list and report read alike.
NightFilter FilterOf(const NightsOptions& o) {
    NightFilter filter;
    filter.id = o.id;
    filter.from = o.from;
    filter.to = o.to;
    return filter;
}

int List(const NightsOptions& o) {
    if (!o.positional.empty()) return Usage("nights list takes no arguments");
    int code = kExitOk;
    // A library not made yet lists as an empty one.
    auto library = OpenLibrary(o, code, LibraryOpening::ExistingOnly);
    if (!library && code != kExitOk) return code;
    const NightFilter filter = FilterOf(o);
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
// The window's filter for --id, --from and --to: the report's header and what
// is said of a selection without nights name them alike.
NightSearch WindowFilterOf(const NightsOptions& o) {
    NightSearch filter;
    if (o.id) filter.idOrName = std::to_string(*o.id);
    filter.from = o.from.value_or("");
    filter.to = o.to.value_or("");
    return filter;
}

// A report or summary of no nights is refused rather than made empty.
int NoNights(const NightsOptions& o) {
    Say("quenda-cli: " + NoNightsText(WindowFilterOf(o)));
    return kExitFailed;
}

int SummaryPerId(const NightsOptions& o, NightLibrary* library, const NightFilter& filter) {
    IdSummaryBuilder builder(o.split.value_or(""));
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
                   (s.split ? SplitSummaryText(*s.split) : PeriodSummaryText(s.period));
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
    SplitSummaryBuilder split(o.split.value_or(""));
    const auto visit = [&](const NightRow& row) {
        if (o.split) {
            split.Add(row);
        } else {
            period.Add(row);
        }
    };
    if (const FileResult listed = library ? library->ForEach(filter, visit) : FileResult{}; !listed)
        return Fail(listed);
    std::string out;
    if (o.split) {
        const SplitSummary s = split.Finish();
        if (s.before.nights + s.after.nights == 0) return NoNights(o);
        out = o.json ? SplitSummaryJson(s) : SplitSummaryText(s);
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

int Note(const NightsOptions& o) {
    if (o.positional.size() != 2) return Usage("nights note takes a night's number and the text");
    const auto night = ParseNight(o.positional[0]);
    if (!night) return Usage("a night is given by its number");
    int code = kExitOk;
    auto library = LibraryOfNight(o, *night, code);
    if (!library) return code;
    if (const FileResult noted = library->SetNote(*night, o.positional[1]); !noted) return Fail(noted);
    return kExitOk;
}

// nights exclude / include NIGHT FIRST LAST: sample indexes within the night,
// both ends included. The night's figures are computed again with its
// exclusions, so the listing shows them applied.
int ChangeExclusions(const NightsOptions& o, bool exclude) {
    const std::string name = exclude ? "exclude" : "include";
    if (o.positional.size() != 3) return Usage("nights " + name + " takes a night's number and two sample indexes");
    const auto night = ParseNight(o.positional[0]);
    if (!night) return Usage("a night is given by its number");
    const auto first = ParseNumber(o.positional[1]);
    const auto last = ParseNumber(o.positional[2]);
    if (!first || !last || *first < 0 || *last < *first || *last > std::numeric_limits<std::int32_t>::max())
        return Usage("FIRST and LAST are sample indexes within the night, FIRST <= LAST");
    int code = kExitOk;
    auto library = LibraryOfNight(o, *night, code);
    if (!library) return code;
    NightRow row;
    if (const FileResult shown = library->Show(*night, row); !shown) return Fail(shown);
    if (*last >= row.samples) {
        std::fprintf(stderr, "quenda-cli: %s (%lld samples: 0 to %lld)\n", UiText(library_message::kBadSpan).c_str(),
                     static_cast<long long>(row.samples), static_cast<long long>(row.samples) - 1);
        return kExitFailed;
    }
    std::vector<SampleSpan> spans;
    if (const FileResult read = library->Exclusions(*night, spans); !read) return Fail(read);
    Exclusions exclusions(spans);
    const SampleSpan span{static_cast<std::int32_t>(*first), static_cast<std::int32_t>(*last)};
    if (exclude) {
        exclusions.Exclude(span);
    } else {
        exclusions.Include(span);
    }
    if (const FileResult set = library->SetExclusions(*night, exclusions.Spans()); !set) return Fail(set);
    return kExitOk;
}

int Exclude(const NightsOptions& o) { return ChangeExclusions(o, true); }
int Include(const NightsOptions& o) { return ChangeExclusions(o, false); }

int Remove(const NightsOptions& o) {
    if (o.positional.size() != 1) return Usage("nights remove takes one night's number");
    const auto night = ParseNight(o.positional[0]);
    if (!night) return Usage("a night is given by its number");
    int code = kExitOk;
    auto library = LibraryOfNight(o, *night, code);
    if (!library) return code;
    if (const FileResult removed = library->Remove(*night); !removed) return Fail(removed);
    return kExitOk;
}

// ---- putting nights right

// The library to change and the nights named by the first `nightArguments`
// of `arguments` arguments, or nothing with the exit status in `code`.
std::unique_ptr<NightLibrary> LibraryForChange(const NightsOptions& o, std::size_t arguments,
                                               std::size_t nightArguments, const char* usage,
                                               std::vector<NightNumber>& nights, int& code) {
    code = kExitOk;
    if (o.positional.size() != arguments) {
        code = Usage(usage);
        return nullptr;
    }
    for (std::size_t i = 0; i < nightArguments; ++i) {
        const auto night = ParseNight(o.positional[i]);
        if (!night) {
            code = Usage("a night is given by its number");
            return nullptr;
        }
        nights.push_back(*night);
    }
    return LibraryOfNight(o, nights.front(), code);
}

// "+3600", "-90" or "120": seconds, not 0, at most a century either way.
std::optional<std::int64_t> ParseSeconds(const std::string& text) {
    const std::string digits = !text.empty() && (text[0] == '+' || text[0] == '-') ? text.substr(1) : text;
    const auto magnitude = ParseNumber(digits);
    if (!magnitude || *magnitude == 0 || *magnitude > 100LL * 366 * 86400 || digits.find_first_of("+-") == 0)
        return std::nullopt;
    return text[0] == '-' ? -*magnitude : *magnitude;
}

// The night's start as listed now, for the line that says what was done.
std::string StartOf(NightLibrary& library, NightNumber night) {
    NightRow row;
    return library.Show(night, row) ? row.StartText() : std::string();
}

// "Night 4: clock shifted +3600 s; it starts 2026-12-06T23:00:00." (or
// "clock shift taken away" when none is left).
int SayShift(NightLibrary& library, NightNumber night) {
    NightChanges changes;
    library.Changes(night, changes);
    const std::string shift = changes.clockShift == 0 ? UiText("clock shift taken away")
                                                      : Format("%s %+lld s", UiText("clock shifted").c_str(),
                                                               static_cast<long long>(changes.clockShift));
    return Printed(Format("%s %lld: %s; %s %s.\n", UiText("Night").c_str(), static_cast<long long>(night),
                          shift.c_str(), UiText("it starts").c_str(), StartOf(library, night).c_str()));
}

int Shift(const NightsOptions& o) {
    std::vector<NightNumber> nights;
    int code = kExitOk;
    auto library =
        LibraryForChange(o, 2, 1, "nights shift takes a night's number and the seconds to move it by", nights, code);
    if (!library) return code;
    const auto seconds = ParseSeconds(o.positional[1]);
    if (!seconds) return Usage("SECONDS is a whole number of seconds, + or -, not 0 (3600 is an hour later)");
    if (const FileResult shifted = library->Shift(nights[0], *seconds); !shifted) return Fail(shifted);
    return SayShift(*library, nights[0]);
}

int Unshift(const NightsOptions& o) {
    std::vector<NightNumber> nights;
    int code = kExitOk;
    auto library = LibraryForChange(o, 1, 1, "nights unshift takes one night's number", nights, code);
    if (!library) return code;
    if (const FileResult unshifted = library->Unshift(nights[0]); !unshifted) return Fail(unshifted);
    return SayShift(*library, nights[0]);
}

int Merge(const NightsOptions& o) {
    std::vector<NightNumber> nights;
    int code = kExitOk;
    auto library = LibraryForChange(o, 2, 2, "nights merge takes two nights' numbers", nights, code);
    if (!library) return code;
    NightNumber merged = 0;
    if (const FileResult done = library->Merge(nights[0], nights[1], &merged); !done) return Fail(done);
    const NightNumber other = merged == nights[0] ? nights[1] : nights[0];
    return Printed(Format("%s %lld %s %lld %s %lld.\n", UiText("Nights").c_str(), static_cast<long long>(merged),
                          UiText("and").c_str(), static_cast<long long>(other), UiText("merged into night").c_str(),
                          static_cast<long long>(merged)));
}

int Unmerge(const NightsOptions& o) {
    std::vector<NightNumber> nights;
    int code = kExitOk;
    auto library = LibraryForChange(o, 1, 1, "nights unmerge takes one night's number", nights, code);
    if (!library) return code;
    NightNumber second = 0;
    if (const FileResult done = library->Unmerge(nights[0], &second); !done) return Fail(done);
    return Printed(Format("%s %lld %s %lld %s.\n", UiText("Night").c_str(), static_cast<long long>(nights[0]),
                          UiText("unmerged: night").c_str(), static_cast<long long>(second),
                          UiText("is listed again").c_str()));
}

int Split(const NightsOptions& o) {
    std::vector<NightNumber> nights;
    int code = kExitOk;
    auto library = LibraryForChange(o, 2, 1, "nights split takes a night's number and a sample index", nights, code);
    if (!library) return code;
    const auto index = ParseNumber(o.positional[1]);
    if (!index || *index > std::numeric_limits<std::int32_t>::max())
        return Usage("INDEX is the night's sample the second night starts with, from 1");
    NightNumber second = 0;
    if (const FileResult done = library->Split(nights[0], static_cast<std::int32_t>(*index), &second); !done)
        return Fail(done);
    return Printed(Format("%s %lld %s %lld %s %lld.\n", UiText("Night").c_str(), static_cast<long long>(nights[0]),
                          UiText("split: its samples from").c_str(), static_cast<long long>(*index),
                          UiText("on are night").c_str(), static_cast<long long>(second)));
}

int Unsplit(const NightsOptions& o) {
    std::vector<NightNumber> nights;
    int code = kExitOk;
    auto library = LibraryForChange(o, 1, 1, "nights unsplit takes one night's number", nights, code);
    if (!library) return code;
    NightNumber first = 0;
    if (const FileResult done = library->Unsplit(nights[0], &first); !done) return Fail(done);
    return Printed(Format("%s %lld %s.\n", UiText("Night").c_str(), static_cast<long long>(first),
                          UiText("is one night again").c_str()));
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

int Rebuild(const NightsOptions& o) {
    if (!o.positional.empty()) return Usage("nights rebuild takes no arguments");
    const auto file = LibraryFileFor(o.library);
    const std::filesystem::path downloads[] = {DefaultDownloadsRoot()};
    const RebuildResult rebuilt = RebuildLibrary(file, AddOptionsFor(PatientFileFor(o)), downloads);
    if (!rebuilt.movedAside.empty())
        Say(UiText("The damaged library was moved to") + " " + rebuilt.movedAside.string());
    for (const std::string& failure : rebuilt.added.failures) Say("quenda-cli: " + failure);
    if (!rebuilt.result) return Fail(rebuilt.result);
    const std::string text =
        Format("%s %s: %d %s, %d %s, %d %s, %d %s.\n", UiText("Rebuilt").c_str(), TerminalText(file.string()).c_str(),
               rebuilt.nights, UiText("nights").c_str(), rebuilt.sources, UiText("files read").c_str(),
               rebuilt.missingSources, UiText("files missing").c_str(), rebuilt.notes, UiText("notes kept").c_str());
    return Printed(text);
}

}  // namespace

std::filesystem::path LibraryFileFor(const std::optional<std::string>& option) {
    return option ? std::filesystem::path(*option) : DefaultLibraryFile();
}

void AddKeptDownloadNights(const std::filesystem::path& folder, const std::filesystem::path& library) {
    const std::filesystem::path paths[] = {folder};
    const AddResult added = AddToLibrary(library, paths, AddOptionsFor(DefaultPatientFile()));
    if (!added.result) {
        std::fprintf(stderr, "%s\n", UiText("The nights of this download could not be added to the library:").c_str());
        for (const std::string& failure : added.failures) Say("  " + failure);
        return;
    }
    std::fprintf(stderr, "%s %s\n", UiText("Library:").c_str(), AddSummary(added).c_str());
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
    report.split = o.split.value_or("");
    report.library = LibraryFileFor(o.library).string();
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

int NightsCommand(int argc, char** argv) {
    if (argc < 3) return Usage("nights needs a command");
    const std::string command = argv[2];
    using Handler = int (*)(const NightsOptions&);
    struct Entry {
        const char* name;
        std::vector<std::string_view> options;
        Handler handler;
    };
    const Entry entries[] = {
        {"add", {"--patients", "--id", "--date-order", "--events"}, Add},
        {"list", {"--id", "--from", "--to", "--json", "--csv"}, List},
        {"show", {"--json"}, Show},
        {"note", {}, Note},
        {"exclude", {}, Exclude},
        {"include", {}, Include},
        {"remove", {}, Remove},
        {"shift", {}, Shift},
        {"unshift", {}, Unshift},
        {"merge", {}, Merge},
        {"unmerge", {}, Unmerge},
        {"split", {}, Split},
        {"unsplit", {}, Unsplit},
        {"export", {"--patients"}, Export},
        {"rebuild", {"--patients"}, Rebuild},
        {"summary", {"--id", "--from", "--to", "--split", "--json"}, Summary},
    };
    if (command == "report") {
        NightsOptions o;
        if (const std::string problem =
                ParseNightsOptions(argc, argv, {"--id", "--from", "--to", "--figure", "--split"}, o);
            !problem.empty())
            return Usage(problem);
        return Report(o, argc, argv);
    }
    for (const Entry& e : entries) {
        if (command != e.name) continue;
        NightsOptions o;
        if (const std::string problem = ParseNightsOptions(argc, argv, e.options, o); !problem.empty())
            return Usage(problem);
        return e.handler(o);
    }
    return Usage("unknown nights command " + command);
}

}  // namespace quenda
