#include "nights/SqlLibrary.h"

#include "base/TextCodec.h"
#include "base/UiText.h"
#include "nights/LibraryColumns.h"

#include <algorithm>
#include <tuple>

namespace quenda {

namespace fs = std::filesystem;

namespace {

NightFigures ReadFigures(const Statement& s, int at) {
    NightFigures f;
    for (const auto& c : kRealColumns) f.*(c.field) = s.Real(at++);
    for (const auto& c : kIntColumns) f.*(c.field) = static_cast<std::int32_t>(s.Int(at++));
    if (!s.IsNull(at)) f.coupledShare = s.Real(at);
    return f;
}

constexpr int kRowFixedColumns = 16;

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
    const std::string_view clinical = s.Blob(11);
    Inflate(clinical.data(), clinical.size(), r.clinicalJson);
    r.note = s.Text(12);
    r.addedAt = s.Int(13);
    r.clockShift = s.Int(14);
    std::string text;
    if (!s.IsNull(15)) {
        const std::string_view columns = s.Blob(15);
        Inflate(columns.data(), columns.size(), text, "");
    }
    r.clinicalColumns = ClinicalColumns(std::move(text));
    r.start += r.clockShift;
    r.end += r.clockShift;
    r.figures = ReadFigures(s, kRowFixedColumns);
    r.missing = false;
}

// Figures computed for this reading that the library could not keep.
void UseUnstored(NightRow& row, const std::unordered_map<NightNumber, ComputedFigures>& unstored) {
    if (const auto it = unstored.find(row.night); it != unstored.end()) {
        row.figures = it->second.figures;
        row.clinicalJson = it->second.clinicalJson;
        row.clinicalColumns = it->second.clinicalColumns;
    }
}

}  // namespace

SqlLibrary::SqlLibrary(fs::path location, std::unique_ptr<SqlDatabase> db)
    : NightLibrary(std::move(location)), db_(std::move(db)) {}

SqlLibrary::~SqlLibrary() = default;

FileResult SqlLibrary::DbFailure(const char* message) const {
    // What the login may not do is said as such, whichever statement met it.
    switch (db_->LastTrouble()) {
        case SqlTrouble::Damaged: message = library_message::kNotLibrary; break;
        case SqlTrouble::Denied: message = library_message::kMayOnlyRead; break;
        default: break;
    }
    return LibraryFailure(message, db_->Where(), db_->LastError());
}

const std::string& SqlLibrary::RowColumns(bool clinicalColumns) {
    std::string& columns = rowColumns_[clinicalColumns ? 1 : 0];
    if (columns.empty()) {
        columns = "night,id,name,date,start,\"end\",samples,gap_seconds," + ShownSource() +
                  ",first,last,clinical,note,added_at,clock_shift," + (clinicalColumns ? "clinical_columns" : "NULL") +
                  FigureColumnList();
    }
    return columns;
}

std::string SqlLibrary::ShownSource() const { return "source"; }

SourceReader SqlLibrary::Reader() {
    return [this](const std::string& source, DataFileContents& contents) { return ReadSource(source, contents); };
}

std::int64_t SqlLibrary::DigestOf(NightNumber night) {
    Statement s(*db_, "SELECT digest FROM nights WHERE night=?");
    s.Bind(1, night);
    return s.Step() == SqlStep::Row ? s.Int(0) : 0;
}
NightNumber SqlLibrary::Outermost(NightNumber night) {
    for (int steps = 0; steps < 1000; ++steps) {
        Statement s(*db_, "SELECT merged_into FROM nights WHERE night=?");
        s.Bind(1, night);
        if (s.Step() != SqlStep::Row || s.IsNull(0)) break;
        night = s.Int(0);
    }
    return night;
}
FileResult SqlLibrary::Listed(NightNumber night) {
    NightNumber at = night;
    // A few steps at most (merges stack); a damaged chain ends here.
    for (int steps = 0; steps < 1000; ++steps) {
        Statement s(*db_, "SELECT merged_into FROM nights WHERE night=?");
        s.Bind(1, at);
        const SqlStep step = s.Step();
        if (step == SqlStep::Done) return LibraryFailure(library_message::kNoNight, std::to_string(night));
        if (step != SqlStep::Row) return DbFailure(library_message::kCantOpen);
        if (s.IsNull(0)) return at == night ? FileResult{} : LibraryRefusal(library_message::kMergedInto, {night, at});
        at = s.Int(0);
    }
    return LibraryFailure(library_message::kNoNight, std::to_string(night));
}

