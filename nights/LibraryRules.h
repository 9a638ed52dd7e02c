#pragma once

// The library's rules that hold wherever its nights are kept: the messages a
// change is refused with, the digest a night is known by, the nights a
// recording holds and their figures, the arithmetic of clock shifts, merges
// and cuts, and where listed nights lie in a data set. A store (SQLite here)
// reads and writes its rows and calls these for every decision.

#include "analysis/Marking.h"
#include "nights/Library.h"
#include "nights/Night.h"
#include "store/DataFile.h"
#include "store/NightRule.h"
#include "store/SampleRecord.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenda {

// A library message with %1 filled by `value`, and the technical detail.
FileResult LibraryFailure(const char* message, std::string_view value, std::string detail = {});
// A refusal whose message takes %1, %2, ... in turn.
FileResult LibraryRefusal(const char* message, std::initializer_list<std::int64_t> values);

// How a store reads the records of a night's source (the path or key its
// row names): SQLite's the data file at that path, a server store the copy
// it keeps. On failure `contents` is left as it was; a source that is not
// there at all gives kSourceMissing naming it. Every rule that looks at a
// night's samples reads them through one.
using SourceReader = std::function<FileResult(const std::string& source, DataFileContents& contents)>;
// The data file at the path, for a store whose sources are files here.
FileResult ReadSourceFile(const std::string& path, DataFileContents& contents);

// Unix seconds now, as a journal line and a night's "added" time take it.
std::int64_t NowSeconds();

// The clinical JSON is most of a night's row; deflated it keeps the library
// small (a night with many events holds a long event list). Empty when it
// cannot be deflated.
std::string Deflate(const std::string& text);
// Into `out`, reusing its room; `otherwise` for a blob that does not inflate
// (NULL, or written by none of ours).
void Inflate(const void* blob, std::size_t size, std::string& out, std::string_view otherwise = "{}");

// A night by its ID and recorded start. Two recordings of one ID may start
// at the same second: the journal names a night by its samples as well
// (JournalEntry::samples and digest), and only the removals the library
// keeps out of later downloads go by this alone.
using NightKey = std::pair<int, std::int64_t>;

// A night found in a data file, its figures computed, ready to store.
struct FoundNight {
    NightSpan span;
    std::int64_t digest = 0;
    ComputedFigures figures;
};

// The nights of a recording with their digests and figures: the arithmetic
// done before a store takes its lock, so another writer waits only for the
// writes.
std::vector<FoundNight> FindNights(std::span<const SampleRecord> samples, const RecordingNights& recording,
                                   const FigureSettings& settings);

// Every road out of the library gives a night's samples through here
// (LoadNight, and the figures the library computes): `count` records of its
// data file from `first`, still those of `digest`, their times moved by the
// night's clock shift. False, `out` untouched, when the file no longer holds
// them.
bool TakeNightSamples(std::span<const SampleRecord> records, std::int64_t first, std::int64_t count,
                      std::int64_t digest, std::int64_t clockShift, std::vector<SampleRecord>& out);

// Whether `records` hold `count` samples of `digest` from `first`.
bool Holds(std::span<const SampleRecord> records, std::int64_t first, std::int64_t count, std::int64_t digest);

// The digest of `samples` as their file holds them: a night opened from the
// library carries its clock shift, its digest is of the samples as recorded.
std::optional<std::int64_t> RecordedDigest(std::span<const SampleRecord> samples, std::int64_t clockShift);

// A night whose figures follow other settings than the library's.
struct StaleNight {
    NightNumber night = 0;
    std::string source;
    std::int32_t first = 0;
    std::int32_t samples = 0;
    std::int64_t digest = 0;
    std::int64_t clockShift = 0;
};

// The figures of `stale` (ordered by source) computed again under
// `settings` with each night's exclusions (`exclusionsOf`); each source file
// is read once however many of its nights are stale. A night whose file is
// gone or changed is left out: it keeps what it has. `scoringOf`: each
// night's scored study (NightLibrary::Scoring).
FileResult ComputeStale(std::span<const StaleNight> stale, const SourceReader& read, const FigureSettings& settings,
                        const std::function<FileResult(NightNumber, std::vector<SampleSpan>&)>& exclusionsOf,
                        const std::function<FileResult(NightNumber, ScoredStudy&)>& scoringOf,
                        std::vector<std::pair<NightNumber, ComputedFigures>>& fresh);

