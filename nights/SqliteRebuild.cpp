#include "nights/Library.h"

#include "nights/Journal.h"
#include "nights/LibraryRules.h"
#include "nights/SqliteLibrary.h"
#include "store/DataFile.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <set>
#include <system_error>
#include <unordered_map>

namespace quenda {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Rebuild

namespace {

std::string BrokenSuffix() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, ".broken-%Y%m%d-%H%M%S", &local);
    return text;
}

fs::path WithSuffix(const fs::path& file, std::string_view suffix) {
    fs::path p = file;
    p += std::string(suffix);
    return p;
}

// What the old library knew, when it could be read, and what the journal
// says over it.
struct Known {
    std::vector<std::string> sources;
    SqlLibrary::Numbers numbers;
    // The old library's notes and exclusions, by night, with its samples
    // then: they stand for journal lines that are lost.
    struct Kept {
        NightKey key;
        std::int32_t samples = 0;
        std::int64_t digest = 0;
        std::string note;
        std::vector<SampleSpan> spans;
    };
    std::vector<Kept> kept;
    // The journal's last word on each removal: its line, naming the samples
    // (none in a line of an older Quenda).
    std::vector<JournalEntry> removed;
    // Each night's data file, as the library or the journal's adds name it.
    std::map<NightNumber, std::string> sourceOf;
    // The journal's changes to replay, in order.
    std::vector<JournalEntry> changes;
    // Every night number given so far: none is given again.
    NightNumber highest = 0;
};

bool ReadKnown(SqliteLibrary& lib, Known& known) {
    {
        Statement s(lib.Database(), "SELECT path FROM sources ORDER BY added_at,rowid");
        SqlStep step;
        while ((step = s.Step()) == SqlStep::Row) known.sources.push_back(s.Text(0));
        if (step != SqlStep::Done) return false;
    }
    {
        Statement s(lib.Database(), "SELECT seq FROM sqlite_sequence WHERE name='nights'");
        if (s.Step() == SqlStep::Row) known.highest = std::max(known.highest, s.Int(0));
    }
    Statement s(lib.Database(), "SELECT night,id,start,note,samples,merged_into IS NULL,digest,source FROM nights");
    SqlStep step;
    while ((step = s.Step()) == SqlStep::Row) {
        const NightKey key{static_cast<int>(s.Int(1)), s.Int(2)};
        const auto samples = static_cast<std::int32_t>(s.Int(4));
        known.numbers[key].push_back({samples, s.Int(6), s.Int(0)});
        known.sourceOf[s.Int(0)] = s.Text(7);
        known.highest = std::max(known.highest, s.Int(0));
        if (s.Int(5) == 0) continue;
        Known::Kept kept{key, samples, s.Int(6), s.Text(3), {}};
        if (!lib.Exclusions(s.Int(0), kept.spans)) kept.spans.clear();
        if (!kept.note.empty() || !kept.spans.empty()) known.kept.push_back(std::move(kept));
    }
    return step == SqlStep::Done;
}

// What the library at `file` knows, when it can be read (`healthy`). One that
// cannot is moved aside, with its -wal and -shm, so the new one starts clean
// and the old one is there for whoever wants to look into it.
FileResult ReadOrMoveAside(const fs::path& file, Known& known, bool& healthy, fs::path& movedAside) {
    healthy = false;
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    FileResult opened;
    if (auto old = SqliteLibrary::Open(file, opened, LibraryOpening::Create)) {
        healthy = ReadKnown(*old, known);
        if (!healthy) known = {};
    }
    if (healthy) return {};
    movedAside = WithSuffix(file, BrokenSuffix());
    fs::rename(file, movedAside, ec);
    if (ec) return LibraryFailure(library_message::kCantWrite, file.string(), ec.message());
    for (const char* side : {"-wal", "-shm"}) {
        const fs::path from = WithSuffix(file, side);
        if (fs::exists(from, ec)) fs::rename(from, WithSuffix(movedAside, side), ec);
    }
    return {};
}

// The journal over the old library: the sources and numbers of its adds,
// its last word on each removal, and every change, kept in order to replay.
void ReadJournalInto(const std::vector<JournalEntry>& journal, Known& known) {
    for (const JournalEntry& e : journal) {
        const NightKey key{e.id, e.start};
        known.highest = std::max(known.highest, e.night);
        switch (e.kind) {
            case JournalKind::Add:
                known.sources.push_back(e.text);
                known.numbers[key].push_back({e.samples, e.digest, e.night});
                known.sourceOf[e.night] = e.text;
                std::erase_if(known.removed, [&](const JournalEntry& r) {
                    return r.id == e.id && r.start == e.start &&
                           (r.samples == 0 || e.samples == 0 || (r.samples == e.samples && r.digest == e.digest));
                });
                break;
            case JournalKind::Remove:
                known.removed.push_back(e);
                known.changes.push_back(e);
                break;
            case JournalKind::Merge:
            case JournalKind::Split: {
                std::int64_t a = 0, b = 0;
                if (ParsePair(e.text, a, b))
                    known.highest = std::max(known.highest, e.kind == JournalKind::Split ? b : a);
                known.changes.push_back(e);
                break;
            }
            default: known.changes.push_back(e); break;
        }
    }
}

