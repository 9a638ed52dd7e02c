#include "cli/NightsCommands.h"

#include "base/Settings.h"
#include "base/StringFormat.h"
#include "base/UiText.h"
#include "cli/Export.h"
#include "cli/Nights.h"
#include "cli/Terminal.h"
#include "patient/PatientFile.h"
#include "patient/PatientFolder.h"

#include <cstdio>
#include <cstdlib>

namespace quenda::nights_cli {

bool Print(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

int Printed(const std::string& text) { return Print(text) ? kExitOk : kExitFailed; }

std::optional<long long> ParseNumber(const std::string& text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0) return std::nullopt;
    return v;
}

std::filesystem::path PatientFileFor(const NightsOptions& o) {
    return o.patients ? std::filesystem::path(*o.patients) / kPatientFileName : DefaultPatientFile();
}

AddOptions AddOptionsFor(const std::filesystem::path& patientFile) { return MakeAddOptions(Settings(), patientFile); }

std::unique_ptr<NightLibrary> OpenLibrary(const NightsOptions& o, int& code, LibraryOpening opening) {
    FileResult opened;
    auto library = NightLibrary::Open(LibraryFileFor(o.library), opened, opening);
    if (!library && !opened) code = Fail(opened);
    if (library) library->SetFigureSettings(ReadFigureSettings(Settings()));
    return library;
}

int NoNight(NightNumber night) {
    return Fail(FileResult{false, FillPlaceholders(UiText(library_message::kNoNight), {std::to_string(night)}), {}});
}

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

NightFilter FilterOf(const NightsOptions& o) {
    NightFilter filter;
    filter.id = o.id;
    filter.from = o.from;
    filter.to = o.to;
    return filter;
}

NightSearch WindowFilterOf(const NightsOptions& o) {
    NightSearch filter;
    if (o.id) filter.idOrName = std::to_string(*o.id);
    filter.from = o.from.value_or("");
    filter.to = o.to.value_or("");
    return filter;
}

int NoNights(const NightsOptions& o) {
    Say("quenda-cli: " + NoNightsText(WindowFilterOf(o)));
    return kExitFailed;
}

}  // namespace quenda::nights_cli
