#include "nights/Library.h"

#include "base/AtomicFile.h"
#include "base/TextCodec.h"
#include "base/UiText.h"
#include "nights/Journal.h"
#include "nights/LibrarySchema.h"
#include "patient/PatientFile.h"
#include "store/KeptDownload.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <map>
#include <set>
#include <system_error>
#include <unordered_map>

namespace quenda {

namespace fs = std::filesystem;

namespace {

std::string Replace1(std::string text, std::string_view value) {
    if (const auto at = text.find("%1"); at != std::string::npos) text.replace(at, 2, value);
    return text;
}

// A refusal whose message takes %1, %2, ... in turn.
FileResult Refusal(const char* message, std::initializer_list<std::int64_t> values) {
    std::string text = UiText(message);
    int n = 0;
    for (const std::int64_t value : values) {
        const std::string mark = "%" + std::to_string(++n);
        const std::string replacement = std::to_string(value);
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + replacement.size()))
            text.replace(at, mark.size(), replacement);
    }
    return FileResult{false, text, {}};
}

FileResult Failure(const char* message, std::string_view value, std::string detail = {}) {
    return FileResult{false, Replace1(UiText(message), value), std::move(detail)};
}

std::int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A prepared statement, finalized on every road out.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* Get() const { return stmt_; }
    Statement& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, double v) {
        sqlite3_bind_double(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, std::string_view v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int i, const std::string& v) {
        sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindNull(int i) {
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    void Reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t Int(int c) const { return sqlite3_column_int64(stmt_, c); }
    double Real(int c) const { return sqlite3_column_double(stmt_, c); }
    std::string Text(int c) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
    }
    std::string Blob(int c) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, c));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c))) : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

// Switches the file to WAL. SQLite answers a change of journal mode that
// meets another connection with "busy" at once, without its busy handler, so
// two processes opening a new library together wait here instead; once one
// has switched, the mode is in the file and the others find it so.
bool UseWal(sqlite3* db) {
    constexpr int kPauseMs = 10;
    for (int waited = 0;; waited += kPauseMs) {
        const int rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) return true;
        if ((rc & 0xff) != SQLITE_BUSY || waited >= kLibraryBusyTimeoutMs) return false;
        sqlite3_sleep(kPauseMs);
    }
}

// Ends a write transaction: rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) { open_ = Exec(db_, "BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (open_) Exec(db_, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool Open() const { return open_; }
    bool Commit() {
        if (!open_) return false;
        if (!Exec(db_, "COMMIT")) return false;
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool open_ = false;
};

// The clinical JSON is most of a night's row; deflated it keeps the library
// small (a night with many events holds a long event list).
std::string Deflate(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size + 4, '\0');
    const auto n = static_cast<std::uint32_t>(text.size());
    std::memcpy(out.data(), &n, 4);
    if (compress2(reinterpret_cast<Bytef*>(out.data() + 4), &size, reinterpret_cast<const Bytef*>(text.data()),
                  static_cast<uLong>(text.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        return {};
    }
    out.resize(size + 4);
    return out;
}

// Into `out`, reusing its room; "{}" for a blob that does not inflate.
void Inflate(const void* blob, std::size_t size, std::string& out) {
    std::uint32_t n = 0;
    if (blob && size >= 4) std::memcpy(&n, blob, 4);
    if (!blob || size < 4 || n > (64u << 20)) {
        out = "{}";
        return;
    }
    out.resize(n);
    uLongf inflated = n;
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &inflated, static_cast<const Bytef*>(blob) + 4,
                   static_cast<uLong>(size - 4)) != Z_OK ||
        inflated != n) {
        out = "{}";
    }
}

// 64-bit FNV-1a over the samples' bytes, extended sample by sample, so a
// prefix's digest falls out on the way to the whole.
constexpr std::uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ull;

std::uint64_t Extend(std::uint64_t h, const SampleRecord& r) {
    const std::uint8_t bytes[11] = {r.id,
                                    r.year,
                                    r.month,
                                    r.day,
                                    r.hour,
                                    r.minute,
                                    r.second,
                                    r.spo2,
                                    r.pulseRate,
                                    static_cast<std::uint8_t>(r.auxValue & 0xFF),
                                    static_cast<std::uint8_t>(r.auxValue >> 8)};
    for (const std::uint8_t b : bytes) h = (h ^ b) * kFnvPrime;
    return h;
}

// The columns of NightFigures, in the table's order.
struct RealColumn {
    const char* name;
    double NightFigures::*field;
};
struct IntColumn {
    const char* name;
    std::int32_t NightFigures::*field;
};
constexpr RealColumn kRealColumns[] = {
    {"valid_hours", &NightFigures::validHours},
    {"odi3", &NightFigures::odi3},
    {"odi4", &NightFigures::odi4},
    {"desat_burden", &NightFigures::desaturationBurden},
    {"t90", &NightFigures::t90},
    {"t88_minutes", &NightFigures::t88Minutes},
    {"spo2_mean", &NightFigures::spo2Mean},
    {"spo2_median", &NightFigures::spo2Median},
    {"pulse_mean", &NightFigures::pulseMean},
    {"pulse_median", &NightFigures::pulseMedian},
    {"desat_index", &NightFigures::desaturationIndex},
    {"pulse_index", &NightFigures::pulseIndex},
    {"coverage", &NightFigures::coverage},
    {"pulse_rise_index", &NightFigures::pulseRiseIndex},
};
constexpr IntColumn kIntColumns[] = {
    {"valid_samples", &NightFigures::validSamples},
    {"longest_le88", &NightFigures::longestLe88Seconds},
    {"nadir", &NightFigures::nadirSpo2},
    {"pulse_min", &NightFigures::pulseMin},
    {"pulse_max", &NightFigures::pulseMax},
    {"stat_spo2_max", &NightFigures::spo2Maximum},
    {"stat_spo2_min", &NightFigures::spo2Minimum},
    {"stat_spo2_avg", &NightFigures::spo2Average},
    {"stat_pulse_max", &NightFigures::pulseMaximum},
    {"stat_pulse_min", &NightFigures::pulseMinimum},
    {"stat_pulse_avg", &NightFigures::pulseAverage},
    {"desat_events", &NightFigures::desaturationEvents},
    {"pulse_events", &NightFigures::pulseEvents},
};

// The one figure that may be none (NULL), after the others.
constexpr const char* kCoupledShareColumn = "coupled_share";

std::string FigureColumnList() {
    std::string list;
    for (const auto& c : kRealColumns) list += std::string(",") + c.name;
    for (const auto& c : kIntColumns) list += std::string(",") + c.name;
    return list + "," + kCoupledShareColumn;
}
constexpr int kFigureColumns = std::size(kRealColumns) + std::size(kIntColumns) + 1;

// Binds the figures from parameter `at` on.
void BindFigures(Statement& s, int at, const NightFigures& f) {
    for (const auto& c : kRealColumns) s.Bind(at++, f.*(c.field));
    for (const auto& c : kIntColumns) s.Bind(at++, static_cast<std::int64_t>(f.*(c.field)));
    if (f.coupledShare) {
        s.Bind(at, *f.coupledShare);
    } else {
        s.BindNull(at);
    }
}

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

// A night by its ID and recorded start, as the journal names it.
using NightKey = std::pair<int, std::int64_t>;

// A night found in a data file, its figures computed, ready to store.
struct FoundNight {
    NightSpan span;
    std::int64_t digest = 0;
    ComputedFigures figures;
};

}  // namespace

std::int64_t NightDigest(std::span<const SampleRecord> samples) {
    std::uint64_t h = kFnvOffset;
    for (const SampleRecord& r : samples) h = Extend(h, r);
    return static_cast<std::int64_t>(h);
}

NightMatch ClassifyNight(const HeldNight& held, std::span<const SampleRecord> found, std::int64_t foundDigest) {
    const auto count = static_cast<std::int32_t>(found.size());
    if (held.samples == count && held.digest == foundDigest) return NightMatch::Already;
    if (held.samples < count && NightDigest(found.first(static_cast<std::size_t>(held.samples))) == held.digest)
        return NightMatch::Extends;
    if (held.samples > count) {
        DataFileContents old;
        const auto first = static_cast<std::size_t>(held.first);
        if (!ReadDataFile(held.source, old) || old.records.size() < first + static_cast<std::size_t>(held.samples) ||
            NightDigest(std::span<const SampleRecord>(old.records).subspan(first, found.size())) == foundDigest)
            return NightMatch::Already;
    }
    return NightMatch::New;
}

namespace {

// Every road out of the library gives a night's samples through here
// (LoadNight, and the figures the library computes): `count` records of its
// data file from `first`, still those of `digest`, their times moved by the
// night's clock shift. False, `out` untouched, when the file no longer holds
// them.
bool TakeNightSamples(std::span<const SampleRecord> records, std::int64_t first, std::int64_t count,
                      std::int64_t digest, std::int64_t clockShift, std::vector<SampleRecord>& out) {
    if (first < 0 || count < 0 || static_cast<std::int64_t>(records.size()) < first + count) return false;
    const auto part = records.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
    if (NightDigest(part) != digest) return false;
    std::vector<SampleRecord> taken(part.begin(), part.end());
    if (clockShift != 0) {
        for (SampleRecord& r : taken) {
            const auto at = SampleSeconds(r);
            if (!at || !SetSampleSeconds(r, *at + clockShift)) return false;
        }
    }
    out = std::move(taken);
    return true;
}

std::string InsertNightSql() {
    std::string sql =
        "INSERT INTO nights(night,id,name,date,start,\"end\",samples,gap_seconds,source,first,last,"
        "clinical,note,added_at,digest,computed_under" +
        FigureColumnList() + ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,'',?,?,?";
    for (int i = 0; i < kFigureColumns; ++i) sql += ",?";
    return sql + ")";
}

// The nights of a recording with their digests and figures: the arithmetic
// done before the lock, so another writer waits only for the writes.
std::vector<FoundNight> FindNights(std::span<const SampleRecord> samples, const NightSplit& split,
                                   const FigureSettings& settings) {
    std::vector<FoundNight> found;
    found.reserve(split.nights.size());
    for (const NightSpan& span : split.nights) {
        const auto nightSamples =
            samples.subspan(static_cast<std::size_t>(span.first), static_cast<std::size_t>(span.Samples()));
        found.push_back({span, NightDigest(nightSamples), ComputeNightFigures(nightSamples, settings)});
    }
    return found;
}

}  // namespace

// The library's internals shared with RebuildLibrary.
struct LibraryAccess {
    // Night numbers to give to nights met again, by (ID, start).
    using Numbers = std::map<NightKey, NightNumber>;

    static FileResult DbFailure(const NightLibrary& lib, const char* message) {
        const int code = sqlite3_extended_errcode(lib.db_);
        return Failure(IsDamageCode(code) ? library_message::kNotLibrary : message, lib.file_.string(),
                       sqlite3_errmsg(lib.db_));
    }

