#include "nights/SqlLibrary.h"

namespace quenda {

namespace fs = std::filesystem;

bool SqlLibrary::Exists(const char* sql, NightNumber night) {
    Statement s(*db_, sql);
    s.Bind(1, night);
    return s.Step() == SqlStep::Row;
}

bool SqlLibrary::IsSplitHalf(NightNumber night) {
    return Exists("SELECT 1 FROM splits WHERE night=?1 OR second=?1", night);
}

bool SqlLibrary::IsMergedNight(NightNumber night) { return Exists("SELECT 1 FROM merges WHERE night=?1", night); }

FileResult SqlLibrary::ReadPlace(NightNumber night, NightPlace& p, bool hiddenToo) {
    if (!hiddenToo) {
        if (FileResult listed = Listed(night); !listed) return listed;
    }
    Statement s(*db_,
                "SELECT night,id,start,\"end\",samples,first,source,digest,clock_shift,note,name,added_at "
                "FROM nights WHERE night=?");
    s.Bind(1, night);
    const SqlStep step = s.Step();
    if (step == SqlStep::Done) return LibraryFailure(library_message::kNoNight, std::to_string(night));
    if (step != SqlStep::Row) return DbFailure(library_message::kCantOpen);
    p.night = s.Int(0);
    p.id = static_cast<int>(s.Int(1));
    p.recordedStart = s.Int(2);
    p.recordedEnd = s.Int(3);
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

FileResult SqlLibrary::SetSpans(NightNumber night, std::span<const SampleSpan> spans) {
    Statement clear(*db_, "DELETE FROM exclusions WHERE night=?");
    clear.Bind(1, night);
    if (clear.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    Statement add(*db_, "INSERT INTO exclusions(night,first,last) VALUES(?,?,?)");
    for (const SampleSpan& span : spans) {
        add.Reset();
        add.Bind(1, night).Bind(2, static_cast<std::int64_t>(span.first)).Bind(3, static_cast<std::int64_t>(span.last));
        if (add.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    }
    Statement stale(*db_, "UPDATE nights SET computed_under='' WHERE night=?");
    stale.Bind(1, night);
    return stale.Step() == SqlStep::Done ? FileResult{} : DbFailure(library_message::kCantWrite);
}

FileResult SqlLibrary::SetExtent(NightNumber night, std::int64_t start, const NightExtent& extent,
                                 const std::optional<std::string>& note) {
    Statement s(*db_,
                "UPDATE nights SET \"end\"=?1,samples=?2,gap_seconds=?3,source=?4,first=?5,last=?6,digest=?7,"
                "note=COALESCE(?8,note),computed_under='' WHERE night=?9");
    s.Bind(1, extent.end)
        .Bind(2, extent.samples)
        .Bind(3, extent.end - start + 1 - extent.samples)
        .Bind(4, extent.source)
        .Bind(5, extent.first)
        .Bind(6, extent.first + extent.samples - 1)
        .Bind(7, extent.digest)
        .Bind(9, night);
    if (note) s.Bind(8, *note);
    return s.Step() == SqlStep::Done ? FileResult{} : DbFailure(library_message::kCantWrite);
}

FileResult SqlLibrary::Change(const std::function<FileResult(std::vector<JournalEntry>&)>& change) {
    Transaction transaction(*db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    std::vector<JournalEntry> journal;
    if (FileResult changed = change(journal); !changed) return changed;
    // The nights the change made anew get their figures in the same
    // transaction: no reading has to write them later.
    if (FileResult computed = StoreComputed(settings_, true); !computed) return computed;
    if (!journal.empty()) {
        if (FileResult written = Journal(journal); !written) return written;
    }
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqlLibrary::ChangeNaming(NightNumber* named,
                                    const std::function<FileResult(std::vector<JournalEntry>&, NightNumber&)>& change) {
    NightNumber night = 0;
    FileResult result = Change([&](std::vector<JournalEntry>& journal) { return change(journal, night); });
    if (result && named) *named = night;
    return result;
}

FileResult SqlLibrary::ShiftTo(NightNumber night, std::int64_t clockShift, std::vector<JournalEntry>& journal) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    if (FileResult fits = CheckShift(p, clockShift); !fits) return fits;
    if (clockShift == p.clockShift) return {};
    Statement s(*db_, "UPDATE nights SET clock_shift=?,date=?,computed_under='' WHERE night=?");
    s.Bind(1, clockShift).Bind(2, NightDate(p.recordedStart + clockShift)).Bind(3, night);
    if (s.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (clockShift == 0) {
        journal.push_back({NowSeconds(), JournalKind::Unshift, night, p.id, p.recordedStart, {}, p.samples, p.digest});
    } else {
        journal.push_back(
            {NowSeconds(), JournalKind::Shift, night, p.id, p.recordedStart, std::to_string(clockShift), p.samples, p.digest});
    }
    return {};
}

FileResult SqlLibrary::Shift(NightNumber night, std::int64_t seconds) {
    return Change([&](std::vector<JournalEntry>& journal) {
        NightPlace p;
        if (FileResult read = ReadPlace(night, p); !read) return read;
        return ShiftTo(night, p.clockShift + seconds, journal);
    });
}

FileResult SqlLibrary::Unshift(NightNumber night) {
    return Change([&](std::vector<JournalEntry>& journal) {
        NightPlace p;
        if (FileResult read = ReadPlace(night, p); !read) return read;
        if (p.clockShift == 0) return LibraryRefusal(library_message::kNotShifted, {night});
        return ShiftTo(night, 0, journal);
    });
}

FileResult SqlLibrary::DoMerge(NightNumber a, NightNumber b, std::vector<JournalEntry>& journal, NightNumber& merged) {
    if (a == b) return LibraryRefusal(library_message::kMergeItself, {a});
    NightPlace pa, pb;
    if (FileResult read = ReadPlace(a, pa); !read) return read;
    if (FileResult read = ReadPlace(b, pb); !read) return read;
    const NightPlace* order[2] = {};
    if (FileResult ordered = OrderForMerge(pa, pb, order[0], order[1]); !ordered) return ordered;
    const NightPlace& first = *order[0];
    const NightPlace& second = *order[1];
    for (const NightPlace* p : {&first, &second}) {
        if (IsSplitHalf(p->night)) return LibraryRefusal(library_message::kSplitHalf, {p->night});
    }
    if (FileResult fits = CheckMergeTimes(first, second); !fits) return fits;
    MergedRange range;
    if (FileResult found = FindMergedRange(first, second, Reader(), range); !found) return found;
    const std::int64_t count = range.samples;
    std::vector<SampleSpan> firstSpans, secondSpans;
    if (FileResult read = Exclusions(first.night, firstSpans); !read) return read;
    if (FileResult read = Exclusions(second.night, secondSpans); !read) return read;
    const std::vector<SampleSpan> spans = JoinSpans(firstSpans, secondSpans, first.samples);
    const std::string joined = JoinNotes(first.note, second.note);

    if (FileResult grown =
            SetExtent(first.night, first.recordedStart, {second.recordedEnd, count, range.source, range.first, range.digest}, joined);
        !grown)
        return grown;
    Statement hide(*db_, "UPDATE nights SET merged_into=? WHERE night=?");
    hide.Bind(1, first.night).Bind(2, second.night);
    Statement keep(*db_,
                   "INSERT INTO merges(second,night,first_samples,first_end,first_source,first_first,"
                   "first_digest,first_note,joined_note) VALUES(?,?,?,?,?,?,?,?,?)");
    keep.Bind(1, second.night)
        .Bind(2, first.night)
        .Bind(3, static_cast<std::int64_t>(first.samples))
        .Bind(4, first.recordedEnd)
        .Bind(5, first.source)
        .Bind(6, static_cast<std::int64_t>(first.first))
        .Bind(7, first.digest)
        .Bind(8, first.note)
        .Bind(9, joined);
    if (hide.Step() != SqlStep::Done || keep.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (FileResult set = SetSpans(second.night, {}); !set) return set;
    if (FileResult set = SetSpans(first.night, spans); !set) return set;
    journal.push_back({NowSeconds(), JournalKind::Merge, first.night, first.id, first.recordedStart,
                       PairText(second.night, second.recordedStart), first.samples, first.digest});
    merged = first.night;
    return {};
}

FileResult SqlLibrary::Merge(NightNumber a, NightNumber b, NightNumber* merged) {
    return ChangeNaming(
        merged, [&](std::vector<JournalEntry>& journal, NightNumber& into) { return DoMerge(a, b, journal, into); });
}

FileResult SqlLibrary::DoUnmerge(NightNumber night, std::vector<JournalEntry>& journal, NightNumber& second) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    // A night's merges stack: the last one's first part ends latest.
    Statement last(*db_,
                   "SELECT second,first_samples,first_end,first_source,first_first,first_digest,"
                   "first_note,joined_note FROM merges WHERE night=? ORDER BY first_end DESC LIMIT 1");
    last.Bind(1, night);
    if (last.Step() != SqlStep::Row) return LibraryRefusal(library_message::kNotMerged, {night});
    second = last.Int(0);
    const auto samples = static_cast<std::int32_t>(last.Int(1));
    const std::int64_t end = last.Int(2);
    const std::int64_t from = last.Int(4);
    NightPlace hidden;
    if (FileResult read = ReadPlace(second, hidden, true); !read) return read;
    std::vector<SampleSpan> spans, firstSpans, secondSpans;
    if (FileResult read = Exclusions(night, spans); !read) return read;
    DivideSpans(spans, samples, firstSpans, secondSpans);

    // A note written on the merged night stays with the first.
    const std::string note = p.note == last.Text(7) ? last.Text(6) : p.note;
    if (FileResult shrunk = SetExtent(night, p.recordedStart, {end, samples, last.Text(3), from, last.Int(5)}, note); !shrunk)
        return shrunk;
    Statement show(*db_, "UPDATE nights SET merged_into=NULL,clock_shift=?,date=?,computed_under='' WHERE night=?");
    show.Bind(1, p.clockShift).Bind(2, NightDate(hidden.recordedStart + p.clockShift)).Bind(3, second);
    Statement forget(*db_, "DELETE FROM merges WHERE second=?");
    forget.Bind(1, second);
    if (show.Step() != SqlStep::Done || forget.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (FileResult set = SetSpans(night, firstSpans); !set) return set;
    if (FileResult set = SetSpans(second, secondSpans); !set) return set;
    journal.push_back({NowSeconds(), JournalKind::Unmerge, night, p.id, p.recordedStart, {}, p.samples, p.digest});
    return {};
}

FileResult SqlLibrary::Unmerge(NightNumber night, NightNumber* second) {
    return ChangeNaming(
        second, [&](std::vector<JournalEntry>& journal, NightNumber& back) { return DoUnmerge(night, journal, back); });
}

FileResult SqlLibrary::DoSplit(NightNumber night, std::int32_t index, std::optional<NightNumber> number,
                               std::vector<JournalEntry>& journal, NightNumber& second) {
    NightPlace p;
    if (FileResult read = ReadPlace(night, p); !read) return read;
    if (IsMergedNight(night)) return LibraryRefusal(library_message::kIsMerged, {night});
    if (Exists("SELECT 1 FROM splits WHERE night=?1", night))
        return LibraryRefusal(library_message::kSplitHalf, {night});
    NightCut cut;
    if (FileResult cutAt = CutNight(p, index, Reader(), cut); !cutAt) return cutAt;
    const std::int64_t firstEnd = cut.firstEnd;
    const std::int64_t secondStart = cut.secondStart;
    const std::int32_t rest = p.samples - index;
    std::vector<SampleSpan> spans, firstSpans, secondSpans;
    if (FileResult read = Exclusions(night, spans); !read) return read;
    DivideSpans(spans, index, firstSpans, secondSpans);

    if (FileResult shrunk =
            SetExtent(night, p.recordedStart, {firstEnd, index, p.source, p.first, cut.firstDigest}, std::nullopt);
        !shrunk)
        return shrunk;
    // Its figures come when next read, like every night put right. The
    // number a replayed cut gave before, when free; else the database's.
    const bool numbered = number && !Exists("SELECT 1 FROM nights WHERE night=?1", *number);
    Statement add(*db_, std::string("INSERT INTO nights(id,name,date,start,\"end\",samples,gap_seconds,source,first,"
                                    "last,clinical,note,added_at,digest,computed_under,clock_shift") +
                            (numbered ? ",night" : "") +
                            ") VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,'',?12,?13,'',?14" + (numbered ? ",?15" : "") +
                            ") RETURNING night");
    if (numbered) add.Bind(15, *number);
    add.Bind(1, static_cast<std::int64_t>(p.id))
        .Bind(2, p.name)
        .Bind(3, NightDate(secondStart + p.clockShift))
        .Bind(4, secondStart)
        .Bind(5, p.recordedEnd)
        .Bind(6, static_cast<std::int64_t>(rest))
        .Bind(7, p.recordedEnd - secondStart + 1 - rest)
        .Bind(8, p.source)
        .Bind(9, static_cast<std::int64_t>(p.first) + index)
        .Bind(10, static_cast<std::int64_t>(p.first) + p.samples - 1)
        .BindBlob(11, {})
        .Bind(12, p.addedAt)
        .Bind(13, cut.secondDigest)
        .Bind(14, p.clockShift);
    if (add.Step() != SqlStep::Row) return DbFailure(library_message::kCantWrite);
    second = add.Int(0);
    if (add.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    Statement keep(*db_, "INSERT INTO splits(second,night,whole_samples,whole_end,whole_digest) VALUES(?,?,?,?,?)");
    keep.Bind(1, second).Bind(2, night).Bind(3, static_cast<std::int64_t>(p.samples)).Bind(4, p.recordedEnd).Bind(5, p.digest);
    if (keep.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (FileResult set = SetSpans(night, firstSpans); !set) return set;
    if (FileResult set = SetSpans(second, secondSpans); !set) return set;
    journal.push_back(
        {NowSeconds(), JournalKind::Split, night, p.id, p.recordedStart, PairText(index, second), p.samples, p.digest});
    return {};
}

FileResult SqlLibrary::Split(NightNumber night, std::int32_t index, NightNumber* second) {
    return ChangeNaming(second, [&](std::vector<JournalEntry>& journal, NightNumber& made) {
        return DoSplit(night, index, std::nullopt, journal, made);
    });
}

FileResult SqlLibrary::DoUnsplit(NightNumber night, std::vector<JournalEntry>& journal, NightNumber& first) {
    if (FileResult listed = Listed(night); !listed) return listed;
    Statement split(*db_,
                    "SELECT night,second,whole_samples,whole_end,whole_digest FROM splits "
                    "WHERE night=?1 OR second=?1 ORDER BY night=?1 DESC LIMIT 1");
    split.Bind(1, night);
    if (split.Step() != SqlStep::Row) return LibraryRefusal(library_message::kNotSplit, {night});
    first = split.Int(0);
    const NightNumber second = split.Int(1);
    const std::int64_t whole = split.Int(2);
    const std::int64_t end = split.Int(3);
    if (Exists("SELECT 1 FROM splits WHERE night=?1", second))
        return LibraryRefusal(library_message::kSplitHalf, {second});
    NightPlace a, b;
    if (FileResult read = ReadPlace(first, a); !read) return read;
    if (FileResult read = ReadPlace(second, b); !read) return read;
    std::vector<SampleSpan> spans, secondSpans;
    if (FileResult read = Exclusions(first, spans); !read) return read;
    if (FileResult read = Exclusions(second, secondSpans); !read) return read;
    for (const SampleSpan& s : secondSpans) spans.push_back({s.first + a.samples, s.last + a.samples});
    spans = quenda::Exclusions(spans).Spans();

    if (FileResult grown =
            SetExtent(first, a.recordedStart, {end, whole, a.source, a.first, split.Int(4)}, JoinNotes(a.note, b.note));
        !grown)
        return grown;
    Statement drop(*db_, "DELETE FROM nights WHERE night=?");
    drop.Bind(1, second);
    if (drop.Step() != SqlStep::Done) return DbFailure(library_message::kCantWrite);
    if (FileResult set = SetSpans(first, spans); !set) return set;
    journal.push_back({NowSeconds(), JournalKind::Unsplit, first, a.id, a.recordedStart, {}, a.samples, a.digest});
    return {};
}

FileResult SqlLibrary::Unsplit(NightNumber night, NightNumber* first) {
    return ChangeNaming(
        first, [&](std::vector<JournalEntry>& journal, NightNumber& kept) { return DoUnsplit(night, journal, kept); });
}

}  // namespace quenda
