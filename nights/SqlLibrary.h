#pragma once

// The library's store logic, written once over an SQL connection
// (SqlDatabase.h): adding, reading, notes and exclusions, putting nights
// right, the scoring and the replay of the journal. A store derives from it
// and says only what differs where its nights are kept: where a source's
// records are read from, what a source is recorded as when added, where the
// journal goes, and how it is opened.

#include "nights/Journal.h"
#include "nights/Library.h"
#include "nights/LibraryRules.h"
#include "nights/SqlDatabase.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <unordered_map>
#include <vector>

namespace quenda {

class SqlLibrary : public NightLibrary {
public:
    ~SqlLibrary() override;

    AddResult AddSamples(const std::filesystem::path& source, int id, std::span<const SampleRecord> samples,
                         const AddOptions& options) override;
    FileResult ForEach(const NightFilter& filter, const std::function<void(const NightRow&)>& visit) override;
    FileResult Show(NightNumber night, NightRow& row) override;
    std::vector<PlacedNight> NightsIn(int id, std::span<const SampleRecord> samples) override;
    FileResult SetNote(NightNumber night, std::string_view note) override;
    FileResult SetName(NightNumber night, std::string_view name) override;
    FileResult Remove(NightNumber night) override;
    FileResult LoadNight(NightNumber night, std::vector<SampleRecord>& samples, std::string* title = nullptr) override;
    FileResult Shift(NightNumber night, std::int64_t seconds) override;
    FileResult Unshift(NightNumber night) override;
    FileResult Merge(NightNumber a, NightNumber b, NightNumber* merged = nullptr) override;
    FileResult Unmerge(NightNumber night, NightNumber* second = nullptr) override;
    FileResult Split(NightNumber night, std::int32_t index, NightNumber* second = nullptr) override;
    FileResult Unsplit(NightNumber night, NightNumber* first = nullptr) override;
    FileResult Changes(NightNumber night, NightChanges& changes) override;
    FileResult Exclusions(NightNumber night, std::vector<SampleSpan>& spans) override;
    FileResult SetExclusions(NightNumber night, std::span<const SampleSpan> spans,
                             std::span<const SampleRecord> samples = {}) override;
    FileResult SetScoring(int id, const ScoredStudy& study) override;
    FileResult Scoring(NightNumber night, ScoredStudy& study) override;
    std::int64_t DataVersion() const override;
    FileResult UpdateFigures() override;

    // The connection, for a store's own SQL (its rebuild, its copy).
    SqlDatabase& Database() const { return *db_; }

    // What a rebuild or a copy does with the store.
    //
    // Night numbers to give to nights met again, by ID and start, each with
    // the samples it was given to (none from a journal line of an older
    // Quenda, which names a night by ID and start alone).
    struct Numbered {
        std::int32_t samples = 0;
        std::int64_t digest = 0;
        NightNumber number = 0;
    };
    using Numbers = std::map<NightKey, std::vector<Numbered>>;
    // AddSamples, giving a night met again its old number in `numbers` when
    // no other night holds it. `title`, when given, is the report title the
    // samples carry where they were read (a copied library's source), which
    // the file at `source` may not hold (or not be there to hold).
    AddResult AddNumbered(const std::filesystem::path& source, int id, std::span<const SampleRecord> samples,
                          const AddOptions& options, const Numbers* numbers, const std::string* title = nullptr);
    // The journal's changes made again, in the order they were made: see
    // SqlLibraryReplay.cpp.
    // `journalled`, when given (a copy, whose target's journal does not hold
    // the lines yet): each line made again, naming the night it was made to,
    // goes to the journal in the replay's transaction and is handed back.
    FileResult ReplayChanges(const std::vector<JournalEntry>& changes, const std::set<NightNumber>& kept,
                             std::set<NightNumber>& noted, std::set<NightNumber>& excluded,
                             std::vector<JournalEntry>* journalled = nullptr);
    // The figures of the nights that `filter` (all when null) or `only`
    // picks whose stored figures follow other settings than the library's
    // (`markedOnly`: only those a change marked to compute again), computed
    // without storing them.
    FileResult ComputeFigures(const FigureSettings& settings, const NightFilter* filter,
                              std::optional<NightNumber> only, bool markedOnly,
                              std::vector<std::pair<NightNumber, ComputedFigures>>& fresh);
    // Keeps the night `removal` names (its ID, start, samples and digest) out
    // of later adds, inside the caller's transaction; `source` and `first`:
    // where its samples lie, when known. False when it cannot be written.
    bool KeepOut(const JournalEntry& removal, const std::string& source = {}, std::int64_t first = 0);
    // Replaces the night's exclusions, inside the caller's transaction; its
    // figures are computed again when next read, unless the caller stores
    // them.
    FileResult SetSpans(NightNumber night, std::span<const SampleSpan> spans);
    // Those figures stored, inside the caller's transaction.
    FileResult StoreComputed(const FigureSettings& settings, bool markedOnly);
    // The failure of the last call to the database: kNotLibrary when it is
    // damaged, else `message`, naming where it is.
    FileResult DbFailure(const char* message) const;

