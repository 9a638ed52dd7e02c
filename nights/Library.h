#pragma once

#include "analysis/NightAnalysis.h"
#include "nights/LibraryLocation.h"
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
#include <utility>
#include <vector>

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
// The user may also put nights right, each change journalled the same way
// and undone by its own command:
//
// - A clock shift (Shift) corrects a recorder whose clock was wrong. The
//   night's samples and file stay as recorded; the library keeps the seconds
//   and gives the night out shifted: its listed start, end and date, and its
//   samples wherever they are read from the library (LoadNight, and the
//   figures it computes, whose JSON carries sample times). A night is known
//   again by its ID and its recorded start, never the shifted one, so a later
//   download or a rebuild that meets it again finds it and the shift stays.
// - A merge joins two nights of one ID that follow each other within
//   kMergeWithinSeconds into the earlier one, which keeps its number; the
//   seconds between them are a gap of the merged night. Its samples must lie
//   side by side in one data file (a kept download holds a broken night so),
//   as one range like any other night's; nights that do not are refused.
//   The later night stays in the library, hidden and its number retired, so
//   that a later download that holds it again knows it, and Unmerge brings it
//   back as it was. Merges stack: a merged night may be merged again, and
//   each Unmerge undoes the last.
// - A split cuts a night in two at a sample; the second half gets a new
//   number, the note stays with the first. Unsplit joins them again.
//
// A night that was merged, or is half of a split, does not grow when a later
// download holds more of it: that download is "already in the library".

// Every FileResult message names the library file (or the data file) it is
// about. One NightLibrary per thread; several processes may use one file at
// once (each write waits up to kLibraryBusyTimeoutMs for the others).

// The schema this build writes (PRAGMA user_version). Older files are
// migrated step by step on open, after a copy "<file>.v<old>.bak" is made.
inline constexpr int kLibrarySchemaVersion = 8;
inline constexpr int kLibraryBusyTimeoutMs = 10'000;

namespace library_message {
// %1: the library file.
inline constexpr const char* kCantOpen = "The nights library %1 can't be opened";
inline constexpr const char* kNotLibrary =
    "The nights library %1 is damaged or is no database; `quenda-cli nights rebuild` moves it aside and builds a new "
    "one";
inline constexpr const char* kNewer = "The nights library %1 was made by a newer Quenda";
inline constexpr const char* kCantWrite = "The nights library %1 can't be changed";
// A server's login granted only the reading role.
inline constexpr const char* kMayOnlyRead =
    "This login may only read the nights library %1; changes need the role quenda_change";
inline constexpr const char* kNotRebuilt = "The nights library %1 could not be rebuilt; it is left as it was";
inline constexpr const char* kServerNotRebuilt =
    "The nights library %1 is on a server, which keeps every night's samples itself; it is not rebuilt from data "
    "files";
// %1: the night's number.
inline constexpr const char* kNoNight = "There is no night %1 in the library.";
// %1: the source file.
inline constexpr const char* kSourceMissing = "The file %1 holding this night is missing.";
inline constexpr const char* kSourceChanged = "The file %1 no longer holds this night.";
inline constexpr const char* kBadSpan = "The span is not inside the night.";
inline constexpr const char* kNoteNotText = "The note is not UTF-8 text; it was not stored.";
// Putting nights right. %1, %2: night numbers.
inline constexpr const char* kMergedInto = "Night %1 was merged into night %2.";
inline constexpr const char* kNotShifted = "The clock of night %1 is not shifted.";
inline constexpr const char* kShiftOutOfRange = "Shifted so, night %1 would lie outside the years 2000 to 2127.";
inline constexpr const char* kMergeItself = "Night %1 can't be merged with itself.";
// %3, %4: the IDs.
inline constexpr const char* kMergeIds = "Nights %1 and %2 are of different IDs (%3 and %4); they can't be merged.";
inline constexpr const char* kMergeApart =
    "Nights %1 and %2 are more than 12 hours apart; only nights that follow each other within 12 hours are merged.";
inline constexpr const char* kMergeOverlap = "Nights %1 and %2 overlap in time; they can't be merged.";
inline constexpr const char* kMergeShifts = "Nights %1 and %2 have different clock shifts; shift them alike first.";
inline constexpr const char* kMergeNotSideBySide =
    "Nights %1 and %2 do not lie side by side in one data file; they can't be merged.";
inline constexpr const char* kSplitHalf = "Night %1 is half of a split night; unsplit it first.";
inline constexpr const char* kIsMerged = "Night %1 is a merged night; unmerge it first.";
inline constexpr const char* kNotMerged = "Night %1 is not a merged night.";
inline constexpr const char* kNotSplit = "Night %1 was not split.";
// %2: its samples, %3: the last index a split may take.
inline constexpr const char* kSplitAt = "Night %1 has %2 samples: it is split at a sample from 1 to %3.";
}  // namespace library_message

