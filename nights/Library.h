#pragma once

#include "analysis/NightAnalysis.h"
#include "nights/Night.h"
#include "store/DataFile.h"  // FileResult
#include "store/SampleRecord.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace quenda {

// The library of nights: an SQLite index of every night found in the user's
// data files (kept downloads, saved and imported files). Samples stay in
// their files; the library holds per night where they are, its times, its
// figures, the patient name of the moment, the user's note and exclusions.
//
// The user's own additions (notes, exclusions, removals) also go, one line
// per change, to a plain journal beside the library (JournalFileOf), written
// safely inside the same lock as the database change; RebuildLibrary replays
// it, so a lost or damaged library loses none of them.
//
// Every FileResult message names the library file (or the data file) it is
// about. One NightLibrary per thread; several processes may use one file at
// once (each write waits up to kLibraryBusyTimeoutMs for the others).

// The schema this build writes (PRAGMA user_version). Older files are
// migrated step by step on open, after a copy "<file>.v<old>.bak" is made.
inline constexpr int kLibrarySchemaVersion = 4;
inline constexpr int kLibraryBusyTimeoutMs = 10'000;

namespace library_message {
// %1: the library file.
inline constexpr const char* kCantOpen = "The nights library %1 can't be opened";
inline constexpr const char* kNotLibrary =
    "The nights library %1 is damaged or is no database; `quenda-cli nights rebuild` moves it aside and builds a new "
    "one";
inline constexpr const char* kNewer = "The nights library %1 was made by a newer Quenda";
inline constexpr const char* kCantWrite = "The nights library %1 can't be changed";
// %1: the night's number.
inline constexpr const char* kNoNight = "There is no night %1 in the library.";
// %1: the source file.
inline constexpr const char* kSourceMissing = "The file %1 holding this night is missing.";
inline constexpr const char* kSourceChanged = "The file %1 no longer holds this night.";
inline constexpr const char* kBadSpan = "The span is not inside the night.";
inline constexpr const char* kNoteNotText = "The note is not UTF-8 text; it was not stored.";
}  // namespace library_message

// $QUENDA_LIBRARY when set, else $XDG_DATA_HOME/Quenda/library.sqlite
// (~/.local/share/...).
std::filesystem::path DefaultLibraryFile();
// "<library>.journal".
std::filesystem::path JournalFileOf(const std::filesystem::path& library);

// What adding needs from its caller.
struct AddOptions {
    // The settings the figures stored with each night are computed under.
    FigureSettings figures;
    // The patient name (UTF-8) of an ID now; empty when unknown. Unset: none.
    std::function<std::string(int id)> nameOf;
};

// What every road that adds nights passes: the figure settings read now from
// `settings`, and each ID's patient name read from `patientFile` when a night
// of that ID is added.
AddOptions MakeAddOptions(const Settings& settings, const std::filesystem::path& patientFile);

// What one add did. A file that fails does not stop the others.
struct AddResult {
    int added = 0;                    // new nights
    int already = 0;                  // nights already in the library, or contained in one there
    int replaced = 0;                 // nights that extended one there (its number and note kept)
    int removed = 0;                  // nights the user removed from the library before: they stay out
    std::int32_t leftOut = 0;         // samples with an impossible date or time
    int files = 0;                    // data files read
    std::vector<NightNumber> nights;  // every night met, in order, whatever became of it
    // One line per file that could not be read or added ("path: why").
    std::vector<std::string> failures;
    FileResult result;  // ok when every file was added

    void Merge(const AddResult& other);
};

// The digest the library keeps of a night's samples, by which it knows the
// night again in a later download or file.
std::int64_t NightDigest(std::span<const SampleRecord> samples);

// How a night found in a recording stands to one the library holds with the
// same ID and start.
enum class NightMatch {
    New,      // another night: it is added beside the held one
    Already,  // the same night, or a shorter, older copy of the held one
    Extends,  // the held night is this one's start: it takes this one's samples
};

// A held night, as far as telling it from a found one goes.
struct HeldNight {
    std::int32_t samples = 0;
    std::int64_t digest = 0;
    std::filesystem::path source;  // its data file
    std::int64_t first = 0;        // the index of its first sample in that file
};

// Tells `found`, a night's samples (oldest first) with `foundDigest`, against
// `held`. A held night longer than the one found is the same night when it
// begins with it: its file tells, and when that file is gone or short of it,
// the same ID and start second say so.
NightMatch ClassifyNight(const HeldNight& held, std::span<const SampleRecord> found, std::int64_t foundDigest);

// The data files a path stands for: the file itself, or every "ID<n>.dat" in
// a folder (a kept download), by ID.
std::vector<std::filesystem::path> DataFilesIn(const std::filesystem::path& path);

// Whether opening a library that is not there makes it.
enum class LibraryOpening {
    Create,        // what every change does: the folders (0700) and the file (0600) are made
    ExistingOnly,  // what a reading does: nothing is made
};