// The nights a change of the journal is made to, by ID and recorded start:
// they are added even when removed later, for the change to find them.
std::set<NightKey> ChangedNights(const Known& known) {
    std::set<NightKey> keys;
    for (const JournalEntry& e : known.changes) {
        if (e.kind == JournalKind::Note || e.kind == JournalKind::Exclusions || e.kind == JournalKind::Remove ||
            e.kind == JournalKind::Scoring)
            continue;
        keys.insert({e.id, e.start});
        std::int64_t second = 0, secondStart = 0;
        if (e.kind == JournalKind::Merge && ParsePair(e.text, second, secondStart)) keys.insert({e.id, secondStart});
    }
    return keys;
}

// Every known source file added again to `lib`, each once; a file that is
// gone is counted, one that cannot be read said. A night that cannot be
// written stops the rebuild.
FileResult AddSources(SqliteLibrary& lib, Known& known, const AddOptions& options, RebuildResult& out) {
    std::error_code ec;
    std::set<std::string> seen;
    for (const std::string& source : known.sources) {
        if (!seen.insert(source).second) continue;
        if (!fs::exists(source, ec)) {
            ++out.missingSources;
            continue;
        }
        DataFileContents contents;
        if (FileResult read = ReadDataFile(source, contents); !read) {
            out.added.failures.push_back(source + ": " + read.message);
            continue;
        }
        ++out.sources;
        const int id = contents.id != 0 || contents.records.empty() ? contents.id : contents.records.front().id;
        AddResult added = lib.AddNumbered(source, id, contents.records, options, &known.numbers);
        if (!added.result) return added.result;
        out.added.Include(added);
    }
    return {};
}

}  // namespace