// The longest gap, end of the first night to start of the second, that a
// merge bridges: a night broken by the recorder switched off for a while.
inline constexpr std::int64_t kMergeWithinSeconds = 12 * 3600;

// $QUENDA_LIBRARY when set to a file, else $XDG_DATA_HOME/Quenda/library.sqlite
// (~/.local/share/...). DefaultLibraryLocation() may be a server.
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

    void Include(const AddResult& other);
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
    std::string source;            // its source, as the store names it
    std::int64_t first = 0;        // the index of its first sample in that file
};

// Tells `found`, a night's samples (oldest first) with `foundDigest`, against
// `held`. A held night longer than the one found is the same night when it
// begins with it: its source (read by `readSource`, LibraryRules.h's
// SourceReader) tells, and when that is gone or short of it, the same ID and
// start second say so.
NightMatch ClassifyNight(const HeldNight& held, std::span<const SampleRecord> found, std::int64_t foundDigest,
                         const std::function<FileResult(const std::string&, DataFileContents&)>& readSource);

// The ID of a data file's recording: a data file holds one ID; its records
// carry it too, and the header's may be 0 in files from elsewhere.
int RecordingId(const DataFileContents& contents);

// The data files a path stands for: the file itself, or every "ID<n>.dat" in
// a folder (a kept download), by ID.
std::vector<std::filesystem::path> DataFilesIn(const std::filesystem::path& path);

// Whether opening a library that is not there makes it.
enum class LibraryOpening {
    Create,        // what every change does: the folders (0700) and the file (0600) are made
    ExistingOnly,  // what a reading does: nothing is made
};

// The library's operations, whatever keeps its nights. SqlLibrary.h carries
// them out over an SQL connection; the SQLite store (SqliteLibrary.h) is the
// one a single computer uses; the rules every store follows are in
// LibraryRules.h.
class NightLibrary {
public:
    // Opens the library at `location` (LibraryLocation.h): a file, created
    // (and its folder, 0700; the file 0600) when it does not exist, an older
    // schema migrated; or a server's URI, the library on that server
    // (PostgresLibrary.h), asking `ask` for a password the server wants that
    // libpq's own means did not give. Nothing on failure, with `result`
    // naming the file or server; a damaged file is never written to.
    // ExistingOnly: a library that is not there gives nothing with `result`
    // ok (no library, so no nights), and nothing is made.
    static std::unique_ptr<NightLibrary> Open(const std::string& location, FileResult& result,
                                              LibraryOpening opening = LibraryOpening::Create,
                                              const PasswordPrompt& ask = {});
    virtual ~NightLibrary() = default;
    NightLibrary(const NightLibrary&) = delete;
    NightLibrary& operator=(const NightLibrary&) = delete;

    const std::filesystem::path& File() const { return file_; }

    // The settings the listed figures follow: every read (List, ForEach,
    // Show) gives, for each night whose stored figures were computed under
    // other settings, the figures of its samples and exclusions under these,
    // computed for that reading alone: a read writes nothing. A night whose
    // file is gone keeps the figures it has. Set it from the settings file
    // before reading; FigureSettings{} until then.
    void SetFigureSettings(const FigureSettings& settings) { settings_ = settings; }
    const FigureSettings& CurrentFigureSettings() const { return settings_; }

