#include "app/LibraryExclusionStore.h"

#include "base/UiText.h"
#include "formats/Import.h"
#include "nights/Library.h"
#include "store/KeptDownload.h"
#include "store/NightRule.h"

#include <algorithm>

namespace quenda {

std::filesystem::path KeptDataSetsRoot() { return QuendaDataFolder() / "datasets"; }

LibraryExclusionStore::LibraryExclusionStore(std::function<std::string()> library, const Settings& settings,
                                             std::function<std::filesystem::path()> patientFile, PasswordPrompt prompt)
    : library_(std::move(library)),
      settings_(settings),
      patientFile_(std::move(patientFile)),
      prompt_(std::move(prompt)) {}

std::string LibraryExclusionStore::LibraryLocation() const {
    std::string location = library_();
    return location.empty() ? DefaultLibraryLocation() : location;
}

namespace {

// The library at `location`; none when there is none yet, or it cannot be read.
std::unique_ptr<NightLibrary> OpenExisting(const std::string& location, const PasswordPrompt& prompt) {
    FileResult opened;
    // No library yet, or one that cannot be read: nothing was kept.
    if (!LibraryMayExist(location)) return nullptr;
    return NightLibrary::Open(location, opened, LibraryOpening::Create, prompt);
}

}  // namespace

LibraryExclusions LoadLibraryExclusions(const std::string& location, int id, std::span<const SampleRecord> samples,
                                        const PasswordPrompt& prompt) {
    LibraryExclusions all;
    const auto library = OpenExisting(location, prompt);
    if (!library) return all;
    // A night opened from the library carries its clock shift, and a merged
    // or split night is not one night of the rule: the library places them.
    for (const NightLibrary::PlacedNight& placed : library->NightsIn(id, samples)) {
        std::vector<SampleSpan> spans;
        if (!placed.night || !library->Exclusions(*placed.night, spans)) continue;
        // Of a night the data set holds only the first part of, what lies in that part.
        const Exclusions here = ExclusionsWithin(Exclusions(spans), 0, placed.last - placed.first);
        if (here.Spans().empty()) continue;
        for (const SampleSpan& s : here.Spans())
            all.exclusions.Exclude({s.first + placed.first, s.last + placed.first});
        all.nights.push_back(*placed.night);
    }
    return all;
}

std::unique_ptr<NightLibrary> LibraryExclusionStore::OpenKept() const {
    return OpenExisting(LibraryLocation(), prompt_);
}

Exclusions LibraryExclusionStore::Load(int id, std::span<const SampleRecord> samples) {
    return LoadLibraryExclusions(LibraryLocation(), id, samples, prompt_).exclusions;
}

ScoredStudy LibraryExclusionStore::LoadScoring(int id, std::span<const SampleRecord> samples) {
    ScoredStudy all;
    const auto library = OpenKept();
    if (!library) return all;
    for (const NightLibrary::PlacedNight& placed : library->NightsIn(id, samples)) {
        ScoredStudy own;
        if (!placed.night || !library->Scoring(*placed.night, own)) continue;
        if (all.source.empty()) all.source = own.source;
        all.annotations.insert(all.annotations.end(), own.annotations.begin(), own.annotations.end());
    }
    SortAnnotations(all.annotations);
    return all;
}

bool LibraryExclusionStore::Save(int id, std::span<const SampleRecord> samples, const Exclusions& exclusions,
                                 std::string& error) {
    FileResult opened;
    const auto library = NightLibrary::Open(LibraryLocation(), opened, LibraryOpening::Create, prompt_);
    if (!library) {
        error = opened.message;
        return false;
    }
    const AddOptions options = MakeAddOptions(settings_, patientFile_ ? patientFile_() : std::filesystem::path());
    library->SetFigureSettings(options.figures);
    // Every night must be there before any is changed. A data set the library
    // does not hold yet (a file opened from elsewhere) is kept as a data file
    // of its own and added first, so its exclusions have a night to live in.
    const std::vector<NightSpan> nights = ApplyNightRule(samples).nights;
    std::vector<NightLibrary::PlacedNight> placed = library->NightsIn(id, samples);
    const auto allListed = [&] {
        return std::all_of(placed.begin(), placed.end(),
                           [](const NightLibrary::PlacedNight& p) { return p.night.has_value(); });
    };
    if (!allListed()) {
        std::filesystem::path kept;
        const std::string name = "dataset-" + DateText(nights.empty() ? 0 : nights[0].start) + ".dat";
        const FileResult keptResult = KeepImport(name, id, samples, KeptDataSetsRoot(), kept);
        if (!keptResult) {
            error = keptResult.message + (keptResult.detail.empty() ? "" : ": " + keptResult.detail);
            return false;
        }
        const AddResult added = library->AddSamples(kept, id, samples, options);
        placed = library->NightsIn(id, samples);
        if (!added.result || !allListed()) {
            error = added.result ? UiText("This data set could not be added to the library of nights.")
                                 : added.result.message;
            return false;
        }
    }
    for (const NightLibrary::PlacedNight& p : placed) {
        Exclusions own = ExclusionsWithin(exclusions, p.first, p.last);
        const std::int32_t here = p.last - p.first + 1;
        if (p.nightSamples > here) {
            // The data set holds only the night's first part: what the night
            // has set aside past it stays as it is.
            std::vector<SampleSpan> stored;
            if (const FileResult read = library->Exclusions(*p.night, stored); !read) {
                error = read.message;
                return false;
            }
            const Exclusions past = ExclusionsWithin(Exclusions(stored), here, p.nightSamples - 1);
            for (const SampleSpan& s : past.Spans()) own.Exclude({s.first + here, s.last + here});
        }
        const auto nightSamples = samples.subspan(static_cast<std::size_t>(p.first), static_cast<std::size_t>(here));
        if (const FileResult set = library->SetExclusions(*p.night, own.Spans(), nightSamples); !set) {
            error = set.message;
            return false;
        }
    }
    return true;
}

}  // namespace quenda