    static AddResult AddSamples(NightLibrary& lib, const fs::path& source, int id,
                                std::span<const SampleRecord> samples, const AddOptions& options,
                                const Numbers* numbers);

    // The statements adding runs for every night, prepared once.
    struct NightStatements {
        explicit NightStatements(sqlite3* db);
        bool Ok() const { return held.Ok() && insert.Ok() && update.Ok(); }
        Statement held;     // the nights with a night's ID and start
        Statement insert;   // a new night
        Statement update;   // a held night that a longer one extends
        Statement removed;  // whether the user removed an ID and start
    };
    // How `night` (its `samples`) stands to the nights held with its ID and
    // start: the first that is not another night, and its number in `match`.
    // False when the library could not be read.
    static bool Match(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples,
                      NightMatch& outcome, NightNumber& match);
    // The held night `match` takes the samples of the longer `night`, and the
    // figures they give under its exclusions.
    static FileResult ExtendHeld(NightLibrary& lib, NightStatements& st, NightNumber match, const FoundNight& night,
                                 std::span<const SampleRecord> samples, const std::string& sourceText,
                                 const AddOptions& options);
    // `night` as a new night of the library; its number in `number`. A
    // rebuild gives it its old number in `numbers` when no other night holds it.
    static bool InsertNight(NightLibrary& lib, NightStatements& st, int id, const FoundNight& night,
                            const std::string& name, const std::string& sourceText, std::int64_t now,
                            const Numbers* numbers, NightNumber& number);
    // Replaces a night's stored figures and the settings they follow.
    static FileResult StoreFigures(NightLibrary& lib, NightNumber night, const ComputedFigures& figures);
    // The digest of a night's samples as stored; 0 when there is no such night.
    static std::int64_t DigestOf(NightLibrary& lib, NightNumber night) {
        Statement s(lib.db_, "SELECT digest FROM nights WHERE night=?");
        s.Bind(1, night);
        return s.Step() == SQLITE_ROW ? s.Int(0) : 0;
    }
    // One night's row as stored, without bringing its figures up to date.
    static FileResult ReadOne(NightLibrary& lib, NightNumber night, NightRow& row);
    // Computes again the figures of the nights that `filter` (or `only`)
    // picks whose figures follow other settings than the library's. What
    // could not be stored (a read-only library) comes back in `unstored`,
    // for the listing to use all the same.
    static FileResult Refresh(NightLibrary& lib, const NightFilter* filter, std::optional<NightNumber> only,
                              std::unordered_map<NightNumber, ComputedFigures>& unstored);
    static FileResult Journal(NightLibrary& lib, const std::vector<JournalEntry>& entries) {
        std::string error;
        if (AppendJournal(JournalFileOf(lib.file_), entries, error)) return {};
        return Failure(library_message::kCantWrite, lib.file_.string(), error);
    }
    // The listed night that holds `night`: itself unless merged into another.
    static NightNumber Outermost(NightLibrary& lib, NightNumber night) {
        for (int steps = 0; steps < 1000; ++steps) {
            Statement s(lib.db_, "SELECT merged_into FROM nights WHERE night=?");
            s.Bind(1, night);
            if (s.Step() != SQLITE_ROW || sqlite3_column_type(s.Get(), 0) == SQLITE_NULL) break;
            night = s.Int(0);
        }
        return night;
    }
    // Whether the night is listed: kNoNight when there is no such night,
    // kMergedInto when it is hidden in a merged night.
    static FileResult Listed(NightLibrary& lib, NightNumber night) {
        NightNumber at = night;
        // A few steps at most (merges stack); a damaged chain ends here.
        for (int steps = 0; steps < 1000; ++steps) {
            Statement s(lib.db_, "SELECT merged_into FROM nights WHERE night=?");
            s.Bind(1, at);
            const int step = s.Step();
            if (step == SQLITE_DONE) return Failure(library_message::kNoNight, std::to_string(night));
            if (step != SQLITE_ROW) return DbFailure(lib, library_message::kCantOpen);
            if (sqlite3_column_type(s.Get(), 0) == SQLITE_NULL)
                return at == night ? FileResult{} : Refusal(library_message::kMergedInto, {night, at});
            at = s.Int(0);
        }
        return Failure(library_message::kNoNight, std::to_string(night));
    }
    // The listed night's ID and recorded start, for a journal line.
    static FileResult Key(NightLibrary& lib, NightNumber night, int& id, std::int64_t& start) {
        if (FileResult listed = Listed(lib, night); !listed) return listed;
        Statement s(lib.db_, "SELECT id,start FROM nights WHERE night=?");
        s.Bind(1, night);
        if (s.Step() != SQLITE_ROW) return DbFailure(lib, library_message::kCantOpen);
        id = static_cast<int>(s.Int(0));
        start = s.Int(1);
        return {};
    }
    // The listed night of that ID and recorded start, if any.
    static std::optional<NightNumber> KeyNight(NightLibrary& lib, int id, std::int64_t start) {
        Statement s(lib.db_,
                    "SELECT night FROM nights WHERE id=? AND start=? AND merged_into IS NULL "
                    "ORDER BY samples DESC LIMIT 1");
        s.Bind(1, static_cast<std::int64_t>(id)).Bind(2, start);
        if (s.Step() != SQLITE_ROW) return std::nullopt;
        return s.Int(0);
    }

    // Putting nights right: each checks, changes the database and adds its
    // journal line to `journal`, inside the caller's transaction. A rebuild
    // replays the journal through the same functions (and drops the lines).
    struct Place;
    static FileResult ReadPlace(NightLibrary& lib, NightNumber night, Place& place, bool hiddenToo = false);
    static FileResult ShiftTo(NightLibrary& lib, NightNumber night, std::int64_t clockShift,
                              std::vector<JournalEntry>& journal);
    static FileResult DoMerge(NightLibrary& lib, NightNumber a, NightNumber b, std::vector<JournalEntry>& journal,
                              NightNumber& merged);
    static FileResult DoUnmerge(NightLibrary& lib, NightNumber night, std::vector<JournalEntry>& journal,
                                NightNumber& second);
    static FileResult DoSplit(NightLibrary& lib, NightNumber night, std::int32_t index,
                              std::optional<NightNumber> number, std::vector<JournalEntry>& journal,
                              NightNumber& second);
    static FileResult DoUnsplit(NightLibrary& lib, NightNumber night, std::vector<JournalEntry>& journal,
                                NightNumber& first);
    static FileResult SetSpans(NightLibrary& lib, NightNumber night, std::span<const SampleSpan> spans);
    static FileResult DoRemove(NightLibrary& lib, NightNumber night, std::vector<JournalEntry>& journal);
    // The journal's changes made again by a rebuild.
    static FileResult ReplayChanges(NightLibrary& lib, const std::vector<JournalEntry>& changes,
                                    const std::set<NightNumber>& kept, std::set<NightKey>& noted,
                                    std::set<NightKey>& excluded);
    // Runs `change` in one transaction with its journal lines.
    static FileResult Change(NightLibrary& lib, const std::function<FileResult(std::vector<JournalEntry>&)>& change);
    // The same for a change that names a night (the one merged into, made,
    // listed again or kept): it goes to `named`, when asked for, once made.
    static FileResult ChangeNaming(NightLibrary& lib, NightNumber* named,
                                   const std::function<FileResult(std::vector<JournalEntry>&, NightNumber&)>& change) {
        NightNumber night = 0;
        FileResult result = Change(lib, [&](std::vector<JournalEntry>& journal) { return change(journal, night); });
        if (result && named) *named = night;
        return result;
    }
};

void AddResult::Merge(const AddResult& other) {
    added += other.added;
    already += other.already;
    replaced += other.replaced;
    removed += other.removed;
    leftOut += other.leftOut;
    files += other.files;
    nights.insert(nights.end(), other.nights.begin(), other.nights.end());
    failures.insert(failures.end(), other.failures.begin(), other.failures.end());
    if (result && !other.result) result = other.result;
}

fs::path DefaultLibraryFile() {
    if (const char* env = std::getenv("QUENDA_LIBRARY"); env && *env) return env;
    return QuendaDataFolder() / "library.sqlite";
}

AddOptions MakeAddOptions(const Settings& settings, const fs::path& patientFile) {
    AddOptions options;
    options.figures = ReadFigureSettings(settings);
    options.nameOf = [patientFile](int id) { return PatientNameOf(patientFile, id); };
    return options;
}

fs::path JournalFileOf(const fs::path& library) {
    fs::path journal = library;
    journal += ".journal";
    return journal;
}

