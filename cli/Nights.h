#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace quenda {

// quenda-cli nights add|list|show|note|remove|export|rebuild ... [--library FILE]
// The library of nights from a terminal. argv[1] is "nights". Exit status 0,
// 1 for a failure (said on stderr), 2 for a usage error.
int NightsCommand(int argc, char** argv);

// The library a command uses: --library FILE when given, else
// DefaultLibraryFile() ($QUENDA_LIBRARY, then $XDG_DATA_HOME/Quenda/library.sqlite).
std::filesystem::path LibraryFileFor(const std::optional<std::string>& option);

// After `quenda-cli download` kept its copy in `folder`: adds its nights to
// the library and says so on stderr. A failure is said and changes nothing
// else: the download is kept whatever the library does.
void AddKeptDownloadNights(const std::filesystem::path& folder, const std::filesystem::path& library);

}  // namespace quenda
