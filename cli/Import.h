#pragma once

#include "formats/Import.h"

#include <filesystem>
#include <string>

namespace quenda {

// quenda-cli import IN.csv|IN.edf|RING-FILE OUT.dat [--id N] [--date-order dmy|mdy]
// Reads another oximeter's CSV, EDF/EDF+ or ring data file into a data file under ID N
// (default 1). Exit status 0, 1 for a file that cannot be read (the message
// names the line or field and why), an output that is the input itself (by
// name, symbolic link or hard link) or one that could not be written, 2 for
// a usage error, including an output name not ending in .dat (any case) and
// dates that fit both day/month orders without --date-order. argv[1] is the
// command. On success it prints the samples' count and the import's summary.
int ImportCommand(int argc, char** argv);

}  // namespace quenda
