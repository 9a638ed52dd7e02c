#include "nights/LibraryRules.h"

#include "base/StringFormat.h"
#include "base/UiText.h"
#include "store/DataFile.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace quenda {

namespace fs = std::filesystem;

namespace {

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

}  // namespace

FileResult LibraryRefusal(const char* message, std::initializer_list<std::int64_t> values) {
    std::vector<std::string> texts;
    for (const std::int64_t value : values) texts.push_back(std::to_string(value));
    std::vector<std::string_view> views(texts.begin(), texts.end());
    return FileResult{false, FillPlaceholders(UiText(message), views), {}};
}

FileResult LibraryFailure(const char* message, std::string_view value, std::string detail) {
    return FileResult{false, FillPlaceholders(UiText(message), {value}), std::move(detail)};
}

FileResult ReadSourceFile(const std::string& path, DataFileContents& contents) {
    if (std::error_code ec; !fs::exists(path, ec)) return LibraryFailure(library_message::kSourceMissing, path);
    return ReadDataFile(path, contents);
}

std::int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

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
void Inflate(const void* blob, std::size_t size, std::string& out, std::string_view otherwise) {
    std::uint32_t n = 0;
    if (blob && size >= 4) std::memcpy(&n, blob, 4);
    if (!blob || size < 4 || n > (64u << 20)) {
        out = otherwise;
        return;
    }
    out.resize(n);
    uLongf inflated = n;
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &inflated, static_cast<const Bytef*>(blob) + 4,
                   static_cast<uLong>(size - 4)) != Z_OK ||
        inflated != n) {
        out = otherwise;
    }
}

std::int64_t NightDigest(std::span<const SampleRecord> samples) {
    std::uint64_t h = kFnvOffset;
    for (const SampleRecord& r : samples) h = Extend(h, r);
    return static_cast<std::int64_t>(h);
}

NightMatch ClassifyNight(const HeldNight& held, std::span<const SampleRecord> found, std::int64_t foundDigest,
                         const SourceReader& readSource) {
    const auto count = static_cast<std::int32_t>(found.size());
    if (held.samples == count && held.digest == foundDigest) return NightMatch::Already;
    if (held.samples < count && NightDigest(found.first(static_cast<std::size_t>(held.samples))) == held.digest)
        return NightMatch::Extends;
    if (held.samples > count) {
        DataFileContents old;
        const auto first = static_cast<std::size_t>(held.first);
        if (!readSource(held.source, old) || old.records.size() < first + static_cast<std::size_t>(held.samples) ||
            NightDigest(std::span<const SampleRecord>(old.records).subspan(first, found.size())) == foundDigest)
            return NightMatch::Already;
    }
    return NightMatch::New;
}

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

std::vector<FoundNight> FindNights(std::span<const SampleRecord> samples, const RecordingNights& recording,
                                   const FigureSettings& settings) {
    std::vector<FoundNight> found;
    found.reserve(recording.nights.size());
    for (const NightSpan& span : recording.nights) {
        const auto nightSamples =
            samples.subspan(static_cast<std::size_t>(span.first), static_cast<std::size_t>(span.Samples()));
        found.push_back({span, NightDigest(nightSamples), ComputeNightFigures(nightSamples, settings)});
    }
    return found;
}

bool Holds(std::span<const SampleRecord> records, std::int64_t first, std::int64_t count, std::int64_t digest) {
    return first >= 0 && count >= 0 && first + count <= static_cast<std::int64_t>(records.size()) &&
           NightDigest(records.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(count))) == digest;
}

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

FileResult ComputeStale(std::span<const StaleNight> stale, const SourceReader& readSource,
                        const FigureSettings& settings,
                        const std::function<FileResult(NightNumber, std::vector<SampleSpan>&)>& exclusionsOf,
                        const std::function<FileResult(NightNumber, ScoredStudy&)>& scoringOf,
                        std::vector<std::pair<NightNumber, ComputedFigures>>& fresh) {
    DataFileContents contents;
    std::string loaded;
    bool readable = false;
    for (const StaleNight& night : stale) {
        if (night.source != loaded) {
            loaded = night.source;
            contents = {};
            readable = static_cast<bool>(readSource(night.source, contents));
        }
        // A file gone or changed: the night keeps what it has.
        std::vector<SampleRecord> part;
        if (!readable ||
            !TakeNightSamples(contents.records, night.first, night.samples, night.digest, night.clockShift, part))
            continue;
        std::vector<SampleSpan> spans;
        if (FileResult read = exclusionsOf(night.night, spans); !read) return read;
        ScoredStudy scoring;
        if (FileResult read = scoringOf(night.night, scoring); !read) return read;
        fresh.emplace_back(night.night, ComputeNightFigures(part, settings, Exclusions(spans), scoring));
    }
    return {};
}

