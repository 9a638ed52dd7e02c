#pragma once

#include "store/NightRule.h"
#include "store/SampleRecord.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace quenda {

// Which samples the clinical figures rest on. Overnight oximetry holds many
// readings that are in range and still not blood oxygen (a probe half off, a
// moving hand), and stretches the user cuts out by hand; the default profile
// sets both aside, the raw profile counts every valid sample as the summary
// always did.
enum class ClinicalProfile : std::uint8_t { Default, Raw };

// "default" or "raw".
std::string_view ProfileName(ClinicalProfile profile);
// From "default" or "raw"; false for anything else.
bool ParseProfile(std::string_view text, ClinicalProfile& profile);

// A run of samples, both ends included.
struct SampleSpan {
    std::int32_t first = 0;
    std::int32_t last = 0;

    std::int32_t Length() const { return last - first + 1; }
    bool operator==(const SampleSpan&) const = default;
};

// The stretches the user excluded from one data set: sorted, none empty, none
// touching or overlapping another (neighbours are merged).
class Exclusions {
public:
    Exclusions() = default;
    explicit Exclusions(std::span<const SampleSpan> spans);

    // Adds a span (its ends in either order); what it touches merges with it.
    void Exclude(SampleSpan span);
    // Takes a span (its ends in either order) out of every excluded span,
    // splitting one that holds it.
    void Include(SampleSpan span);
    void Clear() { spans_.clear(); }

    bool Contains(std::int32_t index) const;
    bool Empty() const { return spans_.empty(); }
    const std::vector<SampleSpan>& Spans() const { return spans_; }
    std::int64_t Samples() const;

    bool operator==(const Exclusions&) const = default;

private:
    std::vector<SampleSpan> spans_;
};

// The clock the clinical rules go by. The samples of one night are 1 to
// kMaxNightStep seconds apart (the night rule, store/NightRule.h); a second
// between two neighbours that holds no sample is missing, and every rule takes
// it for an invalid reading. Any other step (0 s, backwards, longer, or an
// impossible time stamp on either side) is a break between nights, which the
// clock turns into a gap longer than every window of the rules.
class SampleClock {
public:
    // The second of the next sample, in stored order, on the clock's own line:
    // 0 for the first sample, then the previous one's plus the step between
    // their time stamps (kBreakStep for a break). Seconds missing before the
    // sample are the ones the line skips.
    std::int64_t Next(const SampleRecord& r) {
        const std::uint64_t packed = std::uint64_t{r.year} << 40 | std::uint64_t{r.month} << 32 |
                                     std::uint64_t{r.day} << 24 | std::uint64_t{r.hour} << 16 |
                                     std::uint64_t{r.minute} << 8 | r.second;
        // Most samples are the second after their neighbour within the same
        // minute: that needs no calendar.
        if (packed == lastPacked_ + 1 && r.second < 60) [[likely]] {
            lastPacked_ = packed;
            ++lastStamp_;
            return ++now_;
        }
        return Calendar(r, packed);
    }

    static constexpr std::int64_t kBreakStep = kMaxNightStep + 1;

private:
    std::int64_t Calendar(const SampleRecord& r, std::uint64_t packed);

    // Year to second of the last sample, a byte each, in that order: the next
    // second of the same minute is one more. Never one less than a stamp when
    // the last one is impossible.
    std::uint64_t lastPacked_ = kNoStamp;
    std::int64_t lastStamp_ = 0;      // SampleSeconds of the last sample
    std::int64_t now_ = -kBreakStep;  // the first sample comes after a break
    static constexpr std::uint64_t kNoStamp = std::uint64_t{1} << 63;
};

// What one sample is to the clinical figures. Each sample has exactly one
// mark; the first that applies wins, in this order.
enum class SampleMark : std::uint8_t {
    Excluded,  // inside a span the user excluded
    Invalid,   // SpO2 or pulse out of range (IsValidSample)
    Margin,    // valid, within kMarginSamples s of an invalid sample or a missing second
    Artefact,  // valid, moves faster than blood oxygen or a pulse can
    Counted,   // everything else: what the figures rest on
};

// A valid sample this many seconds or fewer (before or after) from an invalid
// sample or a missing second is taken as the probe going on or coming off.
inline constexpr int kMarginSamples = 5;
// The artefact rule: sample i, compared with A, the last accepted sample, is an
// artefact when i comes at most kArtefactReach seconds after A and SpO2 moved
// more than kArtefactSpo2PerSecond, or pulse more than kArtefactPulsePerSecond,
// for each second between their time stamps. A real new level is accepted once
// enough time has passed since A to allow it.
inline constexpr int kArtefactReach = 30;
inline constexpr int kArtefactSpo2PerSecond = 4;
inline constexpr int kArtefactPulsePerSecond = 25;

struct SampleMarks {
    std::vector<SampleMark> marks;  // one per sample
    std::int64_t excluded = 0;
    std::int64_t invalid = 0;
    std::int64_t margin = 0;
    std::int64_t artefact = 0;
    std::int64_t counted = 0;
};

// Marks every sample in one forward pass. The raw profile marks no margin and
// no artefact (every valid sample outside the exclusions counts). Margins and
// artefacts are worked out over the whole data set without regard to the
// exclusions, so excluding a span never changes what is marked outside it.
// Exclusions reaching past the data set are cut to it.
SampleMarks MarkSamples(std::span<const SampleRecord> samples, ClinicalProfile profile, const Exclusions& exclusions);

// The runs of samples the clinical figures leave out (excluded, invalid,
// margin, artefact), in order: what the trend view and the clinical page
// shade. A reading the recorder did not have is shaded like an artefact.
std::vector<SampleSpan> LeftOutSpans(std::span<const SampleMark> marks);

// The runs of samples with the given mark, in order.
std::vector<SampleSpan> MarkedSpans(std::span<const SampleMark> marks, SampleMark mark);

}  // namespace quenda