    // Adds the nights of data files or kept-download folders. Each file's
    // nights go in one transaction: all of them or none.
    AddResult AddPaths(std::span<const std::filesystem::path> paths, const AddOptions& options);
    AddResult AddFile(const std::filesystem::path& dataFile, const AddOptions& options);
    // Adds the nights of samples the caller already holds, which are exactly
    // the records of the data file `source` (index 0 first).
    virtual AddResult AddSamples(const std::filesystem::path& source, int id, std::span<const SampleRecord> samples,
                                 const AddOptions& options) = 0;

    // Oldest night first (by start, then number).
    FileResult List(const NightFilter& filter, std::vector<NightRow>& rows);
    // The same nights one at a time, in the same order, without holding them
    // all: a listing of thousands of nights streams. The row passed is
    // reused for the next night.
    virtual FileResult ForEach(const NightFilter& filter, const std::function<void(const NightRow&)>& visit) = 0;
    // One night; kNoNight when there is none. `missing` is always looked at.
    virtual FileResult Show(NightNumber night, NightRow& row) = 0;
    // Where listed nights lie in `samples` (one ID's, oldest first: a data
    // set opened in the program), in order: each night the night rule finds
    // there is placed by its start, as recorded or as shifted, when the
    // samples there are the night's own (or its first part, when the data
    // set ends sooner); a merged night over the nights of the rule it joins,
    // the halves of a split night each over its part. What no listed night
    // matches (another recording that started at the same second, say) is
    // placed with no night.
    struct PlacedNight {
        std::optional<NightNumber> night;
        std::int32_t first = 0;  // indexes into `samples`, both included
        std::int32_t last = 0;
        // The night's own length when `samples` hold only its first part
        // (an earlier download of it); 0 when they hold all of it.
        std::int32_t nightSamples = 0;
        bool operator==(const PlacedNight&) const = default;
    };
    virtual std::vector<PlacedNight> NightsIn(int id, std::span<const SampleRecord> samples) = 0;

    // Replaces the note (empty clears it); journalled. A note that is not
    // UTF-8 is refused (kNoteNotText) and nothing changes.
    virtual FileResult SetNote(NightNumber night, std::string_view note) = 0;
    // Replaces the patient name the night is listed under (UTF-8; the name
    // filter reads it). Not journalled: a rebuild reads names from the
    // patient file, where the program keeps them.
    virtual FileResult SetName(NightNumber night, std::string_view name) = 0;
    // Forgets the night (its file stays) for good: later downloads that hold
    // it again do not bring it back, nor does a rebuild (it is journalled).
    virtual FileResult Remove(NightNumber night) = 0;

    // Reads the night's samples from its file into `samples` (replaced), after
    // checking the file still holds that night, their times moved by its
    // clock shift; on failure `samples` is untouched and the message says the
    // file is missing or changed. Every export of a library night, its
    // analysis and the Nights window's Open read it here. `title`, when
    // given, receives the report title its file holds.
    virtual FileResult LoadNight(NightNumber night, std::vector<SampleRecord>& samples,
                                 std::string* title = nullptr) = 0;

