#pragma once

namespace quenda {

// quenda-cli print FILE.dat OUT.pdf [--view report|trend|table|clinical] [--page N]
// [--patients DIR]: one landscape A4 page of a data file as a PDF, drawn by the
// routines the desktop program prints with. argv[1] is "print". Exit status 0,
// 1 when the data file is bad or the PDF cannot be written (nothing is left
// half-written), 2 for a usage error.
int PrintCommand(int argc, char** argv);

}  // namespace quenda
