#pragma once

#include "formats/Import.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quenda {

// quenda-cli import IN.csv|IN.edf OUT.dat [--id N] [--date-order dmy|mdy]
// Reads another oximeter's CSV or EDF/EDF+ file into a data file under ID N
// (default 1). Exit status 0, 1 for a file that cannot be read (the message
// names the line or field and why), an output that is the input itself (by
// name, symbolic link or hard link) or one that could not be written, 2 for
// a usage error, including an output name not ending in .dat (any case) and
// dates that fit both day/month orders without --date-order. argv[1] is the
// command.
int ImportCommand(int argc, char** argv);

// Whether `path` is another oximeter's file (.csv, .edf, or EDF by its
// bytes) rather than one of our data files or a kept-download folder (any
// folder, whatever its name).
bool IsForeignFile(const std::filesystem::path& path);

// For `nights add`: reads a CSV or EDF file as ID `id` and keeps it under
// DefaultImportsRoot() as a data file, whose path it returns; nothing, with
// `error` set ("PATH: why"), when it cannot. `ambiguous` tells a file whose
// dates need --date-order.
std::optional<std::filesystem::path> KeepForeignFile(const std::filesystem::path& path, int id, DateOrder order,
                                                     std::string& error, bool& ambiguous);

}  // namespace quenda