namespace {

// The writes of a rebuild, each checked: the first that fails names the step
// and SQLite's reason, and the rebuild stops before the new library takes
// the old one's place.
class Writes {
public:
    explicit Writes(SqlLibrary& lib) : lib_(lib) {}
    FileResult Failed(const char* step) const {
        return FileResult{false, {}, std::string(step) + ": " + lib_.Database().LastError()};
    }
    FileResult Exec(const char* step, const char* sql) const {
        return lib_.Database().Exec(sql) ? FileResult{} : Failed(step);
    }
    FileResult Step(const char* step, Statement& s) const {
        return s.Step() == SqlStep::Done ? FileResult{} : Failed(step);
    }

private:
    SqlLibrary& lib_;
};

// The old library's notes and exclusions, where the journal says nothing of
// them (its lines lost) and the night is still the same length.
FileResult UseKept(SqlLibrary& lib, const Known& known, const std::set<NightNumber>& noted,
                   const std::set<NightNumber>& excluded) {
    const Writes writes(lib);
    constexpr const char* kStep = "keeping the old library's notes and exclusions";
    Transaction transaction(lib.Database());
    if (!transaction.Open()) return writes.Failed(kStep);
    for (const Known::Kept& kept : known.kept) {
        Statement s(lib.Database(),
                    "SELECT night FROM nights WHERE id=? AND start=? AND samples=? AND digest=? AND "
                    "merged_into IS NULL");
        s.Bind(1, static_cast<std::int64_t>(kept.key.first))
            .Bind(2, kept.key.second)
            .Bind(3, static_cast<std::int64_t>(kept.samples))
            .Bind(4, kept.digest);
        const SqlStep step = s.Step();
        if (step == SqlStep::Done) continue;
        if (step != SqlStep::Row) return writes.Failed(kStep);
        const NightNumber night = s.Int(0);
        if (!kept.note.empty() && !noted.contains(night)) {
            Statement note(lib.Database(), "UPDATE nights SET note=? WHERE night=?");
            note.Bind(1, kept.note).Bind(2, night);
            if (FileResult done = writes.Step(kStep, note); !done) return done;
        }
        if (!kept.spans.empty() && !excluded.contains(night)) {
            // In place of any a replayed merge gave it: the same, or newer.
            if (!lib.SetSpans(night, kept.spans)) return writes.Failed(kStep);
        }
    }
    return transaction.Commit() ? FileResult{} : writes.Failed(kStep);
}

// The nights of the healthy old library at `file` whose data file is gone,
// with their exclusions, merges and splits, its sources and removals, copied
// into `lib` as they were; their numbers in `kept`.
FileResult CopyNightsWithoutFile(SqliteLibrary& lib, const fs::path& file, std::set<NightNumber>& kept) {
    const Writes writes(lib);
    constexpr const char* kStep = "copying the nights whose file is gone";
    Statement attach(lib.Database(), "ATTACH ? AS old");
    attach.Bind(1, file.string());
    if (FileResult done = writes.Step("opening the old library beside the new", attach); !done) return done;
    FileResult copied = [&]() -> FileResult {
        Transaction transaction(lib.Database());
        if (!transaction.Open()) return writes.Failed(kStep);
        if (FileResult done = writes.Exec(kStep,
                                          "INSERT INTO main.nights SELECT * FROM old.nights o WHERE o.source NOT IN "
                                          "(SELECT path FROM main.sources) AND NOT EXISTS (SELECT 1 FROM main.nights m "
                                          "WHERE m.id=o.id AND m.start=o.start AND m.digest=o.digest)");
            !done)
            return done;
        Statement copiedNights(lib.Database(),
                               "SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources)");
        SqlStep step;
        while ((step = copiedNights.Step()) == SqlStep::Row) kept.insert(copiedNights.Int(0));
        if (step != SqlStep::Done) return writes.Failed(kStep);
        if (FileResult done = writes.Exec(
                kStep,
                "INSERT INTO main.exclusions SELECT * FROM old.exclusions WHERE night IN "
                "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources));"
                "INSERT OR IGNORE INTO main.merges SELECT * FROM old.merges WHERE night IN "
                "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources));"
                "INSERT OR IGNORE INTO main.splits SELECT * FROM old.splits WHERE night IN "
                "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources)) AND second IN "
                "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources));"
                "INSERT OR IGNORE INTO main.sources SELECT * FROM old.sources;"
                "INSERT OR IGNORE INTO main.removed SELECT * FROM old.removed");
            !done)
            return done;
        return transaction.Commit() ? FileResult{} : writes.Failed(kStep);
    }();
    FileResult detached = writes.Exec("closing the old library", "DETACH old");
    return copied ? detached : copied;
}

// Where a removed night's samples lie, so that a shorter copy of it is known
// for it and another recording of its ID and start is not: in its data file,
// at the night of its start there that begins with them. Empty when its file
// is gone or no longer holds them.
void FindRemoved(const JournalEntry& removed, const Known& known, std::string& source, std::int64_t& first) {
    const auto it = known.sourceOf.find(removed.night);
    DataFileContents contents;
    if (removed.samples <= 0 || it == known.sourceOf.end() || !ReadDataFile(it->second, contents)) return;
    for (const NightSpan& span : ApplyNightRule(contents.records).nights) {
        if (span.start == removed.start && Holds(contents.records, span.first, removed.samples, removed.digest)) {
            source = it->second;
            first = span.first;
            return;
        }
    }
}

// The library indexed again into `fresh`: every number given before held
// back, the removals, every source file, the nights of a healthy old library
// whose file is gone, the user's changes, and every night's figures under
// the settings of the moment. Every write is checked.
FileResult Reindex(const fs::path& fresh, const fs::path& file, bool healthy, Known& known, const AddOptions& options,
                   RebuildResult& out) {
    FileResult opened;
    auto lib = SqliteLibrary::Open(fresh, opened, LibraryOpening::Create);
    if (!lib) return opened;
    lib->SetFigureSettings(options.figures);
    const Writes writes(*lib);
    {
        Statement reserve(lib->Database(), "INSERT INTO sqlite_sequence(name,seq) VALUES('nights',?)");
        reserve.Bind(1, known.highest);
        if (FileResult done = writes.Step("keeping the night numbers given before", reserve); !done) return done;
    }
    const std::set<NightKey> changed = ChangedNights(known);
    for (const JournalEntry& r : known.removed) {
        if (changed.contains({r.id, r.start})) continue;
        std::string source;
        std::int64_t first = 0;
        FindRemoved(r, known, source, first);
        if (!lib->KeepOut(r, source, first)) return writes.Failed("keeping the removed nights out");
    }
    if (FileResult added = AddSources(*lib, known, options, out); !added) return added;
    std::set<NightNumber> kept;
    // Nights whose file is gone stay listed, marked missing, as they were.
    if (healthy) {
        if (FileResult copied = CopyNightsWithoutFile(*lib, file, kept); !copied) return copied;
    }
    std::set<NightNumber> noted, excluded;
    if (FileResult replayed = lib->ReplayChanges(known.changes, kept, noted, excluded); !replayed) return replayed;
    if (healthy) {
        if (FileResult used = UseKept(*lib, known, noted, excluded); !used) return used;
    }
    if (FileResult updated = lib->UpdateFigures(); !updated) return updated;
    {
        Statement count(lib->Database(),
                        "SELECT count(*),count(NULLIF(note,'')) FROM nights WHERE merged_into IS NULL");
        if (count.Step() != SqlStep::Row) return writes.Failed("counting the nights");
        out.nights = static_cast<int>(count.Int(0));
        out.notes = static_cast<int>(count.Int(1));
    }
    // Everything into the main file before it is renamed.
    return writes.Exec("writing the new library out", "PRAGMA wal_checkpoint(TRUNCATE)");
}

// The adds of the rebuild were journalled to "<fresh>.journal"; the nights
// that got a number only now join the real journal, so the next rebuild keeps
// it. Then the new library takes the old one's place.
FileResult TakeThePlace(const fs::path& fresh, const fs::path& file, const SqlLibrary::Numbers& knownBefore) {
    std::string error;
    std::vector<JournalEntry> added;
    std::vector<JournalEntry> numbered;
    if (!ReadJournal(JournalFileOf(fresh), added, error))
        return LibraryFailure(library_message::kNotRebuilt, file.string(), error);
    // Known: numbered before to these very samples. A night an older
    // journal named by ID and start alone is journalled again, by its samples.
    const auto known = [&](const JournalEntry& e) {
        const auto it = knownBefore.find({e.id, e.start});
        return it != knownBefore.end() &&
               std::any_of(it->second.begin(), it->second.end(), [&](const SqlLibrary::Numbered& n) {
                   return n.samples == e.samples && n.digest == e.digest;
               });
    };
    for (const JournalEntry& e : added)
        if (!known(e)) numbered.push_back(e);
    if (!numbered.empty() && !AppendJournal(JournalFileOf(file), numbered, error))
        return LibraryFailure(library_message::kCantWrite, JournalFileOf(file).string(), error);
    std::error_code ec;
    fs::remove(JournalFileOf(fresh), ec);
    for (const char* side : {"-wal", "-shm"}) fs::remove(WithSuffix(fresh, side), ec);
    fs::rename(fresh, file, ec);
    if (ec) return LibraryFailure(library_message::kCantWrite, file.string(), ec.message());
    for (const char* side : {"-wal", "-shm"}) fs::remove(WithSuffix(file, side), ec);
    return {};
}

}  // namespace