    // How the rules read a source's records: through ReadSource.
    SourceReader Reader();

    // What a copy (LibraryCopy.h) asks of the stores at either end.
    //
    // The journal's lines, oldest first.
    virtual FileResult JournalLines(std::vector<JournalEntry>& entries) = 0;
    // Whether the source a night's row names is there to read.
    bool SourceThere(const std::string& source) { return HasSource(source); }
    // The path a source was added from, as a user knows it: the source itself
    // where the store keeps its sources as files.
    virtual std::string OriginOf(const std::string& source);
    // Where the records of a copied library's `source` (`contents`, added
    // there from `origin`) are added from into this store: `origin` itself,
    // unless the store keeps only paths and `origin` is not a file here
    // holding them (it is when it is `source` itself: a store of files).
    virtual FileResult PlaceCopiedSource(const std::string& source, const std::string& origin,
                                         const DataFileContents& contents, std::filesystem::path& path);

protected:
    SqlLibrary(std::filesystem::path location, std::unique_ptr<SqlDatabase> db);

    // What differs between stores.
    //
    // The records of `source`, as a night's row names it; on failure
    // `contents` is left as it was, and a source that is not there at all
    // gives kSourceMissing naming it. Every read of a night's samples comes
    // here: LoadNight, the figures, a merge's and a cut's checks, the checks
    // of an add against a held night, placing nights in a data set.
    virtual FileResult ReadSource(const std::string& source, DataFileContents& contents) = 0;
    // Whether `source` is there to read (a listing's "missing").
    virtual bool HasSource(const std::string& source) = 0;
    // Records the source an add reads (`origin`, whose records `records`
    // are, titled `title` when the caller knows, else as the file at `origin`
    // says) inside the add's transaction, and gives what the nights' rows
    // name it by (`recorded`).
    virtual FileResult RecordSource(const std::filesystem::path& origin, int id, std::span<const SampleRecord> records,
                                    const std::string* title, std::string& recorded) = 0;
    // The SQL a listed row's source is shown by (NightRow::source): the
    // column as recorded, unless a store records a source by another name
    // than the one a user knows it by.
    virtual std::string ShownSource() const;
    // Appends a change's journal lines, inside the change's transaction.
    virtual FileResult Journal(const std::vector<JournalEntry>& entries) = 0;

    std::unique_ptr<SqlDatabase> db_;

private:
    // Adding (SqlLibraryAdd.cpp).
    struct NightStatements;
    bool Match(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples,
               NightMatch& outcome, NightNumber& match);
    // Whether the user removed `night` (its `samples`): a removal names its
    // samples (the same night, or a shorter or longer copy, as ClassifyNight
    // tells), or, made before removals named them, its ID and start alone.
    bool Removed(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples);
    FileResult ExtendHeld(NightNumber match, const FoundNight& night, std::span<const SampleRecord> samples,
                          const std::string& sourceText, const AddOptions& options);
    bool InsertNight(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> records,
                     const std::string& name, const std::string& sourceText, std::int64_t now, const Numbers* numbers,
                     NightNumber& number);

