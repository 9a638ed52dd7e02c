#pragma once

#include "patient/PatientRecord.h"

#include <filesystem>

namespace quenda {

// quenda-cli export FILE.dat OUT.(txt|xls|xlsx|edf|csv) [--patients DIR]
// quenda-cli events FILE.dat OUT.txt [--patients DIR]
// The desktop program's exports of a data file, with the unit setting and the
// thresholds of ./Quenda.ini and the details of the file's ID from the
// patient file (the desktop program's, or pationtrec.dat in DIR). argv[1] is
// the command. Exit status 0, 1 for an unreadable data file or an output that
// could not be written (nothing is left behind), 2 for a usage error.
int ExportCommand(int argc, char** argv);

// The patient file the desktop program installed beside quenda-cli uses.
std::filesystem::path DefaultPatientFile();
// The details of `id` from the patient file; an ID without a slot, or a slot
// never written, gives a record holding only the ID. A file that cannot be
// read is said on stderr.
PatientRecord ReadPatient(const std::filesystem::path& file, int id);

}  // namespace quenda
