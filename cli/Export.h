#pragma once

namespace quenda {

// quenda-cli export FILE.dat OUT.(txt|xls|xlsx|edf|csv) [--patients DIR]
// quenda-cli events FILE.dat OUT.txt [--patients DIR]
// The desktop program's exports of a data file, with the unit setting and the
// thresholds of ./Quenda.ini and the details of the file's ID from the
// patient file (the desktop program's, or pationtrec.dat in DIR). argv[1] is
// the command. Exit status 0, 1 for an unreadable data file or an output that
// could not be written (nothing is left behind), 2 for a usage error.
int ExportCommand(int argc, char** argv);

}  // namespace quenda
