#pragma once

// What the `nights` commands share: their options, opening the library they
// name, and the small parsers and printers every command uses. The commands
// themselves are in rooms by what they do to the library: reading it
// (NightsReading.cpp), changing it (NightsChanging.cpp), putting its nights
// right (NightsPuttingRight.cpp); Nights.cpp reads the command line and
// dispatches.

#include "formats/Import.h"
#include "nights/Library.h"
#include "views/NightsLayout.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenda::nights_cli {

struct NightsOptions {
    std::optional<std::string> library;
    std::optional<std::string> patients;
    std::optional<int> id;
    std::optional<std::string> from;
    std::optional<std::string> to;
    std::optional<std::string> figure;
    std::optional<std::string> dividingDate;  // nights summary and report: before it, and on or after it
    bool json = false;
    bool csv = false;
    DateOrder dateOrder = DateOrder::Unknown;  // nights add of a CSV file
    std::optional<std::string> events;         // nights add of an EDF file: its scoring XML
    std::vector<std::string> positional;
};

// Reads argv[3...] into `o`; the problem, for the usage error, or nothing.
std::string ParseNightsOptions(int argc, char** argv, const std::vector<std::string_view>& allowed, NightsOptions& o);
// The usage error of the nights commands: `problem`, then their usage.
int Usage(const std::string& problem);

// Writes `text` to stdout: false when it could not.
bool Print(const std::string& text);
// The last words of a command that did its work: its exit status.
int Printed(const std::string& text);

// A whole number 0 or more in at most 18 digits.
std::optional<long long> ParseNumber(const std::string& text);
std::optional<NightNumber> ParseNight(const std::string& text);

std::filesystem::path PatientFileFor(const NightsOptions& o);
// The settings of the moment, and the patient names read quietly: a night is
// added all the same when the patient file cannot be read.
AddOptions AddOptionsFor(const std::filesystem::path& patientFile);

// The library, or nothing with `code` set to the failure's exit status.
// Reading (ExistingOnly) a library that is not there makes nothing and
// gives nothing with `code` kExitOk: a mistyped --library lists no nights
// rather than leaving folders and an empty library behind. Its listed figures
// follow the settings file's thresholds and profile.
std::unique_ptr<NightLibrary> OpenLibrary(const NightsOptions& o, int& code,
                                          LibraryOpening opening = LibraryOpening::Create);
// What show and export say of a night in a library that is not there.
int NoNight(NightNumber night);
// The library holding `night`, to change it: a library that is not there
// holds no night, and none is made for the refusal.
std::unique_ptr<NightLibrary> LibraryOfNight(const NightsOptions& o, NightNumber night, int& code);

std::string AddSummary(const AddResult& r);
// --id, --from and --to, which list and report read alike.
NightFilter FilterOf(const NightsOptions& o);
// The window's filter for --id, --from and --to: the report's header and what
// is said of a selection without nights name them alike.
NightSearch WindowFilterOf(const NightsOptions& o);
// A report or summary of no nights is refused rather than made empty.
int NoNights(const NightsOptions& o);

// Reading the library (NightsReading.cpp).
int List(const NightsOptions& o);
int Summary(const NightsOptions& o);
int Show(const NightsOptions& o);
int Export(const NightsOptions& o);
int Report(const NightsOptions& o, int argc, char** argv);

// Changing it (NightsChanging.cpp).
int Add(const NightsOptions& o);
int Note(const NightsOptions& o);
int Exclude(const NightsOptions& o);
int Include(const NightsOptions& o);
int Remove(const NightsOptions& o);

// Putting its nights right (NightsPuttingRight.cpp).
int Shift(const NightsOptions& o);
int Unshift(const NightsOptions& o);
int Merge(const NightsOptions& o);
int Unmerge(const NightsOptions& o);
int Split(const NightsOptions& o);
int Unsplit(const NightsOptions& o);
int Rebuild(const NightsOptions& o);

}  // namespace quenda::nights_cli