std::vector<fs::path> DataFilesIn(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return {path};
    std::vector<std::pair<int, fs::path>> found;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 7 || name.rfind("ID", 0) != 0 || !name.ends_with(".dat")) continue;
        const std::string digits = name.substr(2, name.size() - 6);
        if (digits.empty() || digits.size() > 3 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        found.emplace_back(std::stoi(digits), entry.path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> files;
    for (auto& f : found) files.push_back(std::move(f.second));
    return files;
}

NightLibrary::NightLibrary(fs::path file, sqlite3* db) : file_(std::move(file)), db_(db) {}

NightLibrary::~NightLibrary() { sqlite3_close_v2(db_); }

std::unique_ptr<NightLibrary> NightLibrary::Open(const fs::path& file, FileResult& result, LibraryOpening opening) {
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
            return result = Failure(library_message::kCantOpen, name, error), nullptr;
        // Made here, 0600, so SQLite (and its -wal and -shm files, which take
        // the database's mode) never widens it. An empty file is an empty
        // database; two processes racing here both find it so.
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return result = Failure(library_message::kCantOpen, name, std::strerror(errno)), nullptr;
        ::close(fd);
    }
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (opened != SQLITE_OK) {
        result = Failure(library_message::kCantOpen, name, db ? sqlite3_errmsg(db) : sqlite3_errstr(opened));
        sqlite3_close_v2(db);
        return nullptr;
    }
    std::unique_ptr<NightLibrary> lib(new NightLibrary(file, db));
    sqlite3_busy_timeout(db, kLibraryBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    // Reading the schema first: a file that is no database, or whose first
    // page is damaged, fails here before anything is written to it.
    // Both read in one snapshot: another process may be making the schema
    // right now, and a version of 0 read before its commit with its tables
    // counted after would look like a foreign database.
    int version = 0;
    if (!Exec(db, "BEGIN")) return result = LibraryAccess::DbFailure(*lib, library_message::kCantOpen), nullptr;
    {
        Statement s(db, "PRAGMA user_version");
        if (s.Step() != SQLITE_ROW) return result = LibraryAccess::DbFailure(*lib, library_message::kCantOpen), nullptr;
        version = static_cast<int>(s.Int(0));
    }
    {
        Statement s(db, "SELECT count(*) FROM sqlite_master");
        if (s.Step() != SQLITE_ROW) return result = LibraryAccess::DbFailure(*lib, library_message::kCantOpen), nullptr;
        if (version == 0 && s.Int(0) != 0) {
            return result = Failure(library_message::kNotLibrary, name, "tables without a Quenda schema"), nullptr;
        }
    }
    Exec(db, "COMMIT");
    if (version > kLibrarySchemaVersion) return result = Failure(library_message::kNewer, name), nullptr;
    // WAL: a reader (the Nights window) never waits for a writer (a download
    // adding its nights), and a killed writer leaves the last commit intact.
    if (!UseWal(db) || !Exec(db, "PRAGMA synchronous=NORMAL") || !Exec(db, "PRAGMA foreign_keys=ON")) {
        return result = LibraryAccess::DbFailure(*lib, library_message::kCantOpen), nullptr;
    }
    if (version < kLibrarySchemaVersion) {
        std::string error;
        if (!MigrateLibrary(db, file, error)) {
            const int code = sqlite3_extended_errcode(db);
            return result = Failure(IsDamageCode(code) ? library_message::kNotLibrary : library_message::kCantWrite,
                                    name, error),
                   nullptr;
        }
    }
    return lib;
}

LibraryAccess::NightStatements::NightStatements(sqlite3* db)
    : held(db,
           "SELECT night,samples,digest,source,first,merged_into IS NOT NULL OR "
           "EXISTS(SELECT 1 FROM merges m WHERE m.night=nights.night) OR "
           "EXISTS(SELECT 1 FROM splits p WHERE p.night=nights.night OR p.second=nights.night) "
           "FROM nights WHERE id=? AND start=?"),
      insert(db, InsertNightSql().c_str()),
      update(db, "UPDATE nights SET \"end\"=?,samples=?,gap_seconds=?,source=?,first=?,last=?,digest=? WHERE night=?"),
      removed(db, "SELECT 1 FROM removed WHERE id=? AND start=?") {}

bool LibraryAccess::Match(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples,
                          NightMatch& outcome, NightNumber& match) {
    outcome = NightMatch::New;
    st.held.Reset();
    st.held.Bind(1, static_cast<std::int64_t>(id)).Bind(2, night.span.start);
    int step;
    while ((step = st.held.Step()) == SQLITE_ROW) {
        const HeldNight held{static_cast<std::int32_t>(st.held.Int(1)), st.held.Int(2), st.held.Text(3),
                             st.held.Int(4)};
        outcome = ClassifyNight(held, samples, night.digest);
        // A night merged or split keeps the shape the user gave it.
        if (outcome == NightMatch::Extends && st.held.Int(5) != 0) outcome = NightMatch::Already;
        if (outcome != NightMatch::New) {
            match = st.held.Int(0);
            break;
        }
    }
    st.held.Reset();
    return step == SQLITE_ROW || step == SQLITE_DONE;
}

FileResult LibraryAccess::ExtendHeld(NightLibrary& lib, NightStatements& st, NightNumber match, const FoundNight& night,
                                     std::span<const SampleRecord> samples, const std::string& sourceText,
                                     const AddOptions& options) {
    const NightSpan& span = night.span;
    st.update.Reset();
    st.update.Bind(1, span.end)
        .Bind(2, static_cast<std::int64_t>(span.Samples()))
        .Bind(3, span.GapSeconds())
        .Bind(4, sourceText)
        .Bind(5, static_cast<std::int64_t>(span.first))
        .Bind(6, static_cast<std::int64_t>(span.last))
        .Bind(7, night.digest)
        .Bind(8, match);
    if (st.update.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    // The night keeps its exclusions, so its figures follow them.
    std::vector<SampleSpan> spans;
    if (FileResult read = lib.Exclusions(match, spans); !read) return read;
    ComputedFigures figures =
        spans.empty() ? night.figures : ComputeNightFigures(samples, options.figures, quenda::Exclusions(spans));
    // The figures' times are the samples' as recorded: a shifted night's are
    // computed again, shifted, when next read.
    Statement shift(lib.db_, "SELECT clock_shift FROM nights WHERE night=?");
    shift.Bind(1, match);
    if (shift.Step() == SQLITE_ROW && shift.Int(0) != 0) figures.settingsKey.clear();
    return StoreFigures(lib, match, figures);
}

bool LibraryAccess::InsertNight(NightLibrary& lib, NightStatements& st, int id, const FoundNight& night,
                                const std::string& name, const std::string& sourceText, std::int64_t now,
                                const Numbers* numbers, NightNumber& number) {
    const NightSpan& span = night.span;
    st.insert.Reset();
    st.insert.BindNull(1);
    if (numbers) {
        if (const auto it = numbers->find({id, span.start}); it != numbers->end()) {
            Statement taken(lib.db_, "SELECT 1 FROM nights WHERE night=?");
            taken.Bind(1, it->second);
            if (taken.Step() == SQLITE_DONE) st.insert.Bind(1, it->second);
        }
    }
    st.insert.Bind(2, static_cast<std::int64_t>(id))
        .Bind(3, name)
        .Bind(4, DateText(span.DateSeconds()))
        .Bind(5, span.start)
        .Bind(6, span.end)
        .Bind(7, static_cast<std::int64_t>(span.Samples()))
        .Bind(8, span.GapSeconds())
        .Bind(9, sourceText)
        .Bind(10, static_cast<std::int64_t>(span.first))
        .Bind(11, static_cast<std::int64_t>(span.last))
        .BindBlob(12, Deflate(night.figures.clinicalJson))
        .Bind(13, now)
        .Bind(14, night.digest)
        .Bind(15, night.figures.settingsKey);
    BindFigures(st.insert, 16, night.figures.figures);
    if (st.insert.Step() != SQLITE_DONE) return false;
    number = sqlite3_last_insert_rowid(lib.db_);
    return true;
}

AddResult LibraryAccess::AddSamples(NightLibrary& lib, const fs::path& source, int id,
                                    std::span<const SampleRecord> samples, const AddOptions& options,
                                    const Numbers* numbers) {
    AddResult out;
    out.files = 1;
    const NightSplit split = SplitNights(samples);
    out.leftOut = split.leftOut;
    const std::vector<FoundNight> found = FindNights(samples, split, options.figures);
    const std::string name = options.nameOf ? options.nameOf(id) : std::string();
    const std::string sourceText = fs::absolute(source).lexically_normal().string();
    const auto fail = [&](FileResult why) {
        out.added = out.replaced = out.already = out.removed = 0;
        out.nights.clear();
        out.failures.push_back(source.string() + ": " + why.message + (why.detail.empty() ? "" : ": ") + why.detail);
        out.result = std::move(why);
        return out;
    };

    Transaction transaction(lib.db_);
    if (!transaction.Open()) return fail(DbFailure(lib, library_message::kCantWrite));
    Statement addSource(lib.db_, "INSERT OR IGNORE INTO sources(path,added_at) VALUES(?,?)");
    addSource.Bind(1, sourceText).Bind(2, NowSeconds());
    if (addSource.Step() != SQLITE_DONE) return fail(DbFailure(lib, library_message::kCantWrite));
    NightStatements st(lib.db_);
    if (!st.Ok()) return fail(DbFailure(lib, library_message::kCantWrite));

    std::vector<JournalEntry> journal;
    const std::int64_t now = NowSeconds();
    for (const FoundNight& night : found) {
        const NightSpan& span = night.span;
        st.removed.Reset();
        st.removed.Bind(1, static_cast<std::int64_t>(id)).Bind(2, span.start);
        if (st.removed.Step() == SQLITE_ROW) {
            ++out.removed;
            continue;
        }
        const auto nightSamples =
            samples.subspan(static_cast<std::size_t>(span.first), static_cast<std::size_t>(span.Samples()));
        NightMatch outcome = NightMatch::New;
        NightNumber number = 0;
        if (!Match(st, id, night, nightSamples, outcome, number))
            return fail(DbFailure(lib, library_message::kCantWrite));
        switch (outcome) {
            case NightMatch::Already: ++out.already; break;
            case NightMatch::Extends:
                if (FileResult extended = ExtendHeld(lib, st, number, night, nightSamples, sourceText, options);
                    !extended)
                    return fail(std::move(extended));
                ++out.replaced;
                break;
            case NightMatch::New:
                if (!InsertNight(lib, st, id, night, name, sourceText, now, numbers, number))
                    return fail(DbFailure(lib, library_message::kCantWrite));
                ++out.added;
                break;
        }
        // A night met again inside a merged one is that one.
        out.nights.push_back(outcome == NightMatch::Already ? Outermost(lib, number) : number);
        if (outcome != NightMatch::Already)
            journal.push_back({now, JournalKind::Add, number, id, span.start, sourceText});
    }
    if (!journal.empty()) {
        if (FileResult written = Journal(lib, journal); !written) return fail(std::move(written));
    }
    if (!transaction.Commit()) return fail(DbFailure(lib, library_message::kCantWrite));
    return out;
}

AddResult NightLibrary::AddSamples(const fs::path& source, int id, std::span<const SampleRecord> samples,
                                   const AddOptions& options) {
    return LibraryAccess::AddSamples(*this, source, id, samples, options, nullptr);
}

AddResult NightLibrary::AddFile(const fs::path& dataFile, const AddOptions& options) {
    DataFileContents contents;
    if (FileResult read = ReadDataFile(dataFile, contents); !read) {
        AddResult out;
        const bool named = read.message.find(dataFile.string()) != std::string::npos;
        out.failures.push_back((named ? "" : dataFile.string() + ": ") + read.message +
                               (read.detail.empty() ? "" : ": ") + read.detail);
        if (!named) read.message = dataFile.string() + ": " + read.message;
        out.result = std::move(read);
        return out;
    }
    // A data file holds one ID; its records carry it too, and the header's
    // may be 0 in files from elsewhere.
    const int id = contents.id != 0 || contents.records.empty() ? contents.id : contents.records.front().id;
    return AddSamples(dataFile, id, contents.records, options);
}

AddResult NightLibrary::AddPaths(std::span<const fs::path> paths, const AddOptions& options) {
    AddResult out;
    for (const fs::path& path : paths) {
        const auto files = DataFilesIn(path);
        if (files.empty()) {
            AddResult none;
            none.result = {false, path.string() + ": " + UiText("no ID<n>.dat data files in this folder"), {}};
            none.failures.push_back(none.result.message);
            out.Merge(none);
        }
        for (const fs::path& file : files) out.Merge(AddFile(file, options));
    }
    return out;
}

namespace {

// Figures computed for this reading that the library could not keep.
void UseUnstored(NightRow& row, const std::unordered_map<NightNumber, ComputedFigures>& unstored) {
    if (const auto it = unstored.find(row.night); it != unstored.end()) {
        row.figures = it->second.figures;
        row.clinicalJson = it->second.clinicalJson;
    }
}

}  // namespace

FileResult NightLibrary::ForEach(const NightFilter& filter, const std::function<void(const NightRow&)>& visit) {
    std::unordered_map<NightNumber, ComputedFigures> unstored;
    if (FileResult refreshed = LibraryAccess::Refresh(*this, &filter, std::nullopt, unstored); !refreshed)
        return refreshed;
    const std::string sql = "SELECT " + RowColumns() +
                            " FROM nights WHERE merged_into IS NULL AND (?1 IS NULL OR id=?1) AND "
                            "(?2 IS NULL OR date>=?2) AND (?3 IS NULL OR date<=?3) ORDER BY start+clock_shift,night";
    Statement s(db_, sql.c_str());
    if (!s.Ok()) return LibraryAccess::DbFailure(*this, library_message::kCantOpen);
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
            auto [it, fresh] = present.try_emplace(row.source.string(), false);
            if (fresh) {
                struct stat st {};
                it->second = ::stat(row.source.c_str(), &st) == 0;
            }
            row.missing = !it->second;
        }
        visit(row);
    }
    if (step != SQLITE_DONE) return LibraryAccess::DbFailure(*this, library_message::kCantOpen);
    return {};
}