FileResult SqlLibrary::Key(NightNumber night, JournalEntry& line) {
    if (FileResult listed = Listed(night); !listed) return listed;
    Statement s(*db_, "SELECT id,start,samples,digest FROM nights WHERE night=?");
    s.Bind(1, night);
    if (s.Step() != SqlStep::Row) return DbFailure(library_message::kCantOpen);
    line.night = night;
    line.id = static_cast<int>(s.Int(0));
    line.start = s.Int(1);
    line.samples = static_cast<std::int32_t>(s.Int(2));
    line.digest = s.Int(3);
    return {};
}

std::optional<NightNumber> SqlLibrary::KeyNight(const JournalEntry& line) {
    struct Candidate {
        NightNumber night;
        std::int32_t samples;
        std::int64_t digest;
        std::string source;
        std::int64_t first;
    };
    std::vector<Candidate> candidates;
    Statement s(*db_,
                "SELECT night,samples,digest,source,first FROM nights WHERE id=? AND start=? AND merged_into IS NULL "
                "ORDER BY samples DESC,night");
    s.Bind(1, static_cast<std::int64_t>(line.id)).Bind(2, line.start);
    while (s.Step() == SqlStep::Row)
        candidates.push_back({s.Int(0), static_cast<std::int32_t>(s.Int(1)), s.Int(2), s.Text(3), s.Int(4)});
    if (candidates.empty()) return std::nullopt;
    // A line of an older Quenda names no samples: the longest, as it always did.
    if (line.samples <= 0) return candidates.front().night;
    for (const Candidate& c : candidates)
        if (c.samples == line.samples && c.digest == line.digest) return c.night;
    // Grown since by a later download: its file still begins with them.
    for (const Candidate& c : candidates) {
        DataFileContents contents;
        if (c.samples > line.samples && ReadSource(c.source, contents) &&
            Holds(contents.records, c.first, line.samples, line.digest))
            return c.night;
    }
    return std::nullopt;
}

std::optional<NightNumber> SqlLibrary::NightAfter(NightNumber first, int id, std::int64_t start) {
    Statement s(*db_,
                "SELECT n.night FROM nights n, nights f WHERE f.night=?1 AND n.id=?2 AND n.start=?3 AND "
                "n.merged_into IS NULL AND n.source=f.source AND n.first=f.last+1");
    s.Bind(1, first).Bind(2, static_cast<std::int64_t>(id)).Bind(3, start);
    if (s.Step() == SqlStep::Row) return s.Int(0);
    JournalEntry line;
    line.id = id;
    line.start = start;
    return KeyNight(line);
}

FileResult SqlLibrary::ForEach(const NightFilter& filter, const std::function<void(const NightRow&)>& visit) {
    // A reading writes nothing: figures that follow other settings are
    // computed for it alone; UpdateFigures stores them.
    std::vector<std::pair<NightNumber, ComputedFigures>> computed;
    if (FileResult read = ComputeFigures(settings_, &filter, std::nullopt, false, computed); !read) return read;
    const std::unordered_map<NightNumber, ComputedFigures> unstored(computed.begin(), computed.end());
    const std::string sql = "SELECT " + RowColumns(filter.clinicalColumns) +
                            " FROM nights WHERE merged_into IS NULL AND (CAST(?1 AS BIGINT) IS NULL OR id=?1) AND "
                            "(CAST(?2 AS TEXT) IS NULL OR date>=?2) AND (CAST(?3 AS TEXT) IS NULL OR date<=?3) ORDER "
                            "BY start+clock_shift,night";
    Statement s(*db_, sql);
    if (!s.Ok()) return DbFailure(library_message::kCantOpen);
    if (filter.id) s.Bind(1, static_cast<std::int64_t>(*filter.id));
    if (filter.from) s.Bind(2, *filter.from);
    if (filter.to) s.Bind(3, *filter.to);
    std::unordered_map<std::string, bool> present;
    NightRow row;
    SqlStep step;
    while ((step = s.Step()) == SqlStep::Row) {
        ReadRow(s, row);
        UseUnstored(row, unstored);
        if (filter.checkMissing) {
            auto [it, firstTime] = present.try_emplace(row.source.string(), false);
            if (firstTime) it->second = HasSource(it->first);
            row.missing = !it->second;
        }
        visit(row);
    }
    if (step != SqlStep::Done) return DbFailure(library_message::kCantOpen);
    return {};
}

