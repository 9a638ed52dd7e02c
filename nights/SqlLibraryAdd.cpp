#include "nights/SqlLibrary.h"

#include "nights/LibraryColumns.h"

#include <algorithm>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// The parameters of a new night: kNightNumber is given only to a night that
// takes a number given before; the database numbers the others, which an
// engine does only when the column is left out.
constexpr int kFirstFigure = 16;
constexpr int kNightNumber = kFirstFigure + kFigureColumns;

std::string InsertNightSql(bool numbered) {
    std::string sql =
        "INSERT INTO nights(id,name,date,start,\"end\",samples,gap_seconds,source,first,last,"
        "clinical,note,added_at,digest,computed_under,clinical_columns" +
        FigureColumnList() + (numbered ? ",night" : "") +
        ") VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,'',?12,?13,?14,?15";
    for (int i = kFirstFigure; i < kNightNumber + (numbered ? 1 : 0); ++i) sql += ",?" + std::to_string(i);
    return sql + ") RETURNING night";
}

// The numbers a rebuild may give the night found at `span` of `records`, the
// first not taken: those given before to these samples (the same, a shorter
// copy of them grown since, or a merged night that begins with them), then
// those journal lines of an older Quenda gave to its ID and start alone,
// unless known to be another recording's.
std::vector<NightNumber> NumbersGiven(const SqlLibrary::Numbers& numbers, int id, const NightSpan& span,
                                      std::span<const SampleRecord> records) {
    std::vector<NightNumber> given;
    const auto it = numbers.find({id, span.start});
    if (it == numbers.end()) return given;
    for (const SqlLibrary::Numbered& n : it->second)
        if (n.samples > 0 && Holds(records, span.first, n.samples, n.digest)) given.push_back(n.number);
    for (const SqlLibrary::Numbered& n : it->second) {
        const auto named = [&](const SqlLibrary::Numbered& m) { return m.samples > 0 && m.number == n.number; };
        if (n.samples == 0 && std::none_of(it->second.begin(), it->second.end(), named)) given.push_back(n.number);
    }
    return given;
}

}  // namespace

// The statements adding runs for every night, prepared once.
struct SqlLibrary::NightStatements {
    explicit NightStatements(SqlDatabase& db);
    bool Ok() const { return held.Ok() && insert.Ok() && insertNumbered.Ok() && removed.Ok() && removedPart.Ok(); }
    Statement held;            // the nights with a night's ID and start
    Statement insert;          // a new night
    Statement insertNumbered;  // a new night with a number given before
    Statement removed;         // the nights the user removed with an ID and start
    Statement removedPart;     // whether the user removed a night of an ID that starts within a span
};

SqlLibrary::NightStatements::NightStatements(SqlDatabase& db)
    : held(db,
           "SELECT night,samples,digest,source,first,CASE WHEN merged_into IS NOT NULL OR "
           "EXISTS(SELECT 1 FROM merges m WHERE m.night=nights.night) OR "
           "EXISTS(SELECT 1 FROM splits p WHERE p.night=nights.night OR p.second=nights.night) THEN 1 ELSE 0 END "
           "FROM nights WHERE id=? AND start=?"),
      insert(db, InsertNightSql(false)),
      insertNumbered(db, InsertNightSql(true)),
      removed(db, "SELECT samples,digest,source,first FROM removed WHERE id=? AND start=?"),
      removedPart(db, "SELECT 1 FROM removed WHERE id=? AND start>? AND start<=?") {}

bool SqlLibrary::Removed(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples) {
    st.removed.Reset();
    st.removed.Bind(1, static_cast<std::int64_t>(id)).Bind(2, night.span.start);
    bool removed = false;
    while (!removed && st.removed.Step() == SqlStep::Row) {
        const HeldNight held{static_cast<std::int32_t>(st.removed.Int(0)), st.removed.Int(1), st.removed.Text(2),
                             st.removed.Int(3)};
        removed = held.samples == 0 || ClassifyNight(held, samples, night.digest, Reader()) != NightMatch::New;
    }
    st.removed.Reset();
    return removed;
}

bool SqlLibrary::Match(NightStatements& st, int id, const FoundNight& night, std::span<const SampleRecord> samples,
                       NightMatch& outcome, NightNumber& match) {
    outcome = NightMatch::New;
    st.held.Reset();
    st.held.Bind(1, static_cast<std::int64_t>(id)).Bind(2, night.span.start);
    SqlStep step;
    while ((step = st.held.Step()) == SqlStep::Row) {
        const HeldNight held{static_cast<std::int32_t>(st.held.Int(1)), st.held.Int(2), st.held.Text(3),
                             st.held.Int(4)};
        outcome = ClassifyNight(held, samples, night.digest, Reader());
        // A night merged or split keeps the shape the user gave it.
        if (outcome == NightMatch::Extends && st.held.Int(5) != 0) outcome = NightMatch::Already;
        // Nor does a longer download bring back a part the user removed (the
        // second half of a split, say).
        if (outcome == NightMatch::Extends) {
            st.removedPart.Reset();
            st.removedPart.Bind(1, static_cast<std::int64_t>(id)).Bind(2, night.span.start).Bind(3, night.span.end);
            if (st.removedPart.Step() == SqlStep::Row) outcome = NightMatch::Already;
            st.removedPart.Reset();
        }
        if (outcome != NightMatch::New) {
            match = st.held.Int(0);
            break;
        }
    }
    st.held.Reset();
    return step == SqlStep::Row || step == SqlStep::Done;
}