FileResult NightLibrary::List(const NightFilter& filter, std::vector<NightRow>& rows) {
    std::vector<NightRow> out;
    if (FileResult listed = ForEach(filter, [&out](const NightRow& row) { out.push_back(row); }); !listed)
        return listed;
    rows = std::move(out);
    return {};
}

FileResult LibraryAccess::ReadOne(NightLibrary& lib, NightNumber night, NightRow& row) {
    if (FileResult listed = Listed(lib, night); !listed) return listed;
    const std::string sql = "SELECT " + RowColumns() + " FROM nights WHERE night=?";
    Statement s(lib.db_, sql.c_str());
    if (!s.Ok()) return DbFailure(lib, library_message::kCantOpen);
    s.Bind(1, night);
    const int step = s.Step();
    if (step == SQLITE_DONE) return Failure(library_message::kNoNight, std::to_string(night));
    if (step != SQLITE_ROW) return DbFailure(lib, library_message::kCantOpen);
    ReadRow(s, row);
    std::error_code ec;
    row.missing = !fs::exists(row.source, ec);
    return {};
}

FileResult NightLibrary::Show(NightNumber night, NightRow& row) {
    std::unordered_map<NightNumber, ComputedFigures> unstored;
    if (FileResult refreshed = LibraryAccess::Refresh(*this, nullptr, night, unstored); !refreshed) return refreshed;
    if (FileResult read = LibraryAccess::ReadOne(*this, night, row); !read) return read;
    UseUnstored(row, unstored);
    return {};
}

std::int64_t NightLibrary::DataVersion() const {
    Statement s(db_, "PRAGMA data_version");
    return s.Step() == SQLITE_ROW ? s.Int(0) : -1;
}

FileResult NightLibrary::SetNote(NightNumber night, std::string_view note) {
    // Every listing gives notes as UTF-8 text; bytes that are none would
    // come back as replacement characters.
    if (!IsValidUtf8(note)) return FileResult{false, UiText(library_message::kNoteNotText), {}};
    Transaction transaction(db_);
    if (!transaction.Open()) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    int id = 0;
    std::int64_t start = 0;
    if (FileResult key = LibraryAccess::Key(*this, night, id, start); !key) return key;
    Statement s(db_, "UPDATE nights SET note=? WHERE night=?");
    s.Bind(1, note).Bind(2, night);
    if (s.Step() != SQLITE_DONE) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    if (FileResult j =
            LibraryAccess::Journal(*this, {{NowSeconds(), JournalKind::Note, night, id, start, std::string(note)}});
        !j) {
        return j;
    }
    if (!transaction.Commit()) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    return {};
}

FileResult NightLibrary::SetName(NightNumber night, std::string_view name) {
    Statement s(db_, "UPDATE nights SET name=? WHERE night=?");
    s.Bind(1, name).Bind(2, night);
    if (s.Step() != SQLITE_DONE) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    if (sqlite3_changes(db_) == 0) return Failure(library_message::kNoNight, std::to_string(night));
    return {};
}

FileResult NightLibrary::Remove(NightNumber night) {
    return LibraryAccess::Change(
        *this, [&](std::vector<JournalEntry>& journal) { return LibraryAccess::DoRemove(*this, night, journal); });
}

