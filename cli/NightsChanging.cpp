#include "cli/NightsCommands.h"

#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Export.h"
#include "cli/Import.h"
#include "cli/Nights.h"
#include "cli/Terminal.h"
#include "formats/Scoring.h"
#include "nights/StudyNights.h"

#include <cstdio>
#include <limits>

namespace quenda {
namespace nights_cli {

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

}  // namespace nights_cli

void AddKeptDownloadNights(const std::filesystem::path& folder, const std::string& library) {
    const std::filesystem::path paths[] = {folder};
    const AddResult added = AddToLibrary(library, paths, nights_cli::AddOptionsFor(DefaultPatientFile()));
    if (!added.result) {
        std::fprintf(stderr, "%s\n", UiText("The nights of this download could not be added to the library:").c_str());
        for (const std::string& failure : added.failures) Say("  " + failure);
        Say(FillPlaceholders(UiText(library_message::kDownloadKept), {TerminalText(folder.string())}));
        return;
    }
    std::fprintf(stderr, "%s %s\n", UiText("Library:").c_str(), nights_cli::AddSummary(added).c_str());
}

}  // namespace quenda
