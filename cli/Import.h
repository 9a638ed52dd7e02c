#pragma once

namespace quenda {

// quenda-cli import IN.csv|IN.edf OUT.dat [--id N] [--date-order dmy|mdy]
// Reads another oximeter's CSV or EDF/EDF+ file into a data file under ID N
// (default 1). Exit status 0, 1 for a file that cannot be read (the message
// names the line or field and why) or an output that could not be written,
// 2 for a usage error, including dates that fit both day/month orders
// without --date-order. argv[1] is the command.
int ImportCommand(int argc, char** argv);

}  // namespace quenda
