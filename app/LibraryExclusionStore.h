#pragma once

#include "analysis/ClinicalState.h"

#include <filesystem>
#include <functional>

namespace quenda {

// Keeps the current data set's exclusions in the library of nights. The data
// set is split by the night rule; each night is found in the library by its ID
// and start, and gets the part of the exclusions inside it (indexes within the
// night) and its figures computed again with them, so the nights list shows
// them applied. A data set the library does not hold yet (every download is
// there already; a file opened from elsewhere may not be) is first kept as a
// data file under KeptDataSetsRoot() and added.
// $XDG_DATA_HOME/Quenda/datasets: data sets kept so their nights can hold
// exclusions.
std::filesystem::path KeptDataSetsRoot();

class LibraryExclusionStore final : public ExclusionStore {
public:
    // `library`: the file, read at each call (an empty path: the default one);
    // `clinical`: the profile and thresholds the stored figures follow.
    LibraryExclusionStore(std::function<std::filesystem::path()> library, const Settings& settings);

    Exclusions Load(int id, std::span<const SampleRecord> samples) override;
    bool Save(int id, std::span<const SampleRecord> samples, const Exclusions& exclusions,
              std::string& error) override;

private:
    std::function<std::filesystem::path()> library_;
    const Settings& settings_;
};

}  // namespace quenda
