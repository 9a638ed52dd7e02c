#include "analysis/Marking.h"

#include "analysis/Clinical.h"
#include "analysis/MarkingPass.h"

#include <algorithm>

namespace quenda {

std::string_view ProfileName(ClinicalProfile profile) {
    return profile == ClinicalProfile::Raw ? "raw" : "default";
}

bool ParseProfile(std::string_view text, ClinicalProfile& profile) {
    if (text == "default") {
        profile = ClinicalProfile::Default;
    } else if (text == "raw") {
        profile = ClinicalProfile::Raw;
    } else {
        return false;
    }
    return true;
}

Exclusions::Exclusions(std::span<const SampleSpan> spans) {
    for (const SampleSpan& s : spans) Exclude(s);
}

void Exclusions::Exclude(SampleSpan span) {
    if (span.first > span.last) std::swap(span.first, span.last);
    std::vector<SampleSpan> merged;
    merged.reserve(spans_.size() + 1);
    bool placed = false;
    for (const SampleSpan& s : spans_) {
        // Touching counts as overlapping: [0,4] and [5,9] are one span.
        if (static_cast<std::int64_t>(s.last) + 1 < span.first) {
            merged.push_back(s);
        } else if (static_cast<std::int64_t>(span.last) + 1 < s.first) {
            if (!placed) merged.push_back(span), placed = true;
            merged.push_back(s);
        } else {
            span.first = std::min(span.first, s.first);
            span.last = std::max(span.last, s.last);
        }
    }
    if (!placed) merged.push_back(span);
    spans_ = std::move(merged);
}

void Exclusions::Include(SampleSpan span) {
    if (span.first > span.last) std::swap(span.first, span.last);
    std::vector<SampleSpan> kept;
    kept.reserve(spans_.size() + 1);
    for (const SampleSpan& s : spans_) {
        if (s.last < span.first || s.first > span.last) {
            kept.push_back(s);
            continue;
        }
        if (s.first < span.first) kept.push_back({s.first, span.first - 1});
        if (s.last > span.last) kept.push_back({span.last + 1, s.last});
    }
    spans_ = std::move(kept);
}

bool Exclusions::Contains(std::int32_t index) const {
    const auto it = std::lower_bound(spans_.begin(), spans_.end(), index,
                                     [](const SampleSpan& s, std::int32_t i) { return s.last < i; });
    return it != spans_.end() && it->first <= index;
}

std::int64_t Exclusions::Samples() const {
    std::int64_t n = 0;
    for (const SampleSpan& s : spans_) n += s.Length();
    return n;
}

std::int64_t SampleClock::Calendar(const SampleRecord& r, std::uint64_t packed) {
    // Nor does the first second of the next minute in the same hour: second
    // 59 plus 197 carries into the minute and leaves second 0.
    if (r.second == 0 && r.minute < 60 && packed == lastPacked_ + (1 << 8) - 59) {
        lastPacked_ = packed;
        ++lastStamp_;
        return ++now_;
    }
    const std::optional<std::int64_t> stamp = SampleSeconds(r);
    const std::int64_t step = lastPacked_ != kNoStamp && stamp ? *stamp - lastStamp_ : 0;
    now_ += step >= 1 && step <= kMaxNightStep ? step : kBreakStep;
    lastPacked_ = stamp ? packed : kNoStamp;
    lastStamp_ = stamp.value_or(0);
    return now_;
}

SampleMarks MarkSamples(std::span<const SampleRecord> samples, ClinicalProfile profile, const Exclusions& exclusions) {
    return marking::MarkEach(samples, profile, exclusions, [](std::int64_t, std::int64_t, SampleMark) {});
}

std::vector<SampleSpan> LeftOutSpans(std::span<const SampleMark> marks) {
    const auto leftOut = [](SampleMark m) { return m != SampleMark::Counted; };
    std::vector<SampleSpan> spans;
    const auto n = static_cast<std::int32_t>(marks.size());
    for (std::int32_t i = 0; i < n;) {
        if (!leftOut(marks[static_cast<std::size_t>(i)])) {
            ++i;
            continue;
        }
        std::int32_t last = i;
        while (last + 1 < n && leftOut(marks[static_cast<std::size_t>(last + 1)])) ++last;
        spans.push_back({i, last});
        i = last + 1;
    }
    return spans;
}

std::vector<SampleSpan> MarkedSpans(std::span<const SampleMark> marks, SampleMark mark) {
    std::vector<SampleSpan> spans;
    const auto n = static_cast<std::int32_t>(marks.size());
    for (std::int32_t i = 0; i < n;) {
        if (marks[static_cast<std::size_t>(i)] != mark) {
            ++i;
            continue;
        }
        std::int32_t last = i;
        while (last + 1 < n && marks[static_cast<std::size_t>(last + 1)] == mark) ++last;
        spans.push_back({i, last});
        i = last + 1;
    }
    return spans;
}

}  // namespace quenda
