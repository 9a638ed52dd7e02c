#pragma once

#include "analysis/AnalysisResults.h"
#include "analysis/Thresholds.h"
#include "store/DataFile.h"

#include <string>

namespace quenda {

// quenda-cli analyze FILE.dat [--json]: the analysis of a data file with the
// thresholds of ./Quenda.ini, as readable text or as one JSON object.
// argv[1] is "analyze". Exit status 0, 1 for a file that cannot be read, 2 for
// a usage error.
int AnalyzeCommand(int argc, char** argv);

// The JSON object the command prints (no trailing newline).
std::string AnalysisJson(const AnalysisResults& results, const Thresholds& thresholds, int sampleCount);

// The readable form: the report's table and limit lines, then both event lists.
std::string AnalysisText(const DataFileContents& file, const AnalysisResults& results,
                         const Thresholds& thresholds);

}  // namespace quenda
