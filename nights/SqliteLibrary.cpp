#include "nights/SqliteLibrary.h"

#include "base/TextCodec.h"
#include "base/UiText.h"
#include "nights/LibraryColumns.h"
#include "nights/LibrarySchema.h"
#include "nights/SqliteStatement.h"
#include "store/DataFile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <tuple>

namespace quenda {

namespace fs = std::filesystem;

namespace {

NightFigures ReadFigures(const Statement& s, int at) {
    NightFigures f;
    for (const auto& c : kRealColumns) f.*(c.field) = s.Real(at++);
    for (const auto& c : kIntColumns) f.*(c.field) = static_cast<std::int32_t>(s.Int(at++));
    if (sqlite3_column_type(s.Get(), at) != SQLITE_NULL) f.coupledShare = s.Real(at);
    return f;
}

const std::string& RowColumns() {
    static const std::string columns =
        "night,id,name,date,start,\"end\",samples,gap_seconds,source,first,last,"
        "clinical,note,added_at,clock_shift" +
        FigureColumnList();
    return columns;
}
constexpr int kRowFixedColumns = 15;

void ReadRow(const Statement& s, NightRow& r) {
    r.night = s.Int(0);
    r.id = static_cast<int>(s.Int(1));
    r.name = s.Text(2);
    r.date = s.Text(3);
    r.start = s.Int(4);
    r.end = s.Int(5);
    r.samples = static_cast<std::int32_t>(s.Int(6));
    r.gapSeconds = s.Int(7);
    r.source = s.Text(8);
    r.first = static_cast<std::int32_t>(s.Int(9));
    r.last = static_cast<std::int32_t>(s.Int(10));
    Inflate(sqlite3_column_blob(s.Get(), 11), static_cast<std::size_t>(sqlite3_column_bytes(s.Get(), 11)),
            r.clinicalJson);
    r.note = s.Text(12);
    r.addedAt = s.Int(13);
    r.clockShift = s.Int(14);
    r.start += r.clockShift;
    r.end += r.clockShift;
    r.figures = ReadFigures(s, kRowFixedColumns);
    r.missing = false;
}

// Creates every missing folder on the way to `path`, each 0700.
bool MakePrivateFolders(const fs::path& path, std::string& error) {
    fs::path built;
    for (const fs::path& part : path) {
        built /= part;
        if (built.empty() || ::mkdir(built.c_str(), 0700) == 0 || errno == EEXIST) continue;
        error = built.string() + ": " + std::generic_category().message(errno);
        return false;
    }
    return true;
}

bool IsDamageCode(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

// Figures computed for this reading that the library could not keep.
void UseUnstored(NightRow& row, const std::unordered_map<NightNumber, ComputedFigures>& unstored) {
    if (const auto it = unstored.find(row.night); it != unstored.end()) {
        row.figures = it->second.figures;
        row.clinicalJson = it->second.clinicalJson;
    }
}

}  // namespace

sqlite3* SqliteHandle(const NightLibrary& library) {
    const auto* store = dynamic_cast<const SqliteLibrary*>(&library);
    return store ? store->Handle() : nullptr;
}

SqliteLibrary::SqliteLibrary(fs::path file, sqlite3* db) : NightLibrary(std::move(file)), db_(db) {}

SqliteLibrary::~SqliteLibrary() { sqlite3_close_v2(db_); }

std::unique_ptr<SqliteLibrary> SqliteLibrary::Open(const fs::path& file, FileResult& result, LibraryOpening opening) {
    result = {};
    const std::string name = file.string();
    std::error_code ec;
    const bool existed = fs::exists(file, ec);
    // Not there to read: nothing to list. (SQLite is not asked to create
    // below, so a file removed meanwhile is not made either.)
    if (!existed && opening == LibraryOpening::ExistingOnly && !ec) return nullptr;
    if (!existed && opening == LibraryOpening::Create) {
        std::string error;
        if (file.has_parent_path() && !MakePrivateFolders(file.parent_path(), error))
            return result = LibraryFailure(library_message::kCantOpen, name, error), nullptr;
        // Made here, 0600, so SQLite (and its -wal and -shm files, which take
        // the database's mode) never widens it. An empty file is an empty
        // database; two processes racing here both find it so.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return result = LibraryFailure(library_message::kCantOpen, name, std::strerror(errno)), nullptr;
        ::close(fd);
    }
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        result = LibraryFailure(library_message::kCantOpen, name, db ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
        sqlite3_close_v2(db);
        return nullptr;
    }
    std::unique_ptr<SqliteLibrary> lib(new SqliteLibrary(file, db));
    sqlite3_busy_timeout(db, kLibraryBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // Reading the schema first: a file that is no database, or whose first
    // page is damaged, fails here before anything is written to it.
    // Both read in one snapshot: another process may be making the schema
    // right now, and a version of 0 read before its commit with its tables
    // counted after would look like a foreign database.
    int version = 0;
    if (!Exec(db, "BEGIN")) return result = lib->DbFailure(library_message::kCantOpen), nullptr;
    {
        Statement s(db, "PRAGMA user_version");
        if (s.Step() != SQLITE_ROW) return result = lib->DbFailure(library_message::kCantOpen), nullptr;
        version = static_cast<int>(s.Int(0));
    }
    {
        Statement s(db, "SELECT count(*) FROM sqlite_master");
        if (s.Step() != SQLITE_ROW) return result = lib->DbFailure(library_message::kCantOpen), nullptr;
        if (version == 0 && s.Int(0) != 0) {
            return result = LibraryFailure(library_message::kNotLibrary, name, "tables without a Quenda schema"), nullptr;
        }
    }
    Exec(db, "COMMIT");
    if (version > kLibrarySchemaVersion) return result = LibraryFailure(library_message::kNewer, name), nullptr;
    // WAL: a reader (the Nights window) never waits for a writer (a download
    // adding its nights), and a killed writer leaves the last commit intact.
    if (!UseWal(db) || !Exec(db, "PRAGMA synchronous=NORMAL") || !Exec(db, "PRAGMA foreign_keys=ON")) {
        return result = lib->DbFailure(library_message::kCantOpen), nullptr;
    }
    if (version < kLibrarySchemaVersion) {
        std::string error;
        if (!MigrateLibrary(db, file, error)) {
            const int code = sqlite3_extended_errcode(db);
            return result = LibraryFailure(IsDamageCode(code) ? library_message::kNotLibrary : library_message::kCantWrite,
                                    name, error),
                   nullptr;
        }
    }
    return lib;
}

FileResult SqliteLibrary::DbFailure(const char* message) const {
    const int code = sqlite3_extended_errcode(db_);
    return LibraryFailure(IsDamageCode(code) ? library_message::kNotLibrary : message, file_.string(),
                   sqlite3_errmsg(db_));
}

std::int64_t SqliteLibrary::DigestOf(NightNumber night) {
    Statement s(db_, "SELECT digest FROM nights WHERE night=?");
    s.Bind(1, night);
    return s.Step() == SQLITE_ROW ? s.Int(0) : 0;
}
// One night's row as stored, without bringing its figures up to date.

FileResult SqliteLibrary::Journal(const std::vector<JournalEntry>& entries) {
    std::string error;
    if (AppendJournal(JournalFileOf(file_), entries, error)) return {};
    return LibraryFailure(library_message::kCantWrite, file_.string(), error);
}

// The listed night that holds `night`: itself unless merged into another.
NightNumber SqliteLibrary::Outermost(NightNumber night) {
    for (int steps = 0; steps < 1000; ++steps) {
        Statement s(db_, "SELECT merged_into FROM nights WHERE night=?");
        s.Bind(1, night);
        if (s.Step() != SQLITE_ROW || sqlite3_column_type(s.Get(), 0) == SQLITE_NULL) break;
        night = s.Int(0);
    }
    return night;
}
// Whether the night is listed: kNoNight when there is no such night,

// kMergedInto when it is hidden in a merged night.
FileResult SqliteLibrary::Listed(NightNumber night) {
    NightNumber at = night;
    // A few steps at most (merges stack); a damaged chain ends here.
    for (int steps = 0; steps < 1000; ++steps) {
        Statement s(db_, "SELECT merged_into FROM nights WHERE night=?");
        s.Bind(1, at);
        const int step = s.Step();
        if (step == SQLITE_DONE) return LibraryFailure(library_message::kNoNight, std::to_string(night));
        if (step != SQLITE_ROW) return DbFailure(library_message::kCantOpen);
        if (sqlite3_column_type(s.Get(), 0) == SQLITE_NULL)
            return at == night ? FileResult{} : LibraryRefusal(library_message::kMergedInto, {night, at});
        at = s.Int(0);
    }
    return LibraryFailure(library_message::kNoNight, std::to_string(night));
}

FileResult SqliteLibrary::Key(NightNumber night, JournalEntry& line) {
    if (FileResult listed = Listed(night); !listed) return listed;
    Statement s(db_, "SELECT id,start,samples,digest FROM nights WHERE night=?");
    s.Bind(1, night);
    if (s.Step() != SQLITE_ROW) return DbFailure(library_message::kCantOpen);
    line.night = night;
    line.id = static_cast<int>(s.Int(0));
    line.start = s.Int(1);
    line.samples = static_cast<std::int32_t>(s.Int(2));
    line.digest = s.Int(3);
    return {};
}

std::optional<NightNumber> SqliteLibrary::KeyNight(const JournalEntry& line) {
    struct Candidate {
        NightNumber night;
        std::int32_t samples;
        std::int64_t digest;
        std::string source;
        std::int64_t first;
    };
    std::vector<Candidate> candidates;
    Statement s(db_,
                "SELECT night,samples,digest,source,first FROM nights WHERE id=? AND start=? AND merged_into IS NULL "
                "ORDER BY samples DESC,night");
    s.Bind(1, static_cast<std::int64_t>(line.id)).Bind(2, line.start);
    while (s.Step() == SQLITE_ROW)
        candidates.push_back({s.Int(0), static_cast<std::int32_t>(s.Int(1)), s.Int(2), s.Text(3), s.Int(4)});
    if (candidates.empty()) return std::nullopt;
    // A line of an older Quenda names no samples: the longest, as it always did.
    if (line.samples <= 0) return candidates.front().night;
    for (const Candidate& c : candidates)
        if (c.samples == line.samples && c.digest == line.digest) return c.night;
    // Grown since by a later download: its file still begins with them.
    for (const Candidate& c : candidates) {
        DataFileContents contents;
        if (c.samples > line.samples && ReadDataFile(c.source, contents) &&
            Holds(contents.records, c.first, line.samples, line.digest))
            return c.night;
    }
    return std::nullopt;
}

std::optional<NightNumber> SqliteLibrary::NightAfter(NightNumber first, int id, std::int64_t start) {
    Statement s(db_,
                "SELECT n.night FROM nights n, nights f WHERE f.night=?1 AND n.id=?2 AND n.start=?3 AND "
                "n.merged_into IS NULL AND n.source=f.source AND n.first=f.last+1");
    s.Bind(1, first).Bind(2, static_cast<std::int64_t>(id)).Bind(3, start);
    if (s.Step() == SQLITE_ROW) return s.Int(0);
    JournalEntry line;
    line.id = id;
    line.start = start;
    return KeyNight(line);
}

FileResult SqliteLibrary::ForEach(const NightFilter& filter, const std::function<void(const NightRow&)>& visit) {
    // A reading writes nothing: figures that follow other settings are
    // computed for it alone; UpdateFigures stores them.
    std::vector<std::pair<NightNumber, ComputedFigures>> computed;
    if (FileResult read = ComputeFigures(settings_, &filter, std::nullopt, false, computed); !read) return read;
    const std::unordered_map<NightNumber, ComputedFigures> unstored(computed.begin(), computed.end());
    const std::string sql = "SELECT " + RowColumns() +
                            " FROM nights WHERE merged_into IS NULL AND (?1 IS NULL OR id=?1) AND "
                            "(?2 IS NULL OR date>=?2) AND (?3 IS NULL OR date<=?3) ORDER BY start+clock_shift,night";
    Statement s(db_, sql.c_str());
    if (!s.Ok()) return DbFailure(library_message::kCantOpen);
    if (filter.id) s.Bind(1, static_cast<std::int64_t>(*filter.id));
    if (filter.from) s.Bind(2, *filter.from);
    if (filter.to) s.Bind(3, *filter.to);
    std::unordered_map<std::string, bool> present;
    NightRow row;
    int step;
    while ((step = s.Step()) == SQLITE_ROW) {
        ReadRow(s, row);
        UseUnstored(row, unstored);
        if (filter.checkMissing) {
            auto [it, firstTime] = present.try_emplace(row.source.string(), false);
            if (firstTime) {
                struct stat st {};
                it->second = ::stat(row.source.c_str(), &st) == 0;
            }
            row.missing = !it->second;
        }
        visit(row);
    }
    if (step != SQLITE_DONE) return DbFailure(library_message::kCantOpen);
    return {};
}

FileResult SqliteLibrary::ReadOne(NightNumber night, NightRow& row) {
    if (FileResult listed = Listed(night); !listed) return listed;
    const std::string sql = "SELECT " + RowColumns() + " FROM nights WHERE night=?";
    Statement s(db_, sql.c_str());
    if (!s.Ok()) return DbFailure(library_message::kCantOpen);
    s.Bind(1, night);
    const int step = s.Step();
    if (step == SQLITE_DONE) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    if (step != SQLITE_ROW) return DbFailure(library_message::kCantOpen);
    ReadRow(s, row);
    std::error_code ec;
    row.missing = !fs::exists(row.source, ec);
    return {};
}

FileResult SqliteLibrary::Show(NightNumber night, NightRow& row) {
    std::vector<std::pair<NightNumber, ComputedFigures>> fresh;
    if (FileResult computed = ComputeFigures(settings_, nullptr, night, false, fresh); !computed) return computed;
    const std::unordered_map<NightNumber, ComputedFigures> unstored(fresh.begin(), fresh.end());
    if (FileResult read = ReadOne(night, row); !read) return read;
    UseUnstored(row, unstored);
    return {};
}

std::int64_t SqliteLibrary::DataVersion() const {
    Statement s(db_, "PRAGMA data_version");
    return s.Step() == SQLITE_ROW ? s.Int(0) : -1;
}

FileResult SqliteLibrary::SetNote(NightNumber night, std::string_view note) {
    // Every listing gives notes as UTF-8 text; bytes that are none would
    // come back as replacement characters.
    if (!IsValidUtf8(note)) return FileResult{false, UiText(library_message::kNoteNotText), {}};
    Transaction transaction(db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    JournalEntry line;
    line.time = NowSeconds();
    line.kind = JournalKind::Note;
    if (FileResult key = Key(night, line); !key) return key;
    line.text = note;
    Statement s(db_, "UPDATE nights SET note=? WHERE night=?");
    s.Bind(1, note).Bind(2, night);
    if (s.Step() != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
    if (FileResult j = Journal({line}); !j) return j;
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqliteLibrary::SetName(NightNumber night, std::string_view name) {
    Statement s(db_, "UPDATE nights SET name=? WHERE night=?");
    s.Bind(1, name).Bind(2, night);
    if (s.Step() != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
    if (sqlite3_changes(db_) == 0) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    return {};
}

FileResult SqliteLibrary::Remove(NightNumber night) {
    return Change([&](std::vector<JournalEntry>& journal) { return DoRemove(night, journal); });
}

FileResult SqliteLibrary::DoRemove(NightNumber night, std::vector<JournalEntry>& journal) {
    if (FileResult listed = Listed(night); !listed) return listed;
    // A merged night goes with the nights hidden in it: each stays out of
    // later downloads.
    Statement parts(db_,
                    "WITH RECURSIVE part(n) AS (SELECT ?1 UNION SELECT night FROM nights, part "
                    "WHERE merged_into=part.n) SELECT night,id,start,samples,digest,source,first FROM nights WHERE night IN part "
                    "ORDER BY night=?1 DESC, night");
    parts.Bind(1, night);
    std::vector<JournalEntry> gone;
    std::vector<std::pair<std::string, std::int64_t>> where;  // each one's file and first sample there
    int step;
    while ((step = parts.Step()) == SQLITE_ROW) {
        gone.push_back({NowSeconds(), JournalKind::Remove, parts.Int(0), static_cast<int>(parts.Int(1)), parts.Int(2),
                        {}, static_cast<std::int32_t>(parts.Int(3)), parts.Int(4)});
        where.emplace_back(parts.Text(5), parts.Int(6));
    }
    if (step != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
    for (std::size_t i = 0; i < gone.size(); ++i) {
        const JournalEntry& e = gone[i];
        Statement s(db_, "DELETE FROM nights WHERE night=?");
        s.Bind(1, e.night);
        if (s.Step() != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
        // Kept out by its samples: another recording that started at the
        // same second is not.
        Statement keepOut(db_,
                          "INSERT OR IGNORE INTO removed(id,start,samples,digest,source,first) VALUES(?,?,?,?,?,?)");
        keepOut.Bind(1, static_cast<std::int64_t>(e.id))
            .Bind(2, e.start)
            .Bind(3, static_cast<std::int64_t>(e.samples))
            .Bind(4, e.digest)
            .Bind(5, where[i].first)
            .Bind(6, where[i].second);
        if (keepOut.Step() != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
    }
    journal.insert(journal.end(), gone.begin(), gone.end());
    return {};
}

FileResult SqliteLibrary::LoadNight(NightNumber night, std::vector<SampleRecord>& samples, std::string* title) {
    NightRow row;
    if (FileResult shown = ReadOne(night, row); !shown) return shown;
    if (row.missing) return LibraryFailure(library_message::kSourceMissing, row.source.string());
    DataFileContents contents;
    if (FileResult read = ReadDataFile(row.source, contents); !read) return read;
    if (!TakeNightSamples(contents.records, row.first, row.samples, DigestOf(night),
                          row.clockShift, samples))
        return LibraryFailure(library_message::kSourceChanged, row.source.string());
    if (title) *title = std::move(contents.title);
    return {};
}

FileResult SqliteLibrary::Exclusions(NightNumber night, std::vector<SampleSpan>& spans) {
    if (FileResult listed = Listed(night); !listed) return listed;
    Statement s(db_, "SELECT first,last FROM exclusions WHERE night=? ORDER BY first,last");
    s.Bind(1, night);
    std::vector<SampleSpan> out;
    int step;
    while ((step = s.Step()) == SQLITE_ROW)
        out.push_back({static_cast<std::int32_t>(s.Int(0)), static_cast<std::int32_t>(s.Int(1))});
    if (step != SQLITE_DONE) return DbFailure(library_message::kCantOpen);
    spans = std::move(out);
    return {};
}

FileResult SqliteLibrary::SetExclusions(NightNumber night, std::span<const SampleSpan> spans,
                                       std::span<const SampleRecord> known) {
    NightRow row;
    if (FileResult read = ReadOne(night, row); !read) return read;
    std::vector<SampleSpan> sorted(spans.begin(), spans.end());
    std::sort(sorted.begin(), sorted.end(), [](const SampleSpan& a, const SampleSpan& b) {
        return std::tie(a.first, a.last) < std::tie(b.first, b.last);
    });
    for (const SampleSpan& span : sorted) {
        if (span.first < 0 || span.last < span.first || span.last >= row.samples)
            return FileResult{false, UiText(library_message::kBadSpan), {}};
    }
    // The figures first: a night whose file has gone keeps its exclusions
    // unchanged rather than figures that do not follow them.
    std::vector<SampleRecord> loaded;
    std::span<const SampleRecord> samples = known;
    // A shifted night's figures are those of its shifted samples: as LoadNight gives them.
    if (row.clockShift != 0 || samples.size() != static_cast<std::size_t>(row.samples) ||
        NightDigest(samples) != DigestOf(night)) {
        if (FileResult read = LoadNight(night, loaded); !read) return read;
        samples = loaded;
    }
    ScoredStudy scoring;
    if (FileResult read = Scoring(night, scoring); !read) return read;
    const ComputedFigures figures = ComputeNightFigures(samples, settings_, quenda::Exclusions(sorted), scoring);

    Transaction transaction(db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    if (FileResult set = SetSpans(night, sorted); !set) return set;
    if (FileResult stored = StoreFigures(night, figures); !stored) return stored;
    // Named by its start as recorded: the row's is shifted.
    JournalEntry line;
    line.time = NowSeconds();
    line.kind = JournalKind::Exclusions;
    if (FileResult key = Key(night, line); !key) return key;
    line.text = SpansText(sorted);
    if (FileResult j = Journal({line}); !j) return j;
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqliteLibrary::StoreFigures(NightNumber night, const ComputedFigures& figures) {
    std::string sql = "UPDATE nights SET clinical=?,computed_under=?";
    for (const auto& c : kRealColumns) sql += std::string(",") + c.name + "=?";
    for (const auto& c : kIntColumns) sql += std::string(",") + c.name + "=?";
    sql += std::string(",") + kCoupledShareColumn + "=?";
    sql += " WHERE night=?";
    Statement s(db_, sql.c_str());
    if (!s.Ok()) return DbFailure(library_message::kCantWrite);
    s.BindBlob(1, Deflate(figures.clinicalJson)).Bind(2, figures.settingsKey);
    BindFigures(s, 3, figures.figures);
    s.Bind(3 + kFigureColumns, night);
    if (s.Step() != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
    if (sqlite3_changes(db_) == 0) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    return {};
}

FileResult SqliteLibrary::ComputeFigures(const FigureSettings& settings, const NightFilter* filter,
                                         std::optional<NightNumber> only, bool markedOnly,
                                         std::vector<std::pair<NightNumber, ComputedFigures>>& fresh) {
    std::vector<StaleNight> stale;
    {
        Statement s(db_,
                    "SELECT night,source,first,samples,digest,clock_shift FROM nights WHERE "
                    "computed_under<>?1 AND merged_into IS NULL AND "
                    "(?2 IS NULL OR id=?2) AND (?3 IS NULL OR date>=?3) AND (?4 IS NULL OR date<=?4) AND "
                    "(?5 IS NULL OR night=?5) AND (?6 IS NULL OR computed_under='') ORDER BY source,first");
        if (!s.Ok()) return DbFailure(library_message::kCantOpen);
        s.Bind(1, settings.Key());
        if (filter && filter->id) s.Bind(2, static_cast<std::int64_t>(*filter->id));
        if (filter && filter->from) s.Bind(3, *filter->from);
        if (filter && filter->to) s.Bind(4, *filter->to);
        if (only) s.Bind(5, *only);
        if (markedOnly) s.Bind(6, std::int64_t{1});
        int step;
        while ((step = s.Step()) == SQLITE_ROW) {
            stale.push_back({s.Int(0), s.Text(1), static_cast<std::int32_t>(s.Int(2)),
                             static_cast<std::int32_t>(s.Int(3)), s.Int(4), s.Int(5)});
        }
        if (step != SQLITE_DONE) return DbFailure(library_message::kCantOpen);
    }
    return ComputeStale(
        stale, settings,
        [this](NightNumber night, std::vector<SampleSpan>& spans) { return Exclusions(night, spans); },
        [this](NightNumber night, ScoredStudy& scoring) { return Scoring(night, scoring); }, fresh);
}

FileResult SqliteLibrary::StoreComputed(const FigureSettings& settings, bool markedOnly) {
    std::vector<std::pair<NightNumber, ComputedFigures>> fresh;
    if (FileResult computed = ComputeFigures(settings, nullptr, std::nullopt, markedOnly, fresh); !computed)
        return computed;
    for (const auto& [night, figures] : fresh) {
        if (FileResult stored = StoreFigures(night, figures); !stored) return stored;
    }
    return {};
}

FileResult SqliteLibrary::UpdateFigures() {
    Transaction transaction(db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    if (FileResult stored = StoreComputed(settings_, false); !stored) return stored;
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqliteLibrary::Changes(NightNumber night, NightChanges& changes) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    NightChanges out;
    out.clockShift = p.clockShift;
    Statement merged(db_, "SELECT second FROM merges WHERE night=? ORDER BY rowid");
    merged.Bind(1, night);
    while (merged.Step() == SQLITE_ROW) {
        if (out.mergedFrom.empty()) out.mergedFrom.push_back(night);
        out.mergedFrom.push_back(merged.Int(0));
    }
    Statement split(db_, "SELECT night,second FROM splits WHERE second=?1 OR night=?1 ORDER BY second=?1 DESC LIMIT 1");
    split.Bind(1, night);
    if (split.Step() == SQLITE_ROW) out.split = std::make_pair(split.Int(0), split.Int(1));
    changes = std::move(out);
    return {};
}

std::vector<NightLibrary::PlacedNight> SqliteLibrary::NightsIn(int id, std::span<const SampleRecord> samples) {
    // The listed nights of that ID starting at that second, as recorded or as
    // shifted: one recording's night, or another recording's that started at
    // the same second, which only the samples tell apart.
    return PlaceNights(samples, [this, id](std::int64_t start) {
        Statement s(db_,
                    "SELECT night,samples,digest,start+clock_shift=?2,clock_shift,first,source FROM nights "
                    "WHERE id=?1 AND (start=?2 OR start+clock_shift=?2) AND merged_into IS NULL "
                    "ORDER BY start+clock_shift=?2 DESC, samples DESC");
        s.Bind(1, static_cast<std::int64_t>(id)).Bind(2, start);
        std::vector<PlacementCandidate> out;
        while (s.Step() == SQLITE_ROW)
            out.push_back({s.Int(0), static_cast<std::int32_t>(s.Int(1)), s.Int(2), s.Int(3) != 0 ? s.Int(4) : 0,
                           static_cast<std::int32_t>(s.Int(5)), s.Text(6)});
        return out;
    });
}

}  // namespace quenda