FileResult LibraryAccess::DoRemove(NightLibrary& lib, NightNumber night, std::vector<JournalEntry>& journal) {
    int id = 0;
    std::int64_t start = 0;
    if (FileResult key = Key(lib, night, id, start); !key) return key;
    // A merged night goes with the nights hidden in it: each stays out of
    // later downloads.
    Statement parts(lib.db_,
                    "WITH RECURSIVE part(n) AS (SELECT ?1 UNION SELECT night FROM nights, part "
                    "WHERE merged_into=part.n) SELECT night,id,start FROM nights WHERE night IN part "
                    "ORDER BY night=?1 DESC, night");
    parts.Bind(1, night);
    std::vector<JournalEntry> gone;
    int step;
    while ((step = parts.Step()) == SQLITE_ROW)
        gone.push_back(
            {NowSeconds(), JournalKind::Remove, parts.Int(0), static_cast<int>(parts.Int(1)), parts.Int(2), {}});
    if (step != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    for (const JournalEntry& e : gone) {
        Statement s(lib.db_, "DELETE FROM nights WHERE night=?");
        s.Bind(1, e.night);
        if (s.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
        Statement keepOut(lib.db_, "INSERT OR IGNORE INTO removed(id,start) VALUES(?,?)");
        keepOut.Bind(1, static_cast<std::int64_t>(e.id)).Bind(2, e.start);
        if (keepOut.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    }
    journal.insert(journal.end(), gone.begin(), gone.end());
    return {};
}

FileResult NightLibrary::LoadNight(NightNumber night, std::vector<SampleRecord>& samples) {
    NightRow row;
    if (FileResult shown = LibraryAccess::ReadOne(*this, night, row); !shown) return shown;
    if (row.missing) return Failure(library_message::kSourceMissing, row.source.string());
    DataFileContents contents;
    if (FileResult read = ReadDataFile(row.source, contents); !read) return read;
    if (!TakeNightSamples(contents.records, row.first, row.samples, LibraryAccess::DigestOf(*this, night),
                          row.clockShift, samples))
        return Failure(library_message::kSourceChanged, row.source.string());
    return {};
}

FileResult NightLibrary::Exclusions(NightNumber night, std::vector<SampleSpan>& spans) {
    int id = 0;
    std::int64_t start = 0;
    if (FileResult key = LibraryAccess::Key(*this, night, id, start); !key) return key;
    Statement s(db_, "SELECT first,last FROM exclusions WHERE night=? ORDER BY first,last");
    s.Bind(1, night);
    std::vector<SampleSpan> out;
    int step;
    while ((step = s.Step()) == SQLITE_ROW)
        out.push_back({static_cast<std::int32_t>(s.Int(0)), static_cast<std::int32_t>(s.Int(1))});
    if (step != SQLITE_DONE) return LibraryAccess::DbFailure(*this, library_message::kCantOpen);
    spans = std::move(out);
    return {};
}

FileResult NightLibrary::SetExclusions(NightNumber night, std::span<const SampleSpan> spans,
                                       std::span<const SampleRecord> known) {
    NightRow row;
    if (FileResult read = LibraryAccess::ReadOne(*this, night, row); !read) return read;
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
        NightDigest(samples) != LibraryAccess::DigestOf(*this, night)) {
        if (FileResult read = LoadNight(night, loaded); !read) return read;
        samples = loaded;
    }
    const ComputedFigures figures = ComputeNightFigures(samples, settings_, quenda::Exclusions(sorted));

    Transaction transaction(db_);
    if (!transaction.Open()) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    Statement clear(db_, "DELETE FROM exclusions WHERE night=?");
    clear.Bind(1, night);
    if (clear.Step() != SQLITE_DONE) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    Statement add(db_, "INSERT INTO exclusions(night,first,last) VALUES(?,?,?)");
    for (const SampleSpan& span : sorted) {
        add.Reset();
        add.Bind(1, night).Bind(2, static_cast<std::int64_t>(span.first)).Bind(3, static_cast<std::int64_t>(span.last));
        if (add.Step() != SQLITE_DONE) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    }
    if (FileResult stored = LibraryAccess::StoreFigures(*this, night, figures); !stored) return stored;
    if (FileResult j = LibraryAccess::Journal(
            *this, {{NowSeconds(), JournalKind::Exclusions, night, row.id, row.start, SpansText(sorted)}});
        !j) {
        return j;
    }
    if (!transaction.Commit()) return LibraryAccess::DbFailure(*this, library_message::kCantWrite);
    return {};
}

FileResult LibraryAccess::StoreFigures(NightLibrary& lib, NightNumber night, const ComputedFigures& figures) {
    std::string sql = "UPDATE nights SET clinical=?,computed_under=?";
    for (const auto& c : kRealColumns) sql += std::string(",") + c.name + "=?";
    for (const auto& c : kIntColumns) sql += std::string(",") + c.name + "=?";
    sql += std::string(",") + kCoupledShareColumn + "=?";
    sql += " WHERE night=?";
    Statement s(lib.db_, sql.c_str());
    if (!s.Ok()) return DbFailure(lib, library_message::kCantWrite);
    s.BindBlob(1, Deflate(figures.clinicalJson)).Bind(2, figures.settingsKey);
    BindFigures(s, 3, figures.figures);
    s.Bind(3 + kFigureColumns, night);
    if (s.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    if (sqlite3_changes(lib.db_) == 0) return Failure(library_message::kNoNight, std::to_string(night));
    return {};
}

FileResult LibraryAccess::Refresh(NightLibrary& lib, const NightFilter* filter, std::optional<NightNumber> only,
                                  std::unordered_map<NightNumber, ComputedFigures>& unstored) {
    const std::string key = lib.settings_.Key();
    struct Stale {
        NightNumber night;
        std::string source;
        std::int32_t first;
        std::int32_t samples;
        std::int64_t digest;
        std::int64_t clockShift;
    };
    std::vector<Stale> stale;
    {
        Statement s(lib.db_,
                    "SELECT night,source,first,samples,digest,clock_shift FROM nights WHERE "
                    "computed_under<>?1 AND merged_into IS NULL AND "
                    "(?2 IS NULL OR id=?2) AND (?3 IS NULL OR date>=?3) AND (?4 IS NULL OR date<=?4) AND "
                    "(?5 IS NULL OR night=?5) ORDER BY source,first");
        if (!s.Ok()) return DbFailure(lib, library_message::kCantOpen);
        s.Bind(1, key);
        if (filter && filter->id) s.Bind(2, static_cast<std::int64_t>(*filter->id));
        if (filter && filter->from) s.Bind(3, *filter->from);
        if (filter && filter->to) s.Bind(4, *filter->to);
        if (only) s.Bind(5, *only);
        int step;
        while ((step = s.Step()) == SQLITE_ROW) {
            stale.push_back({s.Int(0), s.Text(1), static_cast<std::int32_t>(s.Int(2)),
                             static_cast<std::int32_t>(s.Int(3)), s.Int(4), s.Int(5)});
        }
        if (step != SQLITE_DONE) return DbFailure(lib, library_message::kCantOpen);
    }
    if (stale.empty()) return {};
    // Each source file is read once however many of its nights are stale.
    std::vector<std::pair<NightNumber, ComputedFigures>> fresh;
    DataFileContents contents;
    std::string loaded;
    bool readable = false;
    for (const Stale& night : stale) {
        if (night.source != loaded) {
            loaded = night.source;
            contents = {};
            readable = static_cast<bool>(ReadDataFile(night.source, contents));
        }
        // A file gone or changed: the night keeps what it has.
        std::vector<SampleRecord> part;
        if (!readable ||
            !TakeNightSamples(contents.records, night.first, night.samples, night.digest, night.clockShift, part))
            continue;
        std::vector<SampleSpan> spans;
        if (FileResult read = lib.Exclusions(night.night, spans); !read) return read;
        fresh.emplace_back(night.night, ComputeNightFigures(part, lib.settings_, quenda::Exclusions(spans)));
    }
    Transaction transaction(lib.db_);
    bool stored = transaction.Open();
    for (const auto& [night, figures] : fresh) {
        if (stored && !StoreFigures(lib, night, figures)) stored = false;
    }
    if (stored && transaction.Commit()) return {};
    for (auto& [night, figures] : fresh) unstored[night] = std::move(figures);
    return {};
}

AddResult AddToLibrary(const fs::path& library, std::span<const fs::path> paths, const AddOptions& options) {
    FileResult opened;
    auto lib = NightLibrary::Open(library, opened);
    if (!lib) {
        AddResult out;
        out.result = opened;
        out.failures.push_back(opened.message + (opened.detail.empty() ? "" : ": ") + opened.detail);
        return out;
    }
    return lib->AddPaths(paths, options);
}

// ---------------------------------------------------------------------------
// Putting nights right

// A night's row as a change reads it: its times as recorded.
struct LibraryAccess::Place {
    NightNumber night = 0;
    int id = 0;
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int32_t samples = 0;
    std::int32_t first = 0;
    std::string source;
    std::int64_t digest = 0;
    std::int64_t clockShift = 0;
    std::string note;
    std::string name;
    std::int64_t addedAt = 0;
};

namespace {

// The night rule's date of a night starting (shifted) at `start`.
std::string NightDate(std::int64_t start) {
    NightSpan span;
    span.start = start;
    return DateText(span.DateSeconds());
}

// Two notes as one: both texts in order, a line break between.
std::string JoinNotes(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    return first + "\n" + second;
}

// The spans before `at` and those from it on (re-indexed from 0), a span
// across `at` cut in two.
void DivideSpans(std::span<const SampleSpan> spans, std::int32_t at, std::vector<SampleSpan>& before,
                 std::vector<SampleSpan>& after) {
    before.clear();
    after.clear();
    for (const SampleSpan& s : spans) {
        if (s.first < at) before.push_back({s.first, std::min(s.last, at - 1)});
        if (s.last >= at) after.push_back({std::max(s.first, at) - at, s.last - at});
    }
}

// Whether `records` hold `count` samples of `digest` from `first`.
bool Holds(const std::vector<SampleRecord>& records, std::int64_t first, std::int64_t count, std::int64_t digest) {
    return first >= 0 && count >= 0 && first + count <= static_cast<std::int64_t>(records.size()) &&
           NightDigest(std::span<const SampleRecord>(records).subspan(static_cast<std::size_t>(first),
                                                                      static_cast<std::size_t>(count))) == digest;
}

bool Exists(std::string_view sql, sqlite3* db, NightNumber night) {
    Statement s(db, std::string(sql).c_str());
    s.Bind(1, night);
    return s.Step() == SQLITE_ROW;
}

bool IsSplitHalf(sqlite3* db, NightNumber night) {
    return Exists("SELECT 1 FROM splits WHERE night=?1 OR second=?1", db, night);
}

bool IsMergedNight(sqlite3* db, NightNumber night) { return Exists("SELECT 1 FROM merges WHERE night=?1", db, night); }

}  // namespace

FileResult LibraryAccess::ReadPlace(NightLibrary& lib, NightNumber night, Place& p, bool hiddenToo) {
    if (!hiddenToo) {
        if (FileResult listed = Listed(lib, night); !listed) return listed;
    }
    Statement s(lib.db_,
                "SELECT night,id,start,\"end\",samples,first,source,digest,clock_shift,note,name,added_at "
                "FROM nights WHERE night=?");
    s.Bind(1, night);
    const int step = s.Step();
    if (step == SQLITE_DONE) return Failure(library_message::kNoNight, std::to_string(night));
    if (step != SQLITE_ROW) return DbFailure(lib, library_message::kCantOpen);
    p.night = s.Int(0);
    p.id = static_cast<int>(s.Int(1));
    p.start = s.Int(2);
    p.end = s.Int(3);
    p.samples = static_cast<std::int32_t>(s.Int(4));
    p.first = static_cast<std::int32_t>(s.Int(5));
    p.source = s.Text(6);
    p.digest = s.Int(7);
    p.clockShift = s.Int(8);
    p.note = s.Text(9);
    p.name = s.Text(10);
    p.addedAt = s.Int(11);
    return {};
}

FileResult LibraryAccess::SetSpans(NightLibrary& lib, NightNumber night, std::span<const SampleSpan> spans) {
    Statement clear(lib.db_, "DELETE FROM exclusions WHERE night=?");
    clear.Bind(1, night);
    if (clear.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    Statement add(lib.db_, "INSERT INTO exclusions(night,first,last) VALUES(?,?,?)");
    for (const SampleSpan& span : spans) {
        add.Reset();
        add.Bind(1, night).Bind(2, static_cast<std::int64_t>(span.first)).Bind(3, static_cast<std::int64_t>(span.last));
        if (add.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    }
    return {};
}

FileResult LibraryAccess::Change(NightLibrary& lib,
                                 const std::function<FileResult(std::vector<JournalEntry>&)>& change) {
    Transaction transaction(lib.db_);
    if (!transaction.Open()) return DbFailure(lib, library_message::kCantWrite);
    std::vector<JournalEntry> journal;
    if (FileResult changed = change(journal); !changed) return changed;
    if (!journal.empty()) {
        if (FileResult written = Journal(lib, journal); !written) return written;
    }
    if (!transaction.Commit()) return DbFailure(lib, library_message::kCantWrite);
    return {};
}

FileResult LibraryAccess::ShiftTo(NightLibrary& lib, NightNumber night, std::int64_t clockShift,
                                  std::vector<JournalEntry>& journal) {
    Place p;
    if (FileResult read = ReadPlace(lib, night, p); !read) return read;
    SampleRecord probe;
    if (!SetSampleSeconds(probe, p.start + clockShift) || !SetSampleSeconds(probe, p.end + clockShift))
        return Refusal(library_message::kShiftOutOfRange, {night});
    if (clockShift == p.clockShift) return {};
    Statement s(lib.db_, "UPDATE nights SET clock_shift=?,date=?,computed_under='' WHERE night=?");
    s.Bind(1, clockShift).Bind(2, NightDate(p.start + clockShift)).Bind(3, night);
    if (s.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    if (clockShift == 0) {
        journal.push_back({NowSeconds(), JournalKind::Unshift, night, p.id, p.start, {}});
    } else {
        journal.push_back({NowSeconds(), JournalKind::Shift, night, p.id, p.start, std::to_string(clockShift)});
    }
    return {};
}

FileResult NightLibrary::Shift(NightNumber night, std::int64_t seconds) {
    return LibraryAccess::Change(*this, [&](std::vector<JournalEntry>& journal) {
        LibraryAccess::Place p;
        if (FileResult read = LibraryAccess::ReadPlace(*this, night, p); !read) return read;
        return LibraryAccess::ShiftTo(*this, night, p.clockShift + seconds, journal);
    });
}

FileResult NightLibrary::Unshift(NightNumber night) {
    return LibraryAccess::Change(*this, [&](std::vector<JournalEntry>& journal) {
        LibraryAccess::Place p;
        if (FileResult read = LibraryAccess::ReadPlace(*this, night, p); !read) return read;
        if (p.clockShift == 0) return Refusal(library_message::kNotShifted, {night});
        return LibraryAccess::ShiftTo(*this, night, 0, journal);
    });
}

FileResult LibraryAccess::DoMerge(NightLibrary& lib, NightNumber a, NightNumber b, std::vector<JournalEntry>& journal,
                                  NightNumber& merged) {
    if (a == b) return Refusal(library_message::kMergeItself, {a});
    Place pa, pb;
    if (FileResult read = ReadPlace(lib, a, pa); !read) return read;
    if (FileResult read = ReadPlace(lib, b, pb); !read) return read;
    if (pa.id != pb.id) return Refusal(library_message::kMergeIds, {a, b, pa.id, pb.id});
    // Either order: the earlier night is the first.
    const bool aFirst = pa.start < pb.start || (pa.start == pb.start && a < b);
    const Place& first = aFirst ? pa : pb;
    const Place& second = aFirst ? pb : pa;
    for (const Place* p : {&first, &second}) {
        if (IsSplitHalf(lib.db_, p->night)) return Refusal(library_message::kSplitHalf, {p->night});
    }
    if (first.clockShift != second.clockShift)
        return Refusal(library_message::kMergeShifts, {first.night, second.night});
    const std::int64_t gap = second.start - first.end;
    if (gap <= 0) return Refusal(library_message::kMergeOverlap, {first.night, second.night});
    if (gap > kMergeWithinSeconds) return Refusal(library_message::kMergeApart, {first.night, second.night});

    // One range of one file: the first night's file holding the second right
    // after it, or the second's holding the first right before it.
    DataFileContents contents;
    std::string file;
    std::int64_t from = 0;
    const auto sideBySide = [&](const std::string& source, std::int64_t at) {
        DataFileContents c;
        if (!ReadDataFile(source, c) || !Holds(c.records, at, first.samples, first.digest) ||
            !Holds(c.records, at + first.samples, second.samples, second.digest))
            return false;
        contents = std::move(c);
        file = source;
        from = at;
        return true;
    };
    if (!sideBySide(first.source, first.first) &&
        !sideBySide(second.source, std::int64_t{second.first} - first.samples)) {
        std::error_code ec;
        for (const Place* p : {&first, &second}) {
            if (!fs::exists(p->source, ec)) return Failure(library_message::kSourceMissing, p->source);
        }
        return Refusal(library_message::kMergeNotSideBySide, {first.night, second.night});
    }
    const std::int64_t count = std::int64_t{first.samples} + second.samples;
    const std::int64_t digest =
        NightDigest(std::span<const SampleRecord>(contents.records)
                        .subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(count)));
    std::vector<SampleSpan> firstSpans, secondSpans;
    if (FileResult read = lib.Exclusions(first.night, firstSpans); !read) return read;
    if (FileResult read = lib.Exclusions(second.night, secondSpans); !read) return read;
    std::vector<SampleSpan> joinedSpans = firstSpans;
    for (const SampleSpan& s : secondSpans) joinedSpans.push_back({s.first + first.samples, s.last + first.samples});
    // Spans that meet at the seam are one, as the user would have made them.
    const std::vector<SampleSpan> spans = quenda::Exclusions(joinedSpans).Spans();
    const std::string joined = JoinNotes(first.note, second.note);

    Statement grow(lib.db_,
                   "UPDATE nights SET \"end\"=?,samples=?,gap_seconds=?,source=?,first=?,last=?,digest=?,"
                   "note=?,computed_under='' WHERE night=?");
    grow.Bind(1, second.end)
        .Bind(2, count)
        .Bind(3, second.end - first.start + 1 - count)
        .Bind(4, file)
        .Bind(5, from)
        .Bind(6, from + count - 1)
        .Bind(7, digest)
        .Bind(8, joined)
        .Bind(9, first.night);
    Statement hide(lib.db_, "UPDATE nights SET merged_into=? WHERE night=?");
    hide.Bind(1, first.night).Bind(2, second.night);
    Statement keep(lib.db_,
                   "INSERT INTO merges(second,night,first_samples,first_end,first_source,first_first,"
                   "first_digest,first_note,joined_note) VALUES(?,?,?,?,?,?,?,?,?)");
    keep.Bind(1, second.night)
        .Bind(2, first.night)
        .Bind(3, static_cast<std::int64_t>(first.samples))
        .Bind(4, first.end)
        .Bind(5, first.source)
        .Bind(6, static_cast<std::int64_t>(first.first))
        .Bind(7, first.digest)
        .Bind(8, first.note)
        .Bind(9, joined);
    if (grow.Step() != SQLITE_DONE || hide.Step() != SQLITE_DONE || keep.Step() != SQLITE_DONE)
        return DbFailure(lib, library_message::kCantWrite);
    if (FileResult set = SetSpans(lib, second.night, {}); !set) return set;
    if (FileResult set = SetSpans(lib, first.night, spans); !set) return set;
    journal.push_back(
        {NowSeconds(), JournalKind::Merge, first.night, first.id, first.start, PairText(second.night, second.start)});
    merged = first.night;
    return {};
}

FileResult NightLibrary::Merge(NightNumber a, NightNumber b, NightNumber* merged) {
    return LibraryAccess::ChangeNaming(*this, merged, [&](std::vector<JournalEntry>& journal, NightNumber& into) {
        return LibraryAccess::DoMerge(*this, a, b, journal, into);
    });
}

FileResult LibraryAccess::DoUnmerge(NightLibrary& lib, NightNumber night, std::vector<JournalEntry>& journal,
                                    NightNumber& second) {
    Place p;
    if (FileResult read = ReadPlace(lib, night, p); !read) return read;
    Statement last(lib.db_,
                   "SELECT rowid,second,first_samples,first_end,first_source,first_first,first_digest,"
                   "first_note,joined_note FROM merges WHERE night=? ORDER BY rowid DESC LIMIT 1");
    last.Bind(1, night);
    if (last.Step() != SQLITE_ROW) return Refusal(library_message::kNotMerged, {night});
    const std::int64_t row = last.Int(0);
    second = last.Int(1);
    const auto samples = static_cast<std::int32_t>(last.Int(2));
    const std::int64_t end = last.Int(3);
    const std::int64_t from = last.Int(5);
    Place hidden;
    if (FileResult read = ReadPlace(lib, second, hidden, true); !read) return read;
    std::vector<SampleSpan> spans, firstSpans, secondSpans;
    if (FileResult read = lib.Exclusions(night, spans); !read) return read;
    DivideSpans(spans, samples, firstSpans, secondSpans);

    Statement shrink(lib.db_,
                     "UPDATE nights SET \"end\"=?,samples=?,gap_seconds=?,source=?,first=?,last=?,digest=?,"
                     "note=?,computed_under='' WHERE night=?");
    shrink.Bind(1, end)
        .Bind(2, static_cast<std::int64_t>(samples))
        .Bind(3, end - p.start + 1 - samples)
        .Bind(4, last.Text(4))
        .Bind(5, from)
        .Bind(6, from + samples - 1)
        .Bind(7, last.Int(6))
        // A note written on the merged night stays with the first.
        .Bind(8, p.note == last.Text(8) ? last.Text(7) : p.note)
        .Bind(9, night);
    Statement show(lib.db_, "UPDATE nights SET merged_into=NULL,clock_shift=?,date=?,computed_under='' WHERE night=?");
    show.Bind(1, p.clockShift).Bind(2, NightDate(hidden.start + p.clockShift)).Bind(3, second);
    Statement forget(lib.db_, "DELETE FROM merges WHERE rowid=?");
    forget.Bind(1, row);
    if (shrink.Step() != SQLITE_DONE || show.Step() != SQLITE_DONE || forget.Step() != SQLITE_DONE)
        return DbFailure(lib, library_message::kCantWrite);
    if (FileResult set = SetSpans(lib, night, firstSpans); !set) return set;
    if (FileResult set = SetSpans(lib, second, secondSpans); !set) return set;
    journal.push_back({NowSeconds(), JournalKind::Unmerge, night, p.id, p.start, {}});
    return {};
}

FileResult NightLibrary::Unmerge(NightNumber night, NightNumber* second) {
    return LibraryAccess::ChangeNaming(*this, second, [&](std::vector<JournalEntry>& journal, NightNumber& back) {
        return LibraryAccess::DoUnmerge(*this, night, journal, back);
    });
}

FileResult LibraryAccess::DoSplit(NightLibrary& lib, NightNumber night, std::int32_t index,
                                  std::optional<NightNumber> number, std::vector<JournalEntry>& journal,
                                  NightNumber& second) {
    Place p;
    if (FileResult read = ReadPlace(lib, night, p); !read) return read;
    if (IsMergedNight(lib.db_, night)) return Refusal(library_message::kIsMerged, {night});
    if (Exists("SELECT 1 FROM splits WHERE night=?1", lib.db_, night))
        return Refusal(library_message::kSplitHalf, {night});
    if (index < 1 || index >= p.samples) return Refusal(library_message::kSplitAt, {night, p.samples, p.samples - 1});
    if (std::error_code ec; !fs::exists(p.source, ec)) return Failure(library_message::kSourceMissing, p.source);
    DataFileContents contents;
    if (FileResult read = ReadDataFile(p.source, contents); !read) return read;
    if (!Holds(contents.records, p.first, p.samples, p.digest))
        return Failure(library_message::kSourceChanged, p.source);
    const auto part = std::span<const SampleRecord>(contents.records)
                          .subspan(static_cast<std::size_t>(p.first), static_cast<std::size_t>(p.samples));
    const std::int64_t firstEnd = *SampleSeconds(part[static_cast<std::size_t>(index) - 1]);
    const std::int64_t secondStart = *SampleSeconds(part[static_cast<std::size_t>(index)]);
    const std::int32_t rest = p.samples - index;
    std::vector<SampleSpan> spans, firstSpans, secondSpans;
    if (FileResult read = lib.Exclusions(night, spans); !read) return read;
    DivideSpans(spans, index, firstSpans, secondSpans);

    Statement shrink(lib.db_,
                     "UPDATE nights SET \"end\"=?,samples=?,gap_seconds=?,last=?,digest=?,computed_under='' "
                     "WHERE night=?");
    shrink.Bind(1, firstEnd)
        .Bind(2, static_cast<std::int64_t>(index))
        .Bind(3, firstEnd - p.start + 1 - index)
        .Bind(4, static_cast<std::int64_t>(p.first) + index - 1)
        .Bind(5, NightDigest(part.first(static_cast<std::size_t>(index))))
        .Bind(6, night);
    if (shrink.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    // Its figures come when next read, like every night put right.
    Statement add(lib.db_,
                  "INSERT INTO nights(night,id,name,date,start,\"end\",samples,gap_seconds,source,first,last,"
                  "clinical,note,added_at,digest,computed_under,clock_shift) "
                  "VALUES(?,?,?,?,?,?,?,?,?,?,?,x'','',?,?,'',?)");
    if (number && !Exists("SELECT 1 FROM nights WHERE night=?1", lib.db_, *number)) {
        add.Bind(1, *number);
    } else {
        add.BindNull(1);
    }
    add.Bind(2, static_cast<std::int64_t>(p.id))
        .Bind(3, p.name)
        .Bind(4, NightDate(secondStart + p.clockShift))
        .Bind(5, secondStart)
        .Bind(6, p.end)
        .Bind(7, static_cast<std::int64_t>(rest))
        .Bind(8, p.end - secondStart + 1 - rest)
        .Bind(9, p.source)
        .Bind(10, static_cast<std::int64_t>(p.first) + index)
        .Bind(11, static_cast<std::int64_t>(p.first) + p.samples - 1)
        .Bind(12, p.addedAt)
        .Bind(13, NightDigest(part.subspan(static_cast<std::size_t>(index))))
        .Bind(14, p.clockShift);
    if (add.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    second = sqlite3_last_insert_rowid(lib.db_);
    Statement keep(lib.db_, "INSERT INTO splits(second,night,whole_samples,whole_end,whole_digest) VALUES(?,?,?,?,?)");
    keep.Bind(1, second).Bind(2, night).Bind(3, static_cast<std::int64_t>(p.samples)).Bind(4, p.end).Bind(5, p.digest);
    if (keep.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    if (FileResult set = SetSpans(lib, night, firstSpans); !set) return set;
    if (FileResult set = SetSpans(lib, second, secondSpans); !set) return set;
    journal.push_back({NowSeconds(), JournalKind::Split, night, p.id, p.start, PairText(index, second)});
    return {};
}

FileResult NightLibrary::Split(NightNumber night, std::int32_t index, NightNumber* second) {
    return LibraryAccess::ChangeNaming(*this, second, [&](std::vector<JournalEntry>& journal, NightNumber& made) {
        return LibraryAccess::DoSplit(*this, night, index, std::nullopt, journal, made);
    });
}

FileResult LibraryAccess::DoUnsplit(NightLibrary& lib, NightNumber night, std::vector<JournalEntry>& journal,
                                    NightNumber& first) {
    if (FileResult listed = Listed(lib, night); !listed) return listed;
    Statement split(lib.db_,
                    "SELECT night,second,whole_samples,whole_end,whole_digest FROM splits "
                    "WHERE night=?1 OR second=?1 ORDER BY night=?1 DESC LIMIT 1");
    split.Bind(1, night);
    if (split.Step() != SQLITE_ROW) return Refusal(library_message::kNotSplit, {night});
    first = split.Int(0);
    const NightNumber second = split.Int(1);
    const std::int64_t whole = split.Int(2);
    const std::int64_t end = split.Int(3);
    if (Exists("SELECT 1 FROM splits WHERE night=?1", lib.db_, second))
        return Refusal(library_message::kSplitHalf, {second});
    Place a, b;
    if (FileResult read = ReadPlace(lib, first, a); !read) return read;
    if (FileResult read = ReadPlace(lib, second, b); !read) return read;
    std::vector<SampleSpan> spans, secondSpans;
    if (FileResult read = lib.Exclusions(first, spans); !read) return read;
    if (FileResult read = lib.Exclusions(second, secondSpans); !read) return read;
    for (const SampleSpan& s : secondSpans) spans.push_back({s.first + a.samples, s.last + a.samples});
    spans = quenda::Exclusions(spans).Spans();

    Statement grow(lib.db_,
                   "UPDATE nights SET \"end\"=?,samples=?,gap_seconds=?,last=?,digest=?,note=?,"
                   "computed_under='' WHERE night=?");
    grow.Bind(1, end)
        .Bind(2, whole)
        .Bind(3, end - a.start + 1 - whole)
        .Bind(4, a.first + whole - 1)
        .Bind(5, split.Int(4))
        .Bind(6, JoinNotes(a.note, b.note))
        .Bind(7, first);
    Statement drop(lib.db_, "DELETE FROM nights WHERE night=?");
    drop.Bind(1, second);
    if (grow.Step() != SQLITE_DONE || drop.Step() != SQLITE_DONE) return DbFailure(lib, library_message::kCantWrite);
    if (FileResult set = SetSpans(lib, first, spans); !set) return set;
    journal.push_back({NowSeconds(), JournalKind::Unsplit, first, a.id, a.start, {}});
    return {};
}

FileResult NightLibrary::Unsplit(NightNumber night, NightNumber* first) {
    return LibraryAccess::ChangeNaming(*this, first, [&](std::vector<JournalEntry>& journal, NightNumber& kept) {
        return LibraryAccess::DoUnsplit(*this, night, journal, kept);
    });
}

FileResult NightLibrary::Changes(NightNumber night, NightChanges& changes) {
    LibraryAccess::Place p;
    if (FileResult read = LibraryAccess::ReadPlace(*this, night, p); !read) return read;
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

namespace {

// The digest of `samples` as their file holds them: a night opened from the
// library carries its clock shift, its digest is of the samples as recorded.
std::optional<std::int64_t> RecordedDigest(std::span<const SampleRecord> samples, std::int64_t clockShift) {
    if (clockShift == 0) return NightDigest(samples);
    std::uint64_t h = kFnvOffset;
    for (SampleRecord r : samples) {
        const auto at = SampleSeconds(r);
        if (!at || !SetSampleSeconds(r, *at - clockShift)) return std::nullopt;
        h = Extend(h, r);
    }
    return static_cast<std::int64_t>(h);
}

}  // namespace

std::vector<NightLibrary::PlacedNight> NightLibrary::NightsIn(int id, std::span<const SampleRecord> samples) {
    std::vector<PlacedNight> placed;
    const std::vector<NightSpan> spans = SplitNights(samples).nights;
    // The listed nights of that ID starting at that second, as recorded or as
    // shifted: one recording's night, or another recording's that started at
    // the same second, which only the samples tell apart.
    struct Candidate {
        NightNumber night;
        std::int32_t samples;
        std::int64_t digest;
        std::int64_t shift;  // what the data set's times carry of the night's shift
        std::int32_t first;
        std::string source;
    };
    const auto candidatesAt = [this, id](std::int64_t start) {
        Statement s(db_,
                    "SELECT night,samples,digest,start+clock_shift=?2,clock_shift,first,source FROM nights "
                    "WHERE id=?1 AND (start=?2 OR start+clock_shift=?2) AND merged_into IS NULL "
                    "ORDER BY start+clock_shift=?2 DESC, samples DESC");
        s.Bind(1, static_cast<std::int64_t>(id)).Bind(2, start);
        std::vector<Candidate> out;
        while (s.Step() == SQLITE_ROW)
            out.push_back({s.Int(0), static_cast<std::int32_t>(s.Int(1)), s.Int(2), s.Int(3) != 0 ? s.Int(4) : 0,
                           static_cast<std::int32_t>(s.Int(5)), s.Text(6)});
        return out;
    };
    // Whether `part` is the first part of the night, as its file holds it.
    const auto beginsNight = [](const Candidate& c, std::span<const SampleRecord> part) {
        DataFileContents file;
        if (!ReadDataFile(c.source, file)) return false;
        const auto records = std::span<const SampleRecord>(file.records);
        const auto first = static_cast<std::size_t>(c.first);
        if (records.size() < first + static_cast<std::size_t>(c.samples) ||
            NightDigest(records.subspan(first, static_cast<std::size_t>(c.samples))) != c.digest)
            return false;
        return RecordedDigest(part, c.shift) == NightDigest(records.subspan(first, part.size()));
    };
    std::size_t i = 0;
    std::int32_t at = spans.empty() ? 0 : spans[0].first;  // where in span i the next night starts
    while (i < spans.size()) {
        const auto rest = [&](std::int32_t last) {
            return samples.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(last - at + 1));
        };
        bool found = false;
        for (const Candidate& c : candidatesAt(*SampleSeconds(samples[static_cast<std::size_t>(at)]))) {
            if (c.samples < 1) continue;
            const std::int64_t last = at + std::int64_t{c.samples} - 1;
            std::size_t j = i;
            // A merged night runs over the nights of the rule it joins, when
            // they follow each other sample after sample.
            while (last > spans[j].last && j + 1 < spans.size() && spans[j + 1].first == spans[j].last + 1 &&
                   last >= spans[j + 1].first)
                ++j;
            if (last <= spans[j].last) {
                if (RecordedDigest(rest(static_cast<std::int32_t>(last)), c.shift) != c.digest) continue;
                placed.push_back({c.night, at, static_cast<std::int32_t>(last)});
                // A split night's halves: the next starts at the sample after.
                i = j;
                if (last == spans[i].last) {
                    at = ++i < spans.size() ? spans[i].first : 0;
                } else {
                    at = static_cast<std::int32_t>(last) + 1;
                }
            } else {
                // The data set holds only the night's first part (an earlier
                // download of it): the night is held, with more than is here.
                if (!beginsNight(c, rest(spans[j].last))) continue;
                placed.push_back({c.night, at, spans[j].last, c.samples});
                i = j;
                at = ++i < spans.size() ? spans[i].first : 0;
            }
            found = true;
            break;
        }
        if (!found) {
            placed.push_back({std::nullopt, at, spans[i].last});
            at = ++i < spans.size() ? spans[i].first : 0;
        }
    }
    return placed;
}

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
    LibraryAccess::Numbers numbers;
    // The old library's notes and exclusions, by night, with its samples
    // then: they stand for journal lines that are lost.
    struct Kept {
        std::int32_t samples = 0;
        std::string note;
        std::vector<SampleSpan> spans;
    };
    std::map<NightKey, Kept> kept;
    std::set<NightKey> removed;
    // The journal's changes to replay, in order.
    std::vector<JournalEntry> changes;
    // Every night number given so far: none is given again.
    NightNumber highest = 0;
};

bool ReadKnown(NightLibrary& lib, Known& known) {
    {
        Statement s(lib.Handle(), "SELECT path FROM sources ORDER BY added_at,rowid");
        int step;
        while ((step = s.Step()) == SQLITE_ROW) known.sources.push_back(s.Text(0));
        if (step != SQLITE_DONE) return false;
    }
    {
        Statement s(lib.Handle(), "SELECT seq FROM sqlite_sequence WHERE name='nights'");
        if (s.Step() == SQLITE_ROW) known.highest = std::max(known.highest, s.Int(0));
    }
    Statement s(lib.Handle(), "SELECT night,id,start,note,samples,merged_into IS NULL FROM nights");
    int step;
    while ((step = s.Step()) == SQLITE_ROW) {
        const NightKey key{static_cast<int>(s.Int(1)), s.Int(2)};
        known.numbers[key] = s.Int(0);
        known.highest = std::max(known.highest, s.Int(0));
        if (s.Int(5) == 0) continue;
        Known::Kept kept;
        kept.samples = static_cast<std::int32_t>(s.Int(4));
        kept.note = s.Text(3);
        if (!lib.Exclusions(s.Int(0), kept.spans)) kept.spans.clear();
        if (!kept.note.empty() || !kept.spans.empty()) known.kept[key] = std::move(kept);
    }
    return step == SQLITE_DONE;
}

// What the library at `file` knows, when it can be read (`healthy`). One that
// cannot is moved aside, with its -wal and -shm, so the new one starts clean
// and the old one is there for whoever wants to look into it.
FileResult ReadOrMoveAside(const fs::path& file, Known& known, bool& healthy, fs::path& movedAside) {
    healthy = false;
    std::error_code ec;
    if (!fs::exists(file, ec)) return {};
    FileResult opened;
    if (auto old = NightLibrary::Open(file, opened)) {
        healthy = ReadKnown(*old, known);
        if (!healthy) known = {};
    }
    if (healthy) return {};
    movedAside = WithSuffix(file, BrokenSuffix());
    fs::rename(file, movedAside, ec);
    if (ec) return Failure(library_message::kCantWrite, file.string(), ec.message());
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
                known.numbers[key] = e.night;
                known.removed.erase(key);
                break;
            case JournalKind::Remove:
                known.removed.insert(key);
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
        if (e.kind == JournalKind::Note || e.kind == JournalKind::Exclusions || e.kind == JournalKind::Remove) continue;
        keys.insert({e.id, e.start});
        std::int64_t second = 0, secondStart = 0;
        if (e.kind == JournalKind::Merge && ParsePair(e.text, second, secondStart)) keys.insert({e.id, secondStart});
    }
    return keys;
}

// Every known source file added again to `lib`, each once; a file that is
// gone is counted, one that cannot be read said.
void AddSources(NightLibrary& lib, Known& known, const AddOptions& options, RebuildResult& out) {
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
        out.added.Merge(LibraryAccess::AddSamples(lib, source, id, contents.records, options, &known.numbers));
    }
}

}  // namespace

// The journal's changes made again, in the order they were made, to the
// nights as their files give them: each by the same function that made it,
// its journal line dropped (the journal holds it already). A change that no
// longer applies (its file gone, say) is passed over. Nights kept from the
// old library because their file is gone (`kept`) are as they were: passed over.
FileResult LibraryAccess::ReplayChanges(NightLibrary& lib, const std::vector<JournalEntry>& changes,
                                        const std::set<NightNumber>& kept, std::set<NightKey>& noted,
                                        std::set<NightKey>& excluded) {
    if (!Exec(lib.db_, "BEGIN IMMEDIATE")) return DbFailure(lib, library_message::kCantWrite);
    std::vector<JournalEntry> dropped;
    for (const JournalEntry& e : changes) {
        const NightKey key{e.id, e.start};
        if (e.kind == JournalKind::Note) noted.insert(key);
        if (e.kind == JournalKind::Exclusions) excluded.insert(key);
        const auto night = KeyNight(lib, e.id, e.start);
        if (!night || kept.contains(*night)) {
            if (e.kind == JournalKind::Remove) {
                Statement s(lib.db_, "INSERT OR IGNORE INTO removed(id,start) VALUES(?,?)");
                s.Bind(1, static_cast<std::int64_t>(e.id)).Bind(2, e.start);
                s.Step();
            }
            continue;
        }
        Exec(lib.db_, "SAVEPOINT change");
        FileResult done;
        NightNumber ignored = 0;
        std::int64_t a = 0, b = 0;
        switch (e.kind) {
            case JournalKind::Add: break;
            case JournalKind::Note: {
                Statement s(lib.db_, "UPDATE nights SET note=? WHERE night=?");
                s.Bind(1, e.text).Bind(2, *night);
                if (s.Step() != SQLITE_DONE) done = DbFailure(lib, library_message::kCantWrite);
                break;
            }
            case JournalKind::Exclusions: {
                std::vector<SampleSpan> spans;
                Place p;
                done = ReadPlace(lib, *night, p);
                const auto inside = [&](const SampleSpan& s) {
                    return s.first >= 0 && s.first <= s.last && s.last < p.samples;
                };
                if (done && ParseSpans(e.text, spans) && std::all_of(spans.begin(), spans.end(), inside)) {
                    done = SetSpans(lib, *night, spans);
                    Statement stale(lib.db_, "UPDATE nights SET computed_under='' WHERE night=?");
                    stale.Bind(1, *night);
                    stale.Step();
                }
                break;
            }
            case JournalKind::Remove: done = DoRemove(lib, *night, dropped); break;
            case JournalKind::Shift: {
                const auto [end, error] = std::from_chars(e.text.data(), e.text.data() + e.text.size(), a);
                done = error == std::errc() && end == e.text.data() + e.text.size() && !e.text.empty()
                           ? ShiftTo(lib, *night, a, dropped)
                           : FileResult{false, {}, {}};
                break;
            }
            case JournalKind::Unshift: done = ShiftTo(lib, *night, 0, dropped); break;
            case JournalKind::Merge:
                if (const auto second = ParsePair(e.text, a, b) ? KeyNight(lib, e.id, b) : std::nullopt;
                    second && !kept.contains(*second)) {
                    done = DoMerge(lib, *night, *second, dropped, ignored);
                }
                break;
            case JournalKind::Unmerge: done = DoUnmerge(lib, *night, dropped, ignored); break;
            case JournalKind::Split:
                if (ParsePair(e.text, a, b) && a > 0 && a <= std::numeric_limits<std::int32_t>::max())
                    done = DoSplit(lib, *night, static_cast<std::int32_t>(a), b, dropped, ignored);
                break;
            case JournalKind::Unsplit: done = DoUnsplit(lib, *night, dropped, ignored); break;
        }
        if (!done) Exec(lib.db_, "ROLLBACK TO change");
        Exec(lib.db_, "RELEASE change");
    }
    if (!Exec(lib.db_, "COMMIT")) return DbFailure(lib, library_message::kCantWrite);
    return {};
}

namespace {

// The old library's notes and exclusions, where the journal says nothing of
// them (its lines lost) and the night is still the same length.
void UseKept(NightLibrary& lib, const Known& known, const std::set<NightKey>& noted,
             const std::set<NightKey>& excluded) {
    Exec(lib.Handle(), "BEGIN IMMEDIATE");
    for (const auto& [key, kept] : known.kept) {
        Statement s(lib.Handle(),
                    "SELECT night FROM nights WHERE id=? AND start=? AND samples=? AND merged_into IS NULL");
        s.Bind(1, static_cast<std::int64_t>(key.first))
            .Bind(2, key.second)
            .Bind(3, static_cast<std::int64_t>(kept.samples));
        if (s.Step() != SQLITE_ROW) continue;
        const NightNumber night = s.Int(0);
        if (!kept.note.empty() && !noted.contains(key)) {
            Statement note(lib.Handle(), "UPDATE nights SET note=? WHERE night=?");
            note.Bind(1, kept.note).Bind(2, night);
            note.Step();
        }
        if (!kept.spans.empty() && !excluded.contains(key)) {
            // In place of any a replayed merge gave it: the same, or newer.
            Statement clear(lib.Handle(), "DELETE FROM exclusions WHERE night=?");
            clear.Bind(1, night);
            clear.Step();
            for (const SampleSpan& span : kept.spans) {
                Statement add(lib.Handle(), "INSERT INTO exclusions(night,first,last) VALUES(?,?,?)");
                add.Bind(1, night)
                    .Bind(2, static_cast<std::int64_t>(span.first))
                    .Bind(3, static_cast<std::int64_t>(span.last));
                add.Step();
            }
            Statement stale(lib.Handle(), "UPDATE nights SET computed_under='' WHERE night=?");
            stale.Bind(1, night);
            stale.Step();
        }
    }
    Exec(lib.Handle(), "COMMIT");
}

// The library indexed again into `fresh`: every number given before held
// back, the removals, every source file, the nights of a healthy old library
// whose file is gone, the user's changes, and every night's figures under
// the settings of the moment.
FileResult Reindex(const fs::path& fresh, const fs::path& file, bool healthy, Known& known, const AddOptions& options,
                   RebuildResult& out) {
    FileResult opened;
    auto lib = NightLibrary::Open(fresh, opened);
    if (!lib) return opened;
    lib->SetFigureSettings(options.figures);
    {
        Statement reserve(lib->Handle(), "INSERT INTO sqlite_sequence(name,seq) VALUES('nights',?)");
        reserve.Bind(1, known.highest);
        if (reserve.Step() != SQLITE_DONE) return LibraryAccess::DbFailure(*lib, library_message::kCantWrite);
    }
    const std::set<NightKey> changed = ChangedNights(known);
    for (const auto& key : known.removed) {
        if (changed.contains(key)) continue;
        Statement s(lib->Handle(), "INSERT OR IGNORE INTO removed(id,start) VALUES(?,?)");
        s.Bind(1, static_cast<std::int64_t>(key.first)).Bind(2, key.second);
        s.Step();
    }
    AddSources(*lib, known, options, out);
    std::set<NightNumber> kept;
    if (healthy) {
        // Nights whose file is gone stay listed, marked missing, as they were.
        Statement attach(lib->Handle(), "ATTACH ? AS old");
        attach.Bind(1, file.string());
        if (attach.Step() == SQLITE_DONE) {
            Exec(lib->Handle(),
                 "INSERT INTO main.nights SELECT * FROM old.nights o WHERE o.source NOT IN "
                 "(SELECT path FROM main.sources) AND NOT EXISTS (SELECT 1 FROM main.nights m "
                 "WHERE m.id=o.id AND m.start=o.start)");
            Statement copied(lib->Handle(),
                             "SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources)");
            while (copied.Step() == SQLITE_ROW) kept.insert(copied.Int(0));
            Exec(lib->Handle(),
                 "INSERT INTO main.exclusions SELECT * FROM old.exclusions WHERE night IN "
                 "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources));"
                 "INSERT OR IGNORE INTO main.merges SELECT * FROM old.merges WHERE night IN "
                 "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources));"
                 "INSERT OR IGNORE INTO main.splits SELECT * FROM old.splits WHERE night IN "
                 "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources)) AND second IN "
                 "(SELECT night FROM main.nights WHERE source NOT IN (SELECT path FROM main.sources))");
            Exec(lib->Handle(), "INSERT OR IGNORE INTO main.sources SELECT * FROM old.sources");
            Exec(lib->Handle(), "INSERT OR IGNORE INTO main.removed SELECT * FROM old.removed");
            Exec(lib->Handle(), "DETACH old");
        }
    }
    std::set<NightKey> noted, excluded;
    if (FileResult replayed = LibraryAccess::ReplayChanges(*lib, known.changes, kept, noted, excluded); !replayed)
        return replayed;
    if (healthy) UseKept(*lib, known, noted, excluded);
    std::unordered_map<NightNumber, ComputedFigures> unstored;
    const NightFilter everything;
    if (FileResult refreshed = LibraryAccess::Refresh(*lib, &everything, std::nullopt, unstored);
        !refreshed || !unstored.empty()) {
        return refreshed ? LibraryAccess::DbFailure(*lib, library_message::kCantWrite) : refreshed;
    }
    Statement count(lib->Handle(), "SELECT count(*),count(NULLIF(note,'')) FROM nights WHERE merged_into IS NULL");
    if (count.Step() == SQLITE_ROW) {
        out.nights = static_cast<int>(count.Int(0));
        out.notes = static_cast<int>(count.Int(1));
    }
    // Everything into the main file before it is renamed.
    Exec(lib->Handle(), "PRAGMA wal_checkpoint(TRUNCATE)");
    return {};
}

// The adds of the rebuild were journalled to "<fresh>.journal"; the nights
// that got a number only now join the real journal, so the next rebuild keeps
// it. Then the new library takes the old one's place.
FileResult TakeThePlace(const fs::path& fresh, const fs::path& file,
                        const std::set<std::pair<int, std::int64_t>>& knownBefore) {
    std::string error;
    std::vector<JournalEntry> added;
    std::vector<JournalEntry> numbered;
    ReadJournal(JournalFileOf(fresh), added, error);
    for (const JournalEntry& e : added)
        if (!knownBefore.contains({e.id, e.start})) numbered.push_back(e);
    if (!numbered.empty() && !AppendJournal(JournalFileOf(file), numbered, error))
        return Failure(library_message::kCantWrite, JournalFileOf(file).string(), error);
    std::error_code ec;
    fs::remove(JournalFileOf(fresh), ec);
    for (const char* side : {"-wal", "-shm"}) fs::remove(WithSuffix(fresh, side), ec);
    fs::rename(fresh, file, ec);
    if (ec) return Failure(library_message::kCantWrite, file.string(), ec.message());
    for (const char* side : {"-wal", "-shm"}) fs::remove(WithSuffix(file, side), ec);
    return {};
}

}  // namespace

RebuildResult RebuildLibrary(const fs::path& file, const AddOptions& options, std::span<const fs::path> alsoLookIn) {
    RebuildResult out;
    Known known;
    bool healthy = false;
    if (FileResult read = ReadOrMoveAside(file, known, healthy, out.movedAside); !read) {
        out.result = std::move(read);
        return out;
    }
    std::vector<JournalEntry> journal;
    std::string error;
    if (!ReadJournal(JournalFileOf(file), journal, error)) {
        out.result = Failure(library_message::kCantOpen, JournalFileOf(file).string(), error);
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

    std::set<std::pair<int, std::int64_t>> knownBefore;
    for (const auto& entry : known.numbers) knownBefore.insert(entry.first);
    // The new library beside the old, replacing it only when complete.
    const fs::path fresh = WithSuffix(file, ".rebuild");
    for (const char* side : {"", "-wal", "-shm"}) fs::remove(WithSuffix(fresh, side), ec);
    if (FileResult rebuilt = Reindex(fresh, file, healthy, known, options, out); !rebuilt) {
        out.result = std::move(rebuilt);
        return out;
    }
    out.result = TakeThePlace(fresh, file, knownBefore);
    return out;
}

}  // namespace quenda