    // Putting nights right (see above); each journalled, each refused with a
    // message naming the night (library_message) and nothing changed. The
    // figures of every night changed are computed again when next read.
    //
    // Moves the night's times by `seconds` more (its shift is the sum; the
    // sum 0 is no shift). Refused when a time would leave the years a sample
    // can hold.
    virtual FileResult Shift(NightNumber night, std::int64_t seconds) = 0;
    // Takes the shift away; refused when there is none.
    virtual FileResult Unshift(NightNumber night) = 0;
    // Merges two nights, given in either order, into the earlier
    // (`merged`): same ID and clock shift, the later starting 1 second to
    // kMergeWithinSeconds after the earlier ends. Notes are joined, the
    // earlier's first, by a line break; exclusions kept (the later's
    // re-indexed). A night that is half of a split is refused.
    virtual FileResult Merge(NightNumber a, NightNumber b, NightNumber* merged = nullptr) = 0;
    // Undoes the night's last merge: the two nights as they were, the later
    // with its number and note, the earlier with its note unless the merged
    // night's was changed since (then it keeps that), the exclusions divided
    // between them, both with the merged night's clock shift.
    virtual FileResult Unmerge(NightNumber night, NightNumber* second = nullptr) = 0;
    // Splits the night before sample `index` (1 to samples - 1): the night
    // keeps its first `index` samples, note and number; the rest becomes a
    // new night (`second`), with the same clock shift. Exclusions are divided.
    // A merged night is refused, and so is the first half of a split (unsplit
    // it first); a second half may be split again.
    virtual FileResult Split(NightNumber night, std::int32_t index, NightNumber* second = nullptr) = 0;
    // Joins a split night again, given either half (`first`: the night kept):
    // the second half's number is retired, its note added to the first's.
    // Refused when the second half was split in turn (undo that first).
    virtual FileResult Unsplit(NightNumber night, NightNumber* first = nullptr) = 0;
    // What was done to the night.
    virtual FileResult Changes(NightNumber night, NightChanges& changes) = 0;

    // The user's exclusions of a night, sample indexes within it, sorted.
    virtual FileResult Exclusions(NightNumber night, std::vector<SampleSpan>& spans) = 0;
    // Replaces them (spans must lie inside the night) and the night's figures,
    // computed again with them under CurrentFigureSettings(); journalled. The
    // night's samples are read from its file unless `samples` (which a caller
    // that holds them passes) are the night's own; a night whose file is
    // missing or changed is then left as it was, and the result says why.
    virtual FileResult SetExclusions(NightNumber night, std::span<const SampleSpan> spans,
                                     std::span<const SampleRecord> samples = {}) = 0;

    // A sleep study's scoring (analysis/ScoredStudy.h), kept by ID and the
    // recorder's clock as recorded, so that it stays with the nights through
    // a rebuild, a shift, a split and a merge. SetScoring replaces what the
    // ID held over the study's span (times as recorded); journalled. Scoring
    // gives a night's: from its recorded start to the next listed night's of
    // its ID (the first night's also what lies before, the last's what lies
    // after), moved by its clock shift.
    virtual FileResult SetScoring(int id, const ScoredStudy& study) = 0;
    virtual FileResult Scoring(NightNumber night, ScoredStudy& study) = 0;

    // Changes whenever another connection (another window, another process)
    // commits a change to the library; -1 when it cannot be read.
    virtual std::int64_t DataVersion() const = 0;

    // Computes again and stores the figures of every night computed under
    // other settings than CurrentFigureSettings(): where the settings change
    // (the setup dialogs), so that later readings need not. Every change to
    // a night stores its new figures itself.
    virtual FileResult UpdateFigures() = 0;

protected:
    explicit NightLibrary(std::filesystem::path file) : file_(std::move(file)) {}

    std::filesystem::path file_;
    FigureSettings settings_;
};

// Opens `library` (made if missing) and adds `paths` to it: what the program
// and quenda-cli call after every kept download. A library that cannot be
// opened comes back as the result's failure; nothing is thrown.
AddResult AddToLibrary(const std::string& library, std::span<const std::filesystem::path> paths,
                       const AddOptions& options, const PasswordPrompt& prompt = {});

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
// numbers, notes, exclusions and removals, then replays the journal's
// changes in the order they were made (shifts, merges and splits with the
// notes and exclusions around them), so the nights come out as they were.
// Numbers given before are never given to another night. A damaged library is first moved
// aside as "<file>.broken-YYYYMMDD-HHMMSS"; a healthy one is rebuilt into a
// new file that replaces it at the end. Nights of a healthy library whose
// file is gone stay listed. `alsoLookIn`: folders of kept downloads (each
// subfolder's ID<n>.dat) to index as well, e.g. DefaultDownloadsRoot().
// A library on a server is refused (kServerNotRebuilt): nothing is made.
RebuildResult RebuildLibrary(const std::filesystem::path& file, const AddOptions& options,
                             std::span<const std::filesystem::path> alsoLookIn = {});

}  // namespace quenda