class NightLibrary {
public:
    // Opens `file`, creating it (and its folder, 0700; the file 0600) when it
    // does not exist, migrating an older schema. Nothing on failure, with
    // `result` naming the file; a damaged file is never written to.
    // ExistingOnly: a file that is not there gives nothing with `result` ok
    // (no library, so no nights), and nothing is made.
    static std::unique_ptr<NightLibrary> Open(const std::filesystem::path& file, FileResult& result,
                                              LibraryOpening opening = LibraryOpening::Create);
    ~NightLibrary();
    NightLibrary(const NightLibrary&) = delete;
    NightLibrary& operator=(const NightLibrary&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // The settings the listed figures follow: every read (List, ForEach,
    // Show) first computes again, from its samples and exclusions, each night
    // whose stored figures were computed under other settings, and stores
    // them. A night whose file is gone keeps the figures it has. Set it from
    // the settings file before reading; FigureSettings{} until then.
    void SetFigureSettings(const FigureSettings& settings) { settings_ = settings; }
    const FigureSettings& CurrentFigureSettings() const { return settings_; }

    // Adds the nights of data files or kept-download folders. Each file's
    // nights go in one transaction: all of them or none.
    AddResult AddPaths(std::span<const std::filesystem::path> paths, const AddOptions& options);
    AddResult AddFile(const std::filesystem::path& dataFile, const AddOptions& options);
    // Adds the nights of samples the caller already holds, which are exactly
    // the records of the data file `source` (index 0 first).
    AddResult AddSamples(const std::filesystem::path& source, int id, std::span<const SampleRecord> samples,
                         const AddOptions& options);

    // Oldest night first (by start, then number).
    FileResult List(const NightFilter& filter, std::vector<NightRow>& rows);
    // The same nights one at a time, in the same order, without holding them
    // all: a listing of thousands of nights streams. The row passed is
    // reused for the next night.
    FileResult ForEach(const NightFilter& filter, const std::function<void(const NightRow&)>& visit);
    // One night; kNoNight when there is none. `missing` is always looked at.
    FileResult Show(NightNumber night, NightRow& row);
    // The night of that ID starting at that second, if listed.
    std::optional<NightNumber> FindNight(int id, std::int64_t start);

    // Replaces the note (empty clears it); journalled. A note that is not
    // UTF-8 is refused (kNoteNotText) and nothing changes.
    FileResult SetNote(NightNumber night, std::string_view note);
    // Replaces the patient name the night is listed under (UTF-8; the name
    // filter reads it). Not journalled: a rebuild reads names from the
    // patient file, where the program keeps them.
    FileResult SetName(NightNumber night, std::string_view name);
    // Forgets the night (its file stays) for good: later downloads that hold
    // it again do not bring it back, nor does a rebuild (it is journalled).
    FileResult Remove(NightNumber night);

    // Reads the night's samples from its file into `samples` (replaced), after
    // checking the file still holds that night; on failure `samples` is
    // untouched and the message says the file is missing or changed.
    FileResult LoadNight(NightNumber night, std::vector<SampleRecord>& samples);

    // The user's exclusions of a night, sample indexes within it, sorted.
    FileResult Exclusions(NightNumber night, std::vector<SampleSpan>& spans);
    // Replaces them (spans must lie inside the night) and the night's figures,
    // computed again with them under CurrentFigureSettings(); journalled. The
    // night's samples are read from its file unless `samples` (which a caller
    // that holds them passes) are the night's own; a night whose file is
    // missing or changed is then left as it was, and the result says why.
    FileResult SetExclusions(NightNumber night, std::span<const SampleSpan> spans,
                             std::span<const SampleRecord> samples = {});

    // Changes whenever another connection (another window, another process)
    // commits a change to the library; -1 when it cannot be read.
    std::int64_t DataVersion() const;

    // The underlying connection, for the tests and the benchmarks.
    sqlite3* Handle() const { return db_; }

private:
    NightLibrary(std::filesystem::path file, sqlite3* db);
    friend struct LibraryAccess;

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    FigureSettings settings_;
};

// Opens `library` (made if missing) and adds `paths` to it: what the program
// and quenda-cli call after every kept download. A library that cannot be
// opened comes back as the result's failure; nothing is thrown.
AddResult AddToLibrary(const std::filesystem::path& library, std::span<const std::filesystem::path> paths,
                       const AddOptions& options);

struct RebuildResult {
    FileResult result;
    std::filesystem::path movedAside;  // where a damaged library went, if it was
    int sources = 0;                   // source files found and read again
    int missingSources = 0;            // known files that are gone
    int nights = 0;                    // nights in the new library
    int notes = 0;                     // notes replayed from the journal
    AddResult added;
};

// `nights rebuild`: indexes every known source file again (those of the
// library, when it can be read, and those the journal names), keeping night
// numbers, notes, exclusions and removals. A damaged library is first moved
// aside as "<file>.broken-YYYYMMDD-HHMMSS"; a healthy one is rebuilt into a
// new file that replaces it at the end. Nights of a healthy library whose
// file is gone stay listed. `alsoLookIn`: folders of kept downloads (each
// subfolder's ID<n>.dat) to index as well, e.g. DefaultDownloadsRoot().
RebuildResult RebuildLibrary(const std::filesystem::path& file, const AddOptions& options,
                             std::span<const std::filesystem::path> alsoLookIn = {});

}  // namespace quenda
