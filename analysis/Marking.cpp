#include "analysis/Marking.h"

#include "analysis/Clinical.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

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

namespace {

// Walks the excluded spans alongside a rising sample index.
class ExcludedCursor {
public:
    explicit ExcludedCursor(const std::vector<SampleSpan>& spans) : spans_(spans) {}
    bool At(std::int64_t i) {
        while (next_ < spans_.size() && spans_[next_].last < i) ++next_;
        return next_ < spans_.size() && spans_[next_].first <= i;
    }

private:
    const std::vector<SampleSpan>& spans_;
    std::size_t next_ = 0;
};

void Tally(SampleMarks& out, SampleMark mark) {
    switch (mark) {
        case SampleMark::Excluded: ++out.excluded; break;
        case SampleMark::Invalid: ++out.invalid; break;
        case SampleMark::Margin: ++out.margin; break;
        case SampleMark::Artefact: ++out.artefact; break;
        case SampleMark::Counted: ++out.counted; break;
    }
}

}  // namespace

SampleMarks MarkSamples(std::span<const SampleRecord> samples, ClinicalProfile profile, const Exclusions& exclusions) {
    SampleMarks out;
    const auto n = static_cast<std::int64_t>(samples.size());
    out.marks.resize(samples.size());
    ExcludedCursor excluded(exclusions.Spans());

    if (profile == ClinicalProfile::Raw) {
        for (std::int64_t i = 0; i < n; ++i) {
            const SampleRecord& r = samples[static_cast<std::size_t>(i)];
            const SampleMark m = excluded.At(i)        ? SampleMark::Excluded
                                 : IsValidSample(r) ? SampleMark::Counted
                                                    : SampleMark::Invalid;
            out.marks[static_cast<std::size_t>(i)] = m;
            Tally(out, m);
        }
        return out;
    }

    // The pass reads sample j and decides sample i = j - kMarginSamples, whose
    // margin is settled by then: it is a margin sample when the latest invalid
    // sample seen so far lies at i - kMarginSamples or later (it cannot lie
    // beyond j = i + kMarginSamples).
    std::int64_t lastInvalid = std::numeric_limits<std::int32_t>::min();
    std::int64_t accepted = -1;  // A, the last accepted sample
    int acceptedSpo2 = 0;
    int acceptedPulse = 0;
    for (std::int64_t j = 0; j < n + kMarginSamples; ++j) {
        if (j < n && !IsValidSample(samples[static_cast<std::size_t>(j)])) lastInvalid = j;
        const std::int64_t i = j - kMarginSamples;
        if (i < 0) continue;
        const SampleRecord& r = samples[static_cast<std::size_t>(i)];
        SampleMark m;
        if (!IsValidSample(r)) {
            m = SampleMark::Invalid;
        } else if (lastInvalid >= i - kMarginSamples) {
            m = SampleMark::Margin;
        } else {
            const std::int64_t since = i - accepted;
            if (accepted >= 0 && since <= kArtefactReach &&
                (std::abs(r.spo2 - acceptedSpo2) > kArtefactSpo2PerSecond * since ||
                 std::abs(r.pulseRate - acceptedPulse) > kArtefactPulsePerSecond * since)) {
                m = SampleMark::Artefact;
            } else {
                m = SampleMark::Counted;
                accepted = i;
                acceptedSpo2 = r.spo2;
                acceptedPulse = r.pulseRate;
            }
        }
        // Exclusion only hides the sample: the artefact rule above still saw it.
        if (excluded.At(i)) m = SampleMark::Excluded;
        out.marks[static_cast<std::size_t>(i)] = m;
        Tally(out, m);
    }
    return out;
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
