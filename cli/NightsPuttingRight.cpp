#include "cli/NightsCommands.h"

#include "base/StringFormat.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "cli/Nights.h"
#include "cli/Terminal.h"
#include "store/KeptDownload.h"

#include <limits>

namespace quenda::nights_cli {

namespace {

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

}  // namespace

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

int Rebuild(const NightsOptions& o) {
    if (!o.positional.empty()) return Usage("nights rebuild takes no arguments");
    const std::string file = LibraryLocationFor(o.library);
    const std::filesystem::path downloads[] = {DefaultDownloadsRoot()};
    const RebuildResult rebuilt = RebuildLibrary(file, AddOptionsFor(PatientFileFor(o)), downloads);
    if (!rebuilt.movedAside.empty())
        Say(UiText("The damaged library was moved to") + " " + rebuilt.movedAside.string());
    for (const std::string& failure : rebuilt.added.failures) Say("quenda-cli: " + failure);
    if (!rebuilt.result) return Fail(rebuilt.result);
    const std::string text =
        Format("%s %s: %d %s, %d %s, %d %s, %d %s.\n", UiText("Rebuilt").c_str(), TerminalText(file).c_str(),
               rebuilt.nights, UiText("nights").c_str(), rebuilt.sources, UiText("files read").c_str(),
               rebuilt.missingSources, UiText("files missing").c_str(), rebuilt.notes, UiText("notes kept").c_str());
    return Printed(text);
}

}  // namespace quenda::nights_cli