FileResult SqlLibrary::ReadOne(NightNumber night, NightRow& row) {
    if (FileResult listed = Listed(night); !listed) return listed;
    const std::string sql = "SELECT " + RowColumns() + " FROM nights WHERE night=?";
    Statement s(*db_, sql);
    if (!s.Ok()) return DbFailure(library_message::kCantOpen);
    s.Bind(1, night);
    const SqlStep step = s.Step();
    if (step == SqlStep::Done) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    if (step != SqlStep::Row) return DbFailure(library_message::kCantOpen);
    ReadRow(s, row);
    row.missing = !HasSource(row.source.string());
    return {};
}

FileResult SqlLibrary::Show(NightNumber night, NightRow& row) {
    std::vector<std::pair<NightNumber, ComputedFigures>> fresh;
    if (FileResult computed = ComputeFigures(settings_, nullptr, night, false, fresh); !computed) return computed;
    const std::unordered_map<NightNumber, ComputedFigures> unstored(fresh.begin(), fresh.end());
    if (FileResult read = ReadOne(night, row); !read) return read;
    UseUnstored(row, unstored);
    return {};
}

std::int64_t SqlLibrary::DataVersion() const { return db_->DataVersion(); }

FileResult SqlLibrary::SetNote(NightNumber night, std::string_view note) {
    // Every listing gives notes as UTF-8 text; bytes that are none would
    // come back as replacement characters.
    if (!IsValidUtf8(note)) return FileResult{false, UiText(library_message::kNoteNotText), {}};
    Transaction transaction(*db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    JournalEntry line;
    line.time = NowSeconds();
    line.kind = JournalKind::Note;
    if (FileResult key = Key(night, line); !key) return key;
    line.text = note;
    Statement s(*db_, "UPDATE nights SET note=? WHERE night=?");
    s.Bind(1, note).Bind(2, night);
    if (s.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (FileResult j = Journal({line}); !j) return j;
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqlLibrary::SetName(NightNumber night, std::string_view name) {
    Statement s(*db_, "UPDATE nights SET name=? WHERE night=?");
    s.Bind(1, name).Bind(2, night);
    if (s.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (db_->Changes() == 0) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    return {};
}

FileResult SqlLibrary::Remove(NightNumber night) {
    return Change([&](std::vector<JournalEntry>& journal) { return DoRemove(night, journal); });
}

FileResult SqlLibrary::DoRemove(NightNumber night, std::vector<JournalEntry>& journal) {
    if (FileResult listed = Listed(night); !listed) return listed;
    // A merged night goes with the nights hidden in it: each stays out of
    // later downloads.
    Statement parts(*db_,
                    "WITH RECURSIVE part(n) AS (SELECT CAST(?1 AS BIGINT) UNION SELECT night FROM nights, part "
                    "WHERE merged_into=part.n) SELECT night,id,start,samples,digest,source,first FROM nights "
                    "WHERE night IN (SELECT n FROM part) ORDER BY night=?1 DESC, night");
    parts.Bind(1, night);
    std::vector<JournalEntry> gone;
    std::vector<std::pair<std::string, std::int64_t>> where;  // each one's file and first sample there
    SqlStep step;
    while ((step = parts.Step()) == SqlStep::Row) {
        gone.push_back({NowSeconds(),
                        JournalKind::Remove,
                        parts.Int(0),
                        static_cast<int>(parts.Int(1)),
                        parts.Int(2),
                        {},
                        static_cast<std::int32_t>(parts.Int(3)),
                        parts.Int(4)});
        where.emplace_back(parts.Text(5), parts.Int(6));
    }
    if (step != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    for (std::size_t i = 0; i < gone.size(); ++i) {
        const JournalEntry& e = gone[i];
        Statement s(*db_, "DELETE FROM nights WHERE night=?");
        s.Bind(1, e.night);
        if (s.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
        // Kept out by its samples: another recording that started at the
        // same second is not.
        if (!KeepOut(e, where[i].first, where[i].second)) return DbFailure(library_message::kCantWrite);
    }
    journal.insert(journal.end(), gone.begin(), gone.end());
    return {};
}

bool SqlLibrary::KeepOut(const JournalEntry& removal, const std::string& source, std::int64_t first) {
    Statement s(*db_,
                "INSERT INTO removed(id,start,samples,digest,source,first) VALUES(?,?,?,?,?,?) "
                "ON CONFLICT DO NOTHING");
    s.Bind(1, static_cast<std::int64_t>(removal.id))
        .Bind(2, removal.start)
        .Bind(3, static_cast<std::int64_t>(removal.samples))
        .Bind(4, removal.digest)
        .Bind(5, source)
        .Bind(6, first);
    return s.Step() == SqlStep::Done;
}

FileResult SqlLibrary::LoadNight(NightNumber night, std::vector<SampleRecord>& samples, std::string* title) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    DataFileContents contents;
    if (FileResult read = ReadSource(p.source, contents); !read) return read;
    if (!TakeNightSamples(contents.records, p.first, p.samples, p.digest, p.clockShift, samples))
        return LibraryFailure(library_message::kSourceChanged, p.source);
    if (title) *title = std::move(contents.title);
    return {};
}

FileResult SqlLibrary::Exclusions(NightNumber night, std::vector<SampleSpan>& spans) {
    if (FileResult listed = Listed(night); !listed) return listed;
    Statement s(*db_, "SELECT first,last FROM exclusions WHERE night=? ORDER BY first,last");
    s.Bind(1, night);
    std::vector<SampleSpan> out;
    SqlStep step;
    while ((step = s.Step()) == SqlStep::Row)
        out.push_back({static_cast<std::int32_t>(s.Int(0)), static_cast<std::int32_t>(s.Int(1))});
    if (step != SqlStep::Done) return DbFailure(library_message::kCantOpen);
    spans = std::move(out);
    return {};
}

FileResult SqlLibrary::SetExclusions(NightNumber night, std::span<const SampleSpan> spans,
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

    Transaction transaction(*db_);
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

FileResult SqlLibrary::StoreFigures(NightNumber night, const ComputedFigures& figures) {
    std::string sql = "UPDATE nights SET clinical=?,clinical_columns=?,computed_under=?";
    for (const auto& c : kRealColumns) sql += std::string(",") + c.name + "=?";
    for (const auto& c : kIntColumns) sql += std::string(",") + c.name + "=?";
    sql += std::string(",") + kCoupledShareColumn + "=?";
    sql += " WHERE night=?";
    Statement s(*db_, sql);
    if (!s.Ok()) return DbFailure(library_message::kCantWrite);
    s.BindBlob(1, Deflate(figures.clinicalJson))
        .BindBlob(2, Deflate(figures.clinicalColumns.Text()))
        .Bind(3, figures.settingsKey);
    BindFigures(s, 4, figures.figures);
    s.Bind(4 + kFigureColumns, night);
    if (s.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (db_->Changes() == 0) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    return {};
}

FileResult SqlLibrary::ComputeFigures(const FigureSettings& settings, const NightFilter* filter,
                                      std::optional<NightNumber> only, bool markedOnly,
                                      std::vector<std::pair<NightNumber, ComputedFigures>>& fresh) {
    std::vector<StaleNight> stale;
    {
        Statement s(*db_,
                    "SELECT night,source,first,samples,digest,clock_shift FROM nights WHERE "
                    "computed_under<>?1 AND merged_into IS NULL AND "
                    "(CAST(?2 AS BIGINT) IS NULL OR id=?2) AND (CAST(?3 AS TEXT) IS NULL OR date>=?3) AND "
                    "(CAST(?4 AS TEXT) IS NULL OR date<=?4) AND "
                    "(CAST(?5 AS BIGINT) IS NULL OR night=?5) AND (CAST(?6 AS BIGINT) IS NULL OR computed_under='') "
                    "ORDER BY source,first");
        if (!s.Ok()) return DbFailure(library_message::kCantOpen);
        s.Bind(1, settings.Key());
        if (filter && filter->id) s.Bind(2, static_cast<std::int64_t>(*filter->id));
        if (filter && filter->from) s.Bind(3, *filter->from);
        if (filter && filter->to) s.Bind(4, *filter->to);
        if (only) s.Bind(5, *only);
        if (markedOnly) s.Bind(6, std::int64_t{1});
        SqlStep step;
        while ((step = s.Step()) == SqlStep::Row) {
            stale.push_back({s.Int(0), s.Text(1), static_cast<std::int32_t>(s.Int(2)),
                             static_cast<std::int32_t>(s.Int(3)), s.Int(4), s.Int(5)});
        }
        if (step != SqlStep::Done) return DbFailure(library_message::kCantOpen);
    }
    return ComputeStale(
        stale, Reader(), settings,
        [this](NightNumber night, std::vector<SampleSpan>& spans) { return Exclusions(night, spans); },
        [this](NightNumber night, ScoredStudy& scoring) { return Scoring(night, scoring); }, fresh);
}

FileResult SqlLibrary::StoreComputed(const FigureSettings& settings, bool markedOnly) {
    std::vector<std::pair<NightNumber, ComputedFigures>> fresh;
    if (FileResult computed = ComputeFigures(settings, nullptr, std::nullopt, markedOnly, fresh); !computed)
        return computed;
    for (const auto& [night, figures] : fresh) {
        if (FileResult stored = StoreFigures(night, figures); !stored) return stored;
    }
    return {};
}

FileResult SqlLibrary::UpdateFigures() {
    Transaction transaction(*db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    if (FileResult stored = StoreComputed(settings_, false); !stored) return stored;
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqlLibrary::Changes(NightNumber night, NightChanges& changes) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    NightChanges out;
    out.clockShift = p.clockShift;
    // A night's merges stack: each later one's first part ends later.
    Statement merged(*db_, "SELECT second FROM merges WHERE night=? ORDER BY first_end");
    merged.Bind(1, night);
    while (merged.Step() == SqlStep::Row) {
        if (out.mergedFrom.empty()) out.mergedFrom.push_back(night);
        out.mergedFrom.push_back(merged.Int(0));
    }
    Statement split(*db_,
                    "SELECT night,second FROM splits WHERE second=?1 OR night=?1 ORDER BY second=?1 DESC LIMIT 1");
    split.Bind(1, night);
    if (split.Step() == SqlStep::Row) out.split = std::make_pair(split.Int(0), split.Int(1));
    changes = std::move(out);
    return {};
}

std::vector<NightLibrary::PlacedNight> SqlLibrary::NightsIn(int id, std::span<const SampleRecord> samples) {
    // The listed nights of that ID starting at that second, as recorded or as
    // shifted: one recording's night, or another recording's that started at
    // the same second, which only the samples tell apart.
    return PlaceNights(samples, Reader(), [this, id](std::int64_t start) {
        Statement s(*db_,
                    "SELECT night,samples,digest,CASE WHEN start+clock_shift=?2 THEN clock_shift ELSE 0 END,first,"
                    "source FROM nights "
                    "WHERE id=?1 AND (start=?2 OR start+clock_shift=?2) AND merged_into IS NULL "
                    "ORDER BY start+clock_shift=?2 DESC, samples DESC");
        s.Bind(1, static_cast<std::int64_t>(id)).Bind(2, start);
        std::vector<PlacementCandidate> out;
        while (s.Step() == SqlStep::Row)
            out.push_back({s.Int(0), static_cast<std::int32_t>(s.Int(1)), s.Int(2), s.Int(3),
                           static_cast<std::int32_t>(s.Int(4)), s.Text(5)});
        return out;
    });
}

}  // namespace quenda
