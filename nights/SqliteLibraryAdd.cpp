#include "nights/SqliteLibrary.h"

#include "nights/LibraryColumns.h"
#include "nights/SqliteStatement.h"
#include "store/DataFile.h"

#include <sqlite3.h>

#include <algorithm>

namespace quenda {

namespace fs = std::filesystem;

namespace {

std::string InsertNightSql() {
    std::string sql =
        "INSERT INTO nights(night,id,name,date,start,\"end\",samples,gap_seconds,source,first,last,"
        "clinical,note,added_at,digest,computed_under" +
        FigureColumnList() + ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,'',?,?,?";
    for (int i = 0; i < kFigureColumns; ++i) sql += ",?";
    return sql + ")";
}

// The numbers a rebuild may give the night found at `span` of `records`, the
// first not taken: those given before to these samples (the same, a shorter
// copy of them grown since, or a merged night that begins with them), then
// those journal lines of an older Quenda gave to its ID and start alone,
// unless known to be another recording's.
std::vector<NightNumber> NumbersGiven(const SqliteLibrary::Numbers& numbers, int id, const NightSpan& span,
                                      std::span<const SampleRecord> records) {
    std::vector<NightNumber> given;
    const auto it = numbers.find({id, span.start});
    if (it == numbers.end()) return given;
    for (const SqliteLibrary::Numbered& n : it->second)
        if (n.samples > 0 && Holds(records, span.first, n.samples, n.digest)) given.push_back(n.number);
    for (const SqliteLibrary::Numbered& n : it->second) {
        const auto named = [&](const SqliteLibrary::Numbered& m) { return m.samples > 0 && m.number == n.number; };
        if (n.samples == 0 && std::none_of(it->second.begin(), it->second.end(), named)) given.push_back(n.number);
    }
    return given;
}

}  // namespace

// The statements adding runs for every night, prepared once.
struct SqliteLibrary::NightStatements {
    explicit NightStatements(sqlite3* db);
    bool Ok() const { return held.Ok() && insert.Ok() && update.Ok(); }
    Statement held;     // the nights with a night's ID and start
    Statement insert;   // a new night
    Statement update;   // a held night that a longer one extends
    Statement removed;  // the nights the user removed with an ID and start
};

SqliteLibrary::NightStatements::NightStatements(sqlite3* db)
    : held(db,
           "SELECT night,samples,digest,source,first,merged_into IS NOT NULL OR "
           "EXISTS(SELECT 1 FROM merges m WHERE m.night=nights.night) OR "
           "EXISTS(SELECT 1 FROM splits p WHERE p.night=nights.night OR p.second=nights.night) "
           "FROM nights WHERE id=? AND start=?"),
      insert(db, InsertNightSql().c_str()),
      update(db, "UPDATE nights SET \"end\"=?,samples=?,gap_seconds=?,source=?,first=?,last=?,digest=? WHERE night=?"),
      removed(db, "SELECT samples,digest,source,first FROM removed WHERE id=? AND start=?") {}

bool SqliteLibrary::Removed(NightStatements& st, int id, const FoundNight& night,
                            std::span<const SampleRecord> samples) {
    st.removed.Reset();
    st.removed.Bind(1, static_cast<std::int64_t>(id)).Bind(2, night.span.start);
    bool removed = false;
    while (!removed && st.removed.Step() == SQLITE_ROW) {
        const HeldNight held{static_cast<std::int32_t>(st.removed.Int(0)), st.removed.Int(1), st.removed.Text(2),
                             st.removed.Int(3)};
        removed = held.samples == 0 || ClassifyNight(held, samples, night.digest) != NightMatch::New;
    }
    st.removed.Reset();
    return removed;
}

bool SqliteLibrary::Match(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples,
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

FileResult SqliteLibrary::ExtendHeld(NightStatements& st, NightNumber match, const FoundNight& night,
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
    if (st.update.Step() != SQLITE_DONE) return DbFailure(library_message::kCantWrite);
    // The night keeps its exclusions, so its figures follow them.
    std::vector<SampleSpan> spans;
    if (FileResult read = Exclusions(match, spans); !read) return read;
    ComputedFigures figures =
        spans.empty() ? night.figures : ComputeNightFigures(samples, options.figures, quenda::Exclusions(spans));
    // The figures' times are the samples' as recorded: a shifted night's are
    // computed again, shifted, before the add commits.
    Statement shift(db_, "SELECT clock_shift FROM nights WHERE night=?");
    shift.Bind(1, match);
    if (shift.Step() == SQLITE_ROW && shift.Int(0) != 0) figures.settingsKey.clear();
    return StoreFigures(match, figures);
}

bool SqliteLibrary::InsertNight(NightStatements& st, int id, const FoundNight& night,
                                std::span<const SampleRecord> records, const std::string& name,
                                const std::string& sourceText, std::int64_t now, const Numbers* numbers,
                                NightNumber& number) {
    const NightSpan& span = night.span;
    st.insert.Reset();
    st.insert.BindNull(1);
    for (const NightNumber given : numbers ? NumbersGiven(*numbers, id, span, records) : std::vector<NightNumber>{}) {
        Statement taken(db_, "SELECT 1 FROM nights WHERE night=?");
        taken.Bind(1, given);
        if (taken.Step() == SQLITE_DONE) {
            st.insert.Bind(1, given);
            break;
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
    number = sqlite3_last_insert_rowid(db_);
    return true;
}

AddResult SqliteLibrary::AddNumbered(const fs::path& source, int id,
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

    Transaction transaction(db_);
    if (!transaction.Open()) return fail(DbFailure(library_message::kCantWrite));
    Statement addSource(db_, "INSERT OR IGNORE INTO sources(path,added_at) VALUES(?,?)");
    addSource.Bind(1, sourceText).Bind(2, NowSeconds());
    if (addSource.Step() != SQLITE_DONE) return fail(DbFailure(library_message::kCantWrite));
    NightStatements st(db_);
    if (!st.Ok()) return fail(DbFailure(library_message::kCantWrite));

    std::vector<JournalEntry> journal;
    const std::int64_t now = NowSeconds();
    for (const FoundNight& night : found) {
        const NightSpan& span = night.span;
        const auto nightSamples =
            samples.subspan(static_cast<std::size_t>(span.first), static_cast<std::size_t>(span.Samples()));
        if (Removed(st, id, night, nightSamples)) {
            ++out.removed;
            continue;
        }
        NightMatch outcome = NightMatch::New;
        NightNumber number = 0;
        if (!Match(st, id, night, nightSamples, outcome, number))
            return fail(DbFailure(library_message::kCantWrite));
        switch (outcome) {
            case NightMatch::Already: ++out.already; break;
            case NightMatch::Extends:
                if (FileResult extended = ExtendHeld(st, number, night, nightSamples, sourceText, options);
                    !extended)
                    return fail(std::move(extended));
                ++out.replaced;
                break;
            case NightMatch::New:
                if (!InsertNight(st, id, night, samples, name, sourceText, now, numbers, number))
                    return fail(DbFailure(library_message::kCantWrite));
                ++out.added;
                break;
        }
        // A night met again inside a merged one is that one.
        out.nights.push_back(outcome == NightMatch::Already ? Outermost(number) : number);
        if (outcome != NightMatch::Already)
            journal.push_back({now, JournalKind::Add, number, id, span.start, sourceText, span.Samples(), night.digest});
    }
    // Figures were computed without the ID's scoring, if it has one: they
    // are computed again with it below.
    Statement scored(db_,
                     "UPDATE nights SET computed_under='' WHERE id=?1 AND EXISTS(SELECT 1 FROM scored WHERE id=?1)");
    scored.Bind(1, static_cast<std::int64_t>(id));
    if (scored.Step() != SQLITE_DONE) return fail(DbFailure(library_message::kCantWrite));
    if (!journal.empty()) {
        if (FileResult written = Journal(journal); !written) return fail(std::move(written));
    }
    // A shifted night that a longer download extended: its figures follow
    // its shifted samples.
    if (FileResult computed = StoreComputed(options.figures, true); !computed) return fail(std::move(computed));
    if (!transaction.Commit()) return fail(DbFailure(library_message::kCantWrite));
    return out;
}

AddResult SqliteLibrary::AddSamples(const fs::path& source, int id, std::span<const SampleRecord> samples,
                                   const AddOptions& options) {
    return AddNumbered(source, id, samples, options, nullptr);
}

}  // namespace quenda
