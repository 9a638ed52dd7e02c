// The journal's changes made again (a rebuild, a copy): each by the same
// function that made it, its journal line dropped (the journal holds it
// already).
#include "nights/SqlLibrary.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace quenda {

// In the order they were made, to the nights as their sources give them. A
// change that no longer applies (its source gone, say) is passed over, and
// so are the nights kept from an old library because their source is gone
// (`kept`): they are as they were.
FileResult SqlLibrary::ReplayChanges(const std::vector<JournalEntry>& changes, const std::set<NightNumber>& kept,
                                     std::set<NightNumber>& noted, std::set<NightNumber>& excluded,
                                     std::vector<JournalEntry>* journalled) {
    Transaction transaction(*db_);
    if (!transaction.Open()) return DbFailure(library_message::kCantWrite);
    std::vector<JournalEntry> dropped;
    for (const JournalEntry& e : changes) {
        // A scoring names no night: it goes back as it was kept.
        if (ScoredStudy study; e.kind == JournalKind::Scoring) {
            if (!ParseScoringText(e.text, study)) continue;
            if (!DoSetScoring(e.id, study, dropped)) return DbFailure(library_message::kCantWrite);
            if (journalled) journalled->push_back(e);
            continue;
        }
        // The night the line names by its samples (two recordings of one ID
        // may start at the same second), or by ID and start in an older line.
        const auto night = KeyNight(e);
        if (night && e.kind == JournalKind::Note) noted.insert(*night);
        if (night && e.kind == JournalKind::Exclusions) excluded.insert(*night);
        if (!night || kept.contains(*night)) {
            if (e.kind != JournalKind::Remove) continue;
            if (!KeepOut(e)) return DbFailure(library_message::kCantWrite);
            if (journalled) journalled->push_back(e);
            continue;
        }
        // Each change whole or not at all.
        if (!db_->Exec("SAVEPOINT replayed")) return DbFailure(library_message::kCantWrite);
        const FileResult done = ReplayOne(e, *night, kept, dropped);
        if ((!done && !db_->Exec("ROLLBACK TO SAVEPOINT replayed")) || !db_->Exec("RELEASE SAVEPOINT replayed"))
            return DbFailure(library_message::kCantWrite);
        if (done && journalled) {
            journalled->push_back(e);
            journalled->back().night = *night;
        }
    }
    if (journalled && !journalled->empty()) {
        if (FileResult written = Journal(*journalled); !written) return written;
    }
    if (!transaction.Commit()) return DbFailure(library_message::kCantWrite);
    return {};
}

FileResult SqlLibrary::ReplayOne(const JournalEntry& e, NightNumber night, const std::set<NightNumber>& kept,
                                 std::vector<JournalEntry>& dropped) {
    NightNumber ignored = 0;
    std::int64_t a = 0, b = 0;
    switch (e.kind) {
        case JournalKind::Add:
        case JournalKind::Scoring: return {};
        case JournalKind::Note: {
            Statement s(*db_, "UPDATE nights SET note=? WHERE night=?");
            s.Bind(1, e.text).Bind(2, night);
            return s.Step() == SqlStep::Done ? FileResult{} : DbFailure(library_message::kCantWrite);
        }
        case JournalKind::Exclusions: {
            std::vector<SampleSpan> spans;
            NightPlace p;
            FileResult done = ReadPlace(night, p);
            const auto inside = [&](const SampleSpan& s) {
                return s.first >= 0 && s.first <= s.last && s.last < p.samples;
            };
            if (done && ParseSpans(e.text, spans) && std::all_of(spans.begin(), spans.end(), inside))
                done = SetSpans(night, spans);
            return done;
        }
        case JournalKind::Remove: return DoRemove(night, dropped);
        case JournalKind::Shift: {
            const auto [end, error] = std::from_chars(e.text.data(), e.text.data() + e.text.size(), a);
            return error == std::errc() && end == e.text.data() + e.text.size() && !e.text.empty()
                       ? ShiftTo(night, a, dropped)
                       : FileResult{false, {}, {}};
        }
        case JournalKind::Unshift: return ShiftTo(night, 0, dropped);
        case JournalKind::Merge:
            if (const auto second = ParsePair(e.text, a, b) ? NightAfter(night, e.id, b) : std::nullopt;
                second && !kept.contains(*second)) {
                return DoMerge(night, *second, dropped, ignored);
            }
            return {};
        case JournalKind::Unmerge: return DoUnmerge(night, dropped, ignored);
        case JournalKind::Split:
            if (ParsePair(e.text, a, b) && a > 0 && a <= std::numeric_limits<std::int32_t>::max())
                return DoSplit(night, static_cast<std::int32_t>(a), b, dropped, ignored);
            return {};
        case JournalKind::Unsplit: return DoUnsplit(night, dropped, ignored);
    }
    return {};
}

}  // namespace quenda