FileResult SqlLibrary::ExtendHeld(NightNumber match, const FoundNight& night, std::span<const SampleRecord> samples,
                                  const std::string& sourceText, const AddOptions& options) {
    const NightSpan& span = night.span;
    if (FileResult moved = SetExtent(match, span.start,
                                     {span.end, span.Samples(), sourceText, span.first, night.digest}, std::nullopt);
        !moved)
        return moved;
    // The night keeps its exclusions, so its figures follow them.
    std::vector<SampleSpan> spans;
    if (FileResult read = Exclusions(match, spans); !read) return read;
    ComputedFigures figures =
        spans.empty() ? night.figures : ComputeNightFigures(samples, options.figures, quenda::Exclusions(spans));
    // The figures' times are the samples' as recorded: a shifted night's are
    // computed again, shifted, before the add commits.
    Statement shift(*db_, "SELECT clock_shift FROM nights WHERE night=?");
    shift.Bind(1, match);
    if (shift.Step() == SqlStep::Row && shift.Int(0) != 0) figures.settingsKey.clear();
    return StoreFigures(match, figures);
}

bool SqlLibrary::InsertNight(NightStatements& st, int id, const FoundNight& night,
                             std::span<const SampleRecord> records, const std::string& name,
                             const std::string& sourceText, std::int64_t now, const Numbers* numbers,
                             NightNumber& number) {
    const NightSpan& span = night.span;
    std::optional<NightNumber> free;
    for (const NightNumber given : numbers ? NumbersGiven(*numbers, id, span, records) : std::vector<NightNumber>{}) {
        if (!Exists("SELECT 1 FROM nights WHERE night=?1", given)) {
            free = given;
            break;
        }
    }
    Statement& insert = free ? st.insertNumbered : st.insert;
    insert.Reset();
    if (free) insert.Bind(kNightNumber, *free);
    insert.Bind(1, static_cast<std::int64_t>(id))
        .Bind(2, name)
        .Bind(3, DateText(span.DateSeconds()))
        .Bind(4, span.start)
        .Bind(5, span.end)
        .Bind(6, static_cast<std::int64_t>(span.Samples()))
        .Bind(7, span.GapSeconds())
        .Bind(8, sourceText)
        .Bind(9, static_cast<std::int64_t>(span.first))
        .Bind(10, static_cast<std::int64_t>(span.last))
        .BindBlob(11, Deflate(night.figures.clinicalJson))
        .Bind(12, now)
        .Bind(13, night.digest)
        .Bind(14, night.figures.settingsKey)
        .BindBlob(15, Deflate(night.figures.clinicalColumns.Text()));
    BindFigures(insert, kFirstFigure, night.figures.figures);
    if (insert.Step() != SqlStep::Row) return false;
    number = insert.Int(0);
    // Run to its end, so the insert is complete on every engine.
    return insert.Step() == SqlStep::Done;
}

AddResult SqlLibrary::AddNumbered(const fs::path& source, int id, std::span<const SampleRecord> samples,
                                  const AddOptions& options, const Numbers* numbers, const std::string* title) {
    AddResult out;
    out.files = 1;
    const RecordingNights recording = ApplyNightRule(samples);
    out.leftOut = recording.leftOut;
    const std::vector<FoundNight> found = FindNights(samples, recording, options.figures);
    const std::string name = options.nameOf ? options.nameOf(id) : std::string();
    const auto fail = [&](FileResult why) {
        out.added = out.replaced = out.already = out.removed = 0;
        out.nights.clear();
        out.failures.push_back(source.string() + ": " + why.message + (why.detail.empty() ? "" : ": ") + why.detail);
        out.result = std::move(why);
        return out;
    };

    Transaction transaction(*db_);
    if (!transaction.Open()) return fail(DbFailure(library_message::kCantWrite));
    std::string sourceText;
    if (FileResult recorded = RecordSource(source, id, samples, title, sourceText); !recorded)
        return fail(std::move(recorded));
    NightStatements st(*db_);
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
        if (!Match(st, id, night, nightSamples, outcome, number)) return fail(DbFailure(library_message::kCantWrite));
        switch (outcome) {
            case NightMatch::Already: ++out.already; break;
            case NightMatch::Extends:
                if (FileResult extended = ExtendHeld(number, night, nightSamples, sourceText, options); !extended)
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
            journal.push_back(
                {now, JournalKind::Add, number, id, span.start, sourceText, span.Samples(), night.digest});
    }
    // Figures were computed without the ID's scoring, if it has one: they
    // are computed again with it below.
    Statement scored(*db_,
                     "UPDATE nights SET computed_under='' WHERE id=?1 AND EXISTS(SELECT 1 FROM scored WHERE id=?1)");
    scored.Bind(1, static_cast<std::int64_t>(id));
    if (scored.Step() != SqlStep::Done) return fail(DbFailure(library_message::kCantWrite));
    if (!journal.empty()) {
        if (FileResult written = Journal(journal); !written) return fail(std::move(written));
    }
    // A shifted night that a longer download extended: its figures follow
    // its shifted samples.
    if (FileResult computed = StoreComputed(options.figures, true); !computed) return fail(std::move(computed));
    if (!transaction.Commit()) return fail(DbFailure(library_message::kCantWrite));
    return out;
}

AddResult SqlLibrary::AddSamples(const fs::path& source, int id, std::span<const SampleRecord> samples,
                                 const AddOptions& options) {
    return AddNumbered(source, id, samples, options, nullptr);
}

}  // namespace quenda