std::vector<SampleSpan> JoinSpans(std::span<const SampleSpan> first, std::span<const SampleSpan> second,
                                  std::int32_t firstSamples) {
    std::vector<SampleSpan> joined(first.begin(), first.end());
    for (const SampleSpan& s : second) joined.push_back({s.first + firstSamples, s.last + firstSamples});
    return Exclusions(joined).Spans();
}

FileResult CheckShift(const NightPlace& night, std::int64_t clockShift) {
    SampleRecord probe;
    if (!SetSampleSeconds(probe, night.recordedStart + clockShift) || !SetSampleSeconds(probe, night.recordedEnd + clockShift))
        return LibraryRefusal(library_message::kShiftOutOfRange, {night.night});
    return {};
}

FileResult OrderForMerge(const NightPlace& a, const NightPlace& b, const NightPlace*& first,
                         const NightPlace*& second) {
    if (a.id != b.id) return LibraryRefusal(library_message::kMergeIds, {a.night, b.night, a.id, b.id});
    // Either order: the earlier night is the first.
    const bool aFirst = a.recordedStart < b.recordedStart || (a.recordedStart == b.recordedStart && a.night < b.night);
    first = aFirst ? &a : &b;
    second = aFirst ? &b : &a;
    return {};
}

FileResult CheckMergeTimes(const NightPlace& first, const NightPlace& second) {
    if (first.clockShift != second.clockShift)
        return LibraryRefusal(library_message::kMergeShifts, {first.night, second.night});
    const std::int64_t gap = second.recordedStart - first.recordedEnd;
    if (gap <= 0) return LibraryRefusal(library_message::kMergeOverlap, {first.night, second.night});
    if (gap > kMergeWithinSeconds) return LibraryRefusal(library_message::kMergeApart, {first.night, second.night});
    return {};
}

FileResult FindMergedRange(const NightPlace& first, const NightPlace& second, const SourceReader& read,
                           MergedRange& range) {
    DataFileContents contents;
    // A source that is gone is said so; one that is there but does not
    // hold the two nights side by side is refused below.
    FileResult gone;
    const auto sideBySide = [&](const std::string& source, std::int64_t at) {
        DataFileContents c;
        if (FileResult r = read(source, c); !r) {
            if (gone && r.message == LibraryFailure(library_message::kSourceMissing, source).message) gone = r;
            return false;
        }
        if (!Holds(c.records, at, first.samples, first.digest) ||
            !Holds(c.records, at + first.samples, second.samples, second.digest))
            return false;
        contents = std::move(c);
        range.source = source;
        range.first = at;
        return true;
    };
    if (!sideBySide(first.source, first.first) &&
        !sideBySide(second.source, std::int64_t{second.first} - first.samples)) {
        if (!gone) return gone;
        return LibraryRefusal(library_message::kMergeNotSideBySide, {first.night, second.night});
    }
    range.samples = std::int64_t{first.samples} + second.samples;
    range.digest =
        NightDigest(std::span<const SampleRecord>(contents.records)
                        .subspan(static_cast<std::size_t>(range.first), static_cast<std::size_t>(range.samples)));
    return {};
}

FileResult CutNight(const NightPlace& p, std::int32_t index, const SourceReader& read, NightCut& cut) {
    if (index < 1 || index >= p.samples)
        return LibraryRefusal(library_message::kSplitAt, {p.night, p.samples, p.samples - 1});
    DataFileContents contents;
    if (FileResult r = read(p.source, contents); !r) return r;
    if (!Holds(contents.records, p.first, p.samples, p.digest))
        return LibraryFailure(library_message::kSourceChanged, p.source);
    const auto part = std::span<const SampleRecord>(contents.records)
                          .subspan(static_cast<std::size_t>(p.first), static_cast<std::size_t>(p.samples));
    cut.firstEnd = *SampleSeconds(part[static_cast<std::size_t>(index) - 1]);
    cut.secondStart = *SampleSeconds(part[static_cast<std::size_t>(index)]);
    cut.firstDigest = NightDigest(part.first(static_cast<std::size_t>(index)));
    cut.secondDigest = NightDigest(part.subspan(static_cast<std::size_t>(index)));
    return {};
}

std::vector<NightLibrary::PlacedNight> PlaceNights(
    std::span<const SampleRecord> samples, const SourceReader& read,
    const std::function<std::vector<PlacementCandidate>(std::int64_t start)>& candidatesAt) {
    std::vector<NightLibrary::PlacedNight> placed;
    const std::vector<NightSpan> spans = ApplyNightRule(samples).nights;
    // Whether `part` is the first part of the night, as its file holds it.
    const auto beginsNight = [&read](const PlacementCandidate& c, std::span<const SampleRecord> part) {
        DataFileContents file;
        if (!read(c.source, file)) return false;
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
        for (const PlacementCandidate& c : candidatesAt(*SampleSeconds(samples[static_cast<std::size_t>(at)]))) {
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

}  // namespace quenda