    // Reading and the changes that are no putting right (SqlLibrary.cpp).
    // Replaces a night's stored figures and the settings they follow.
    FileResult StoreFigures(NightNumber night, const ComputedFigures& figures);
    // The digest of a night's samples as stored; 0 when there is no such night.
    std::int64_t DigestOf(NightNumber night);
    // One night's row as stored, without bringing its figures up to date.
    FileResult ReadOne(NightNumber night, NightRow& row);
    // The columns such a row is read from (ShownSource's among them); without
    // `clinicalColumns`, NULL in their place: a server need not send them.
    const std::string& RowColumns(bool clinicalColumns = true);
    std::string rowColumns_[2];
    // The listed night that holds `night`: itself unless merged into another.
    NightNumber Outermost(NightNumber night);
    // Whether the night is listed: kNoNight when there is no such night,
    // kMergedInto when it is hidden in a merged night.
    FileResult Listed(NightNumber night);
    // The listed night's ID, recorded start and samples, for a journal line.
    FileResult Key(NightNumber night, JournalEntry& line);
    // The listed night a journal line names, if any: the one of its ID and
    // start whose source holds the samples it names (they may have grown
    // since, by a later download); of a line that names none, the longest.
    std::optional<NightNumber> KeyNight(const JournalEntry& line);
    // The listed night of that ID and start that lies next after `first` in
    // its source (the later night of a merge), else as KeyNight.
    std::optional<NightNumber> NightAfter(NightNumber first, int id, std::int64_t start);
    FileResult DoRemove(NightNumber night, std::vector<JournalEntry>& journal);

    // Putting nights right (SqlLibraryChanges.cpp): each checks, changes
    // the database and adds its journal line to `journal`, inside the
    // caller's transaction. A rebuild replays the journal through the same
    // functions (and drops the lines).
    FileResult ReadPlace(NightNumber night, NightPlace& place, bool hiddenToo = false);
    FileResult ShiftTo(NightNumber night, std::int64_t clockShift, std::vector<JournalEntry>& journal);
    FileResult DoMerge(NightNumber a, NightNumber b, std::vector<JournalEntry>& journal, NightNumber& merged);
    FileResult DoUnmerge(NightNumber night, std::vector<JournalEntry>& journal, NightNumber& second);
    FileResult DoSplit(NightNumber night, std::int32_t index, std::optional<NightNumber> number,
                       std::vector<JournalEntry>& journal, NightNumber& second);
    FileResult DoUnsplit(NightNumber night, std::vector<JournalEntry>& journal, NightNumber& first);
    // Where a change leaves a night's samples: `samples` of `source` from
    // `first`, their digest, the last as recorded at `end`.
    struct NightExtent {
        std::int64_t end = 0;
        std::int64_t samples = 0;
        std::string source;
        std::int64_t first = 0;
        std::int64_t digest = 0;
    };
    // Moves the row of `night` (recorded from `start`) to `extent`, its note
    // replaced when one is given; its figures are computed again when next
    // read.
    FileResult SetExtent(NightNumber night, std::int64_t start, const NightExtent& extent,
                         const std::optional<std::string>& note);
    // A journal line replayed (SqlLibraryReplay.cpp).
    FileResult ReplayOne(const JournalEntry& e, NightNumber night, const std::set<NightNumber>& kept,
                         std::vector<JournalEntry>& dropped);

    // The scoring (SqlLibraryScoring.cpp): stored and journalled, and a night's,
    // by its ID, recorded start and clock shift.
    FileResult DoSetScoring(int id, const ScoredStudy& study, std::vector<JournalEntry>& journal);
    ScoredStudy NightScoring(int id, std::int64_t start, std::int64_t end, std::int64_t clockShift);
    // Whether a row answers the night-numbered `sql`.
    bool Exists(const char* sql, NightNumber night);
    bool IsSplitHalf(NightNumber night);
    bool IsMergedNight(NightNumber night);
    // Runs `change` in one transaction with its journal lines.
    FileResult Change(const std::function<FileResult(std::vector<JournalEntry>&)>& change);
    // The same for a change that names a night (the one merged into, made,
    // listed again or kept): it goes to `named`, when asked for, once made.
    FileResult ChangeNaming(NightNumber* named,
                            const std::function<FileResult(std::vector<JournalEntry>&, NightNumber&)>& change);
};

// A scoring as the journal's text: the source, then a line per annotation
// ("onset,duration,kind,stage,text"); and back.
std::string ScoringText(const ScoredStudy& study);
bool ParseScoringText(std::string_view text, ScoredStudy& study);

}  // namespace quenda
