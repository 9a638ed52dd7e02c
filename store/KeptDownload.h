#pragma once

#include "store/DataFile.h"
#include "store/DataHome.h"
#include "store/RecordingStore.h"

#include <chrono>
#include <filesystem>
#include <string_view>

namespace quenda {

// Where downloads are kept for the user: QuendaDataFolder()/downloads.
std::filesystem::path DefaultDownloadsRoot();

// The newest folder KeepDownload made under `root` (by the time in its name),
// or an empty path when there is none; Open Saved Data starts there.
std::filesystem::path NewestKeptDownload(const std::filesystem::path& root);

struct KeptDownload {
    std::filesystem::path folder;  // empty when there was nothing to keep
    int files = 0;
    FileResult result;  // what failed, if anything
};

// Keeps a copy of every ID the last download stored, so a later capture that
// clears the store, or a recorder erased afterwards, loses nothing: one data
// file per ID (ID<n>.dat, oldest sample first, with `titleUtf8`) in a new
// folder root/YYYY-MM-DD_HHMMSS named after `when` in local time. Folders are
// made 0700 and files 0600: a recording is medical data. The current data set
// is not touched.
KeptDownload KeepDownload(const RecordingStore& store, RecordOrder order, std::string_view titleUtf8,
                          const std::filesystem::path& root,
                          std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

}  // namespace quenda
