#include "nights/LibraryCopy.h"

#include "nights/Journal.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace quenda {

namespace fs = std::filesystem;

namespace {

// The part of a line's text that says what the change was: a split's index
// (not the number its second half got), a merge's second start (not the
// second night's number), else all of it.
std::string ChangeText(const JournalEntry& e) {
    std::int64_t a = 0, b = 0;
    if (e.kind == JournalKind::Split && ParsePair(e.text, a, b)) return std::to_string(a);
    if (e.kind == JournalKind::Merge && ParsePair(e.text, a, b)) return std::to_string(b);
    return e.text;
}

// Two journal lines are one change when they say the same moment, kind,
// night (by ID, start and samples) and change. The night's number is left
// out: a copy gives numbers of its own.
using ChangeKey = std::tuple<std::int64_t, int, int, std::int64_t, std::int32_t, std::int64_t, std::string>;

ChangeKey KeyOf(const JournalEntry& e) {
    return {e.time, static_cast<int>(e.kind), e.id, e.start, e.samples, e.digest, ChangeText(e)};
}

std::set<NightNumber> ListedNights(SqlDatabase& db) {
    std::set<NightNumber> listed;
    Statement s(db, "SELECT night FROM nights WHERE merged_into IS NULL");
    while (s.Step() == SqlStep::Row) listed.insert(s.Int(0));
    return listed;
}

std::string Line(const std::string& where, const FileResult& why) {
    const bool named = why.message.find(where) != std::string::npos;
    return (named ? "" : where + ": ") + why.message + (why.detail.empty() ? "" : ": " + why.detail);
}

// The numbers `from` gave its nights, by the samples each was given to:
// those its rows hold (hidden halves of merges too) and those its journal's
// adds gave.
SqlLibrary::Numbers NumbersOf(SqlLibrary& from, const std::vector<JournalEntry>& journal, FileResult& result) {
    SqlLibrary::Numbers numbers;
    Statement s(from.Database(), "SELECT night,id,start,samples,digest FROM nights ORDER BY night");
    SqlStep step;
    while ((step = s.Step()) == SqlStep::Row) {
        numbers[{static_cast<int>(s.Int(1)), s.Int(2)}].push_back(
            {static_cast<std::int32_t>(s.Int(3)), s.Int(4), s.Int(0)});
    }
    if (step != SqlStep::Done) result = from.DbFailure(library_message::kCantOpen);
    for (const JournalEntry& e : journal)
        if (e.kind == JournalKind::Add) numbers[{e.id, e.start}].push_back({e.samples, e.digest, e.night});
    return numbers;
}

// The sources `from`'s nights name, in the order their nights were numbered.
std::vector<std::string> SourcesOf(SqlLibrary& from, FileResult& result) {
    std::vector<std::string> sources;
    Statement s(from.Database(), "SELECT source FROM nights GROUP BY source ORDER BY min(night)");
    SqlStep step;
    while ((step = s.Step()) == SqlStep::Row) sources.push_back(s.Text(0));
    if (step != SqlStep::Done) result = from.DbFailure(library_message::kCantOpen);
    return sources;
}

}  // namespace

std::string SqlLibrary::OriginOf(const std::string& source) { return source; }

FileResult SqlLibrary::PlaceCopiedSource(const std::string&, const std::string& origin, const DataFileContents&,
                                         fs::path& path) {
    path = origin;
    return {};
}

CopyResult CopyLibrary(SqlLibrary& from, SqlLibrary& to, const AddOptions& options) {
    CopyResult out;
    const auto failed = [&](FileResult why) {
        out.result = std::move(why);
        return out;
    };
    std::vector<JournalEntry> journal, held;
    if (FileResult read = from.JournalLines(journal); !read) return failed(std::move(read));
    if (FileResult read = to.JournalLines(held); !read) return failed(std::move(read));
    FileResult read;
    const SqlLibrary::Numbers numbers = NumbersOf(from, journal, read);
    const std::vector<std::string> sources = SourcesOf(from, read);
    if (!read) return failed(std::move(read));
    const std::set<NightNumber> listedBefore = ListedNights(to.Database());
    const auto listedFrom = static_cast<int>(ListedNights(from.Database()).size());

    // The nights, a source at a time (each in one transaction, as an add).
    // One that fails does not stop the others.
    for (const std::string& source : sources) {
        if (!from.SourceThere(source)) {
            Statement s(from.Database(), "SELECT count(*) FROM nights WHERE source=? AND merged_into IS NULL");
            s.Bind(1, source);
            if (s.Step() == SqlStep::Row) out.missing += static_cast<int>(s.Int(0));
            continue;
        }
        const std::string origin = from.OriginOf(source);
        DataFileContents contents;
        fs::path path;
        FileResult done = from.Reader()(source, contents);
        if (done) done = to.PlaceCopiedSource(source, origin, contents, path);
        if (!done) {
            out.failures.push_back(Line(origin, done));
            out.result = std::move(done);
            continue;
        }
        // The title travels with the records: the target may not find it at
        // `path` (a server's origin on another computer).
        AddResult added =
            to.AddNumbered(path, RecordingId(contents), contents.records, options, &numbers, &contents.title);
        if (!added.result) {
            out.failures.insert(out.failures.end(), added.failures.begin(), added.failures.end());
            out.result = std::move(added.result);
        }
    }

    // The user's changes, in the order they were made, each once.
    std::set<ChangeKey> known;
    for (const JournalEntry& e : held) known.insert(KeyOf(e));
    std::vector<JournalEntry> changes;
    for (const JournalEntry& e : journal)
        if (e.kind != JournalKind::Add && !known.contains(KeyOf(e))) changes.push_back(e);
    std::set<NightNumber> noted, excluded;
    std::vector<JournalEntry> journalled;
    if (FileResult replayed = to.ReplayChanges(changes, {}, noted, excluded, &journalled); !replayed)
        return failed(std::move(replayed));
    out.replayed = static_cast<int>(journalled.size());
    // Figures stored once, not computed again at every reading.
    if (FileResult updated = to.UpdateFigures(); !updated) return failed(std::move(updated));

    for (const NightNumber night : ListedNights(to.Database()))
        if (!listedBefore.contains(night)) ++out.copied;
    out.already = std::max(0, listedFrom - out.missing - out.copied);
    return out;
}

}  // namespace quenda
