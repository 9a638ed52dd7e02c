#pragma once

#include "store/DataFile.h"  // FileResult
#include "store/SampleRecord.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

// Other oximeters' files (CSV, EDF, EDF+C, EDF+D) read into the program's own
// data set: one SampleRecord per second with its own time stamp, every one
// under the ID the user chose. Seconds a file does not cover are left out (the
// time stamps jump), so a gap stays a gap. A missing value is stored as SpO2
// 127 and pulse 255, outside the validity range, like the recorder's own "no
// reading". A value the data set can hold (SpO2 0 to 127, pulse 0 to 255) is
// kept as it is, valid or not, so our own exports read back the very samples
// they were made from; a larger or negative one is stored as a missing one.

inline constexpr std::uint8_t kNoSpO2 = 127;
inline constexpr std::uint8_t kNoPulse = 255;
// The measurements a faster EDF signal's samples are averaged over.
inline constexpr int kImportMaxSpO2 = 100;
inline constexpr int kImportMaxPulse = 250;
// The most a data set holds.
inline constexpr int kStoredMaxSpO2 = 127;
inline constexpr int kStoredMaxPulse = 255;

// The longest a CSV file is taken to be: a header and a full data set's rows,
// each line given ten times the 26 bytes our own export writes, room for a
// quoted date and time with fraction and zone, values with decimals and a
// handful of other columns.
inline constexpr std::uint64_t kCsvLineRoom = 256;
inline constexpr std::uint64_t kMaxCsvFile = kCsvLineRoom * (kMaxSamples + 1);
static_assert(kMaxCsvFile == 132'710'656, "import_message::kCsvTooLarge names the size");

// How a date written with the day and month both before the year is read.
enum class DateOrder { Unknown, Dmy, Mdy };

struct ImportOptions {
    int id = 1;                                // 1..127
    DateOrder dateOrder = DateOrder::Unknown;  // needed only when a file's dates fit both
};

struct ImportResult {
    bool ok = false;
    // What the reader made of the file, for the import's summary: the columns
    // read and left out, a zone converted, the seconds without a reading.
    std::vector<std::string> summary;
    // Why the file was refused, naming the line and field where there is one.
    std::string message;
    // Set when the refusal is only that the dates fit both day/month orders:
    // the caller asks (the program with a two-choice question, quenda-cli
    // through --date-order) and reads again.
    bool dateOrderAmbiguous = false;
    std::vector<SampleRecord> samples;

    explicit operator bool() const { return ok; }
};

namespace import_message {
inline constexpr const char* kAmbiguousDates =
    "The dates fit both day/month/year and month/day/year; say which the file uses (--date-order dmy|mdy).";
inline constexpr const char* kEmpty = "The file holds no samples.";
// A file of "no reading" alone (an oximeter not attached) is no night.
inline constexpr const char* kNoSpO2Reading = "The file holds no SpO2 reading.";
inline constexpr const char* kNoRecords = "The EDF file has no data records.";
inline constexpr const char* kTooLong =
    "The file covers more than 144 hours; a data set holds at most 518,400 seconds.";
inline constexpr const char* kNotCsvOrEdf = "The file is neither CSV nor EDF.";
inline constexpr const char* kRingTooShort = "The ring's data file is cut short";
inline constexpr const char* kFolder = "The path is a folder, not a CSV or EDF file.";
inline constexpr const char* kNotAFile =
    "The path is not a regular file (a FIFO, a device or a socket) and cannot be imported.";
inline constexpr const char* kCsvTooLarge =
    "The file is larger than 132,710,656 bytes (518,401 lines of 256 bytes), more than a CSV file of 144 hours takes.";
}  // namespace import_message

// "dmy" or "mdy"; Unknown for anything else.
DateOrder ParseDateOrder(std::string_view text);

// A CSV file held in memory (see Import.cpp for the shapes accepted).
ImportResult ImportCsv(std::string_view bytes, const ImportOptions& options);

// An EDF, EDF+C or EDF+D file. EDF and EDF+C are read through EDFlib; EDF+D,
// which EDFlib refuses, through ReadEdfDiscontinuous.
ImportResult ImportEdf(const std::filesystem::path& path, const ImportOptions& options);

// An EDF+D file held in memory: each data record at the onset its time-keeping
// annotation gives.
ImportResult ImportEdfDiscontinuous(std::span<const std::uint8_t> bytes, const ImportOptions& options);

// Whether the bytes start like an EDF header ("0" and seven spaces).
bool LooksLikeEdf(std::span<const std::uint8_t> head);

// The ring oximeter's own data file, held in memory. `name` is its file name,
// whose 14 digits (yyyyMMddHHmmss) give the start when they differ from the
// header's.
ImportResult ImportRing(std::span<const std::uint8_t> bytes, std::string_view name, const ImportOptions& options);

// Whether the bytes start like the ring's data file: version 3 or 5, a real
// date and time, a size that holds the header.
bool LooksLikeRing(std::span<const std::uint8_t> head);
inline constexpr std::size_t kRingHeader = 40;

// Reads a CSV, EDF or ring file, telling them apart by content. Only a regular
// file is read, and no larger one than its kind holds for a full data set:
// for a CSV file kMaxCsvFile, for an EDF file its header and the data records
// of 518,400 seconds.
ImportResult ImportFile(const std::filesystem::path& path, const ImportOptions& options);

// Where imported files are kept as data files: $XDG_DATA_HOME/Quenda/imports
// (~/.local/share/Quenda/imports).
std::filesystem::path DefaultImportsRoot();

// Writes an import to `root` as a data file named after the source
// ("night.csv" as ID `id` -> "night-ID3.dat"; "-2", "-3", ... when the name is
// taken by other samples; an identical earlier import is reused). The folder
// is made 0700 and the file 0600 and written safely. `written` receives the
// path.
FileResult KeepImport(const std::filesystem::path& source, int id, std::span<const SampleRecord> samples,
                      const std::filesystem::path& root, std::filesystem::path& written);

// Whether `path` is another oximeter's file (.csv, .edf, or an EDF or ring
// file by its bytes) rather than one of our data files or a kept-download
// folder (any folder, whatever its name).
bool IsForeignFile(const std::filesystem::path& path);

// The foreign files `path` stands for: itself when it is one, those a folder
// copied from a phone app holds (in name order); none for a data file or a
// kept download (a folder holding ID<n>.dat files), which are added as they are.
std::vector<std::filesystem::path> ForeignFilesAt(const std::filesystem::path& path);

// Reads a foreign file as ID `id` and keeps it under DefaultImportsRoot() as a
// data file, whose path it returns; nothing, with `error` set ("PATH: why"),
// when it cannot. `ambiguous` tells a file whose dates need a day/month order.
std::optional<std::filesystem::path> KeepForeignFile(const std::filesystem::path& path, int id, DateOrder order,
                                                     std::string& error, bool& ambiguous);

// The glob of a file dialog's name filter that lists the ring's data files,
// which have no extension: 14 digits somewhere in the name.
inline constexpr const char* kRingFileGlob =
    "*[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]*";

}  // namespace quenda