RebuildResult RebuildLibrary(const fs::path& file, const AddOptions& options, std::span<const fs::path> alsoLookIn) {
    RebuildResult out;
    // Its address is no file: rebuilt here, it would become folders named
    // after it.
    if (IsServerLocation(file.string())) {
        out.result = LibraryFailure(library_message::kServerNotRebuilt, ShownLocation(file.native()));
        return out;
    }
    Known known;
    bool healthy = false;
    if (FileResult read = ReadOrMoveAside(file, known, healthy, out.movedAside); !read) {
        out.result = std::move(read);
        return out;
    }
    std::vector<JournalEntry> journal;
    std::string error;
    if (!ReadJournal(JournalFileOf(file), journal, error)) {
        out.result = LibraryFailure(library_message::kCantOpen, JournalFileOf(file).string(), error);
        return out;
    }
    ReadJournalInto(journal, known);
    std::error_code ec;
    for (const fs::path& extra : alsoLookIn) {
        if (fs::is_directory(extra, ec)) {
            for (const auto& entry : fs::directory_iterator(extra, ec)) {
                if (entry.is_directory(ec))
                    for (const fs::path& f : DataFilesIn(entry.path())) known.sources.push_back(f.string());
            }
        }
    }

    const SqlLibrary::Numbers knownBefore = known.numbers;
    // The new library beside the old, replacing it only when complete.
    const fs::path fresh = WithSuffix(file, ".rebuild");
    for (const char* side : {"", "-wal", "-shm"}) fs::remove(WithSuffix(fresh, side), ec);
    if (FileResult rebuilt = Reindex(fresh, file, healthy, known, options, out); !rebuilt) {
        // Nothing half-made stays beside the old library.
        for (const char* side : {"", "-wal", "-shm", ".journal"}) fs::remove(WithSuffix(fresh, side), ec);
        std::string why = rebuilt.message;
        if (!rebuilt.detail.empty()) why += (why.empty() ? "" : ": ") + rebuilt.detail;
        out.result = LibraryFailure(library_message::kNotRebuilt, file.string(), why);
        return out;
    }
    out.result = TakeThePlace(fresh, file, knownBefore);
    return out;
}

}  // namespace quenda