// ---------------------------------------------------------------------------
// Putting nights right

// A night's row as a change reads it: its times as recorded.
struct NightPlace {
    NightNumber night = 0;
    int id = 0;
    std::int64_t recordedStart = 0;  // its first and last samples' times as recorded, never shifted
    std::int64_t recordedEnd = 0;
    std::int32_t samples = 0;
    std::int32_t first = 0;
    std::string source;
    std::int64_t digest = 0;
    std::int64_t clockShift = 0;
    std::string note;
    std::string name;
    std::int64_t addedAt = 0;
};

// The night rule's date of a night starting (shifted) at `start`.
std::string NightDate(std::int64_t start);

// Two notes as one: both texts in order, a line break between.
std::string JoinNotes(const std::string& first, const std::string& second);

// The spans before `at` and those from it on (re-indexed from 0), a span
// across `at` cut in two.
void DivideSpans(std::span<const SampleSpan> spans, std::int32_t at, std::vector<SampleSpan>& before,
                 std::vector<SampleSpan>& after);
// The spans of a night and of the one that follows it (its spans moved by
// `firstSamples`) as one night's; spans that meet at the seam are one, as
// the user would have made them.
std::vector<SampleSpan> JoinSpans(std::span<const SampleSpan> first, std::span<const SampleSpan> second,
                                  std::int32_t firstSamples);

// Refused (kShiftOutOfRange) when the night shifted by `clockShift` would
// leave the years a sample can hold.
FileResult CheckShift(const NightPlace& night, std::int64_t clockShift);

// The two nights of a merge, the earlier first; refused (kMergeIds) when
// their IDs differ.
FileResult OrderForMerge(const NightPlace& a, const NightPlace& b, const NightPlace*& first, const NightPlace*& second);
// Refused when the two nights (in order) have different clock shifts,
// overlap, or lie more than kMergeWithinSeconds apart.
FileResult CheckMergeTimes(const NightPlace& first, const NightPlace& second);

// Where the merged night's samples lie: one range of one file.
struct MergedRange {
    std::string source;
    std::int64_t first = 0;
    std::int64_t samples = 0;
    std::int64_t digest = 0;
};
// The first night's file holding the second right after it, or the second's
// holding the first right before it; refused (kSourceMissing,
// kMergeNotSideBySide) when neither does.
FileResult FindMergedRange(const NightPlace& first, const NightPlace& second, const SourceReader& read,
                           MergedRange& range);

// A night cut before sample `index`, as its file holds it.
struct NightCut {
    std::int64_t firstEnd = 0;     // the time of the first half's last sample, as recorded
    std::int64_t secondStart = 0;  // the time of the second half's first sample
    std::int64_t firstDigest = 0;
    std::int64_t secondDigest = 0;
};
// Refused (kSplitAt) for an index that leaves a half empty, and when the
// night's file is missing or no longer holds it.
FileResult CutNight(const NightPlace& night, std::int32_t index, const SourceReader& read, NightCut& cut);

// ---------------------------------------------------------------------------
// Where listed nights lie in a data set

// A listed night that may lie in a data set at some second: its start, as
// recorded or as shifted, is there.
struct PlacementCandidate {
    NightNumber night = 0;
    std::int32_t samples = 0;
    std::int64_t digest = 0;
    std::int64_t shift = 0;  // what the data set's times carry of the night's shift
    std::int32_t first = 0;
    std::string source;
};

// NightLibrary::NightsIn over the nights `candidatesAt(start)` gives for each
// start second, best first (those shifted to that second, then the longest).
std::vector<NightLibrary::PlacedNight> PlaceNights(
    std::span<const SampleRecord> samples, const SourceReader& read,
    const std::function<std::vector<PlacementCandidate>(std::int64_t start)>& candidatesAt);

}  // namespace quenda
