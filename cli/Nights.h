#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quenda {

// quenda-cli nights add|list|show|note|remove|export|rebuild ... [--library FILE|URI]
// The library of nights from a terminal. argv[1] is "nights". Exit status 0,
// 1 for a failure (said on stderr), 2 for a usage error.
int NightsCommand(int argc, char** argv);

// The library a command uses (nights/LibraryLocation.h): --library FILE|URI
// when given, as typed, else DefaultLibraryLocation() ($QUENDA_LIBRARY, then
// $XDG_DATA_HOME/Quenda/library.sqlite).
std::string LibraryLocationFor(const std::optional<std::string>& option);

// After `quenda-cli download` kept its copy in `folder`: adds its nights to
// the library and says so on stderr. A failure (a server out of reach) is
// said with where the download is kept and how to add it later, and changes
// nothing else: the download is kept whatever the library does.
void AddKeptDownloadNights(const std::filesystem::path& folder, const std::string& library);

}  // namespace quenda
