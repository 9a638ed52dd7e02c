#pragma once

#include "analysis/ClinicalState.h"
#include "nights/LibraryLocation.h"
#include "nights/Night.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace quenda {

class NightLibrary;

// Keeps the current data set's exclusions in the library of nights. The data
// set is split by the night rule; each night is found in the library by its
// ID, start and samples (NightLibrary::NightsIn), and gets the part of the
// exclusions inside it (indexes within the night), with which the library
// computes its figures again; of a night the data set holds only the first
// part of, that part. A data set the library does not hold yet (every download
// is there already; a file opened from elsewhere may not be) is first kept as
// a data file under KeptDataSetsRoot() and added.
// $XDG_DATA_HOME/Quenda/datasets: data sets kept so their nights can hold exclusions.
std::filesystem::path KeptDataSetsRoot();

// The exclusions the library keeps for a data set's nights (indexes within
// the data set), and the nights that hold any, oldest first. Nothing when the
// library does not exist or cannot be read, or holds none of these samples.
// Whoever shows a data set's figures (the program, `analyze FILE.dat`, `print`)
// applies them, so a night's file gives the night's figures wherever it went.
struct LibraryExclusions {
    Exclusions exclusions;
    std::vector<NightNumber> nights;
};
LibraryExclusions LoadLibraryExclusions(const std::string& library, int id, std::span<const SampleRecord> samples,
                                        const PasswordPrompt& prompt = {});

class LibraryExclusionStore final : public ExclusionStore {
public:
    // `library`: its location, a file or a server (LibraryLocation.h), read at
    // each call (empty: DefaultLibraryLocation());
    // `settings`: the settings file the stored figures follow; `patientFile`:
    // where a night added here finds its ID's name (none when unset).
    // `prompt`: asks for a server's password when it wants one.
    LibraryExclusionStore(std::function<std::string()> library, const Settings& settings,
                          std::function<std::filesystem::path()> patientFile = {}, PasswordPrompt prompt = {});

    Exclusions Load(int id, std::span<const SampleRecord> samples) override;
    bool Save(int id, std::span<const SampleRecord> samples, const Exclusions& exclusions, std::string& error) override;
    // The scoring of the library's nights the data set holds, times as its samples give them.
    ScoredStudy LoadScoring(int id, std::span<const SampleRecord> samples) override;

private:
    std::string LibraryLocation() const;
    // The library, when there is one that can be read.
    std::unique_ptr<NightLibrary> OpenKept() const;

    std::function<std::string()> library_;
    const Settings& settings_;
    std::function<std::filesystem::path()> patientFile_;
    PasswordPrompt prompt_;
};

}  // namespace quenda
