#pragma once

#include "analysis/AnalysisResults.h"
#include "analysis/Clinical.h"
#include "analysis/ClinicalJson.h"  // ClinicalJson, moved below so the nights library stores it
#include "analysis/NightAnalysis.h"
#include "analysis/Thresholds.h"
#include "store/DataFile.h"

#include <optional>
#include <string>

namespace quenda {

// quenda-cli analyze FILE.dat [--json] [--profile raw|default]: the analysis of
// a data file with the thresholds and the clinical profile of ./Quenda.ini
// (--profile overrides the profile), as readable text or as one JSON object.
// When the file's samples are a library night's (the same placement the
// program uses for an opened data set), its exclusions are applied and the
// output says so; --no-library leaves the library alone, --library FILE names
// another. With --night N [--library FILE] instead of a file: a library
// night's, with its exclusions. argv[1] is "analyze". Exit status 0, 1 for a file or night
// that cannot be read, 2 for a usage error.
int AnalyzeCommand(int argc, char** argv);

// The JSON object the command prints (no trailing newline): the report's
// figures, then the clinical summary as "clinical".
std::string AnalysisJson(const AnalysisResults& results, const Thresholds& thresholds, int sampleCount,
                         const std::string& clinicalJson);

// The readable form: the report's table and limit lines, both event lists,
// then the clinical summary with the shape of the 3 % desaturations.
std::string AnalysisText(const DataFileContents& file, const NightAnalysis& night, const Thresholds& thresholds,
                         int averagingSeconds = 0);

// Takes "--profile raw|default" at argv[i] (moving i past its value) and says
// so; a missing or unknown value sets `problem`.
bool ProfileOption(int argc, char** argv, int& i, std::optional<ClinicalProfile>& profile, std::string& problem);

// Where a data file's exclusions come from: the library of nights (--library
// FILE, or the default one) unless --no-library.
struct LibraryChoice {
    std::optional<std::string> file;
    bool none = false;
};
// Takes "--library FILE" or "--no-library" at argv[i] (moving i past a value)
// and says so; a missing value sets `problem`.
bool LibraryOption(int argc, char** argv, int& i, LibraryChoice& choice, std::string& problem);
// The exclusions the chosen library keeps for the data file's samples, with
// "exclusions of library night N applied" in `note` when there are any
// (empty otherwise).
// `scoring`, when given, receives the scoring the library keeps for them.
Exclusions DataFileExclusions(const LibraryChoice& choice, const DataFileContents& contents, std::string& note,
                              ScoredStudy* scoring = nullptr);

}  // namespace quenda
