#pragma once

// The marking pass behind MarkSamples, shared with the clinical summary: the
// summary takes each sample's mark and second as soon as they are settled, so
// the samples are read, and the clock run, once for both.

#include "analysis/Clinical.h"
#include "analysis/Marking.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <span>
#include <vector>

namespace quenda::marking {

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

inline void Tally(SampleMarks& out, SampleMark mark) {
    switch (mark) {
        case SampleMark::Excluded: ++out.excluded; break;
        case SampleMark::Invalid: ++out.invalid; break;
        case SampleMark::Margin: ++out.margin; break;
        case SampleMark::Artefact: ++out.artefact; break;
        case SampleMark::Counted: ++out.counted; break;
    }
}

// The artefact rule over the samples that are neither invalid nor margins, in
// order, with the seconds of the clock.
class ArtefactRule {
public:
    // Whether a sample at second `now` is accepted; an accepted sample becomes
    // the one the next are compared with.
    bool Accepts(std::int64_t now, const SampleRecord& r) {
        const std::int64_t since = now - acceptedAt_;
        if (since <= kArtefactReach && (std::abs(r.spo2 - spo2_) > kArtefactSpo2PerSecond * since ||
                                        std::abs(r.pulseRate - pulse_) > kArtefactPulsePerSecond * since)) {
            return false;
        }
        acceptedAt_ = now;
        spo2_ = r.spo2;
        pulse_ = r.pulseRate;
        return true;
    }

private:
    std::int64_t acceptedAt_ = std::numeric_limits<std::int32_t>::min();  // none yet: beyond reach
    int spo2_ = 0;
    int pulse_ = 0;
};

// Marks each sample into `out` (sized to the samples), then calls
// visit(index, second, mark) for it, in order.
template <class Visit>
void MarkRaw(std::span<const SampleRecord> samples, const Exclusions& exclusions, SampleMarks& out, Visit&& visit) {
    ExcludedCursor excluded(exclusions.Spans());
    SampleClock clock;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto index = static_cast<std::int64_t>(i);
        const SampleMark m = excluded.At(index)          ? SampleMark::Excluded
                             : IsValidSample(samples[i]) ? SampleMark::Counted
                                                         : SampleMark::Invalid;
        out.marks[i] = m;
        Tally(out, m);
        visit(index, clock.Next(samples[i]), m);
    }
}

// The same for the default profile. The pass reads sample j and decides
// sample i = j - kMarginSamples, whose margin is settled by then: it is a
// margin sample when the latest bad second (missing or holding an invalid
// sample) seen so far lies at most kMarginSamples seconds before it. A bad
// second seen that lies more than kMarginSamples after it means a gap between
// i and j, and the gap's first missing second is within kMarginSamples after
// i, so the test holds then too.
template <class Visit>
void MarkDefault(std::span<const SampleRecord> samples, const Exclusions& exclusions, SampleMarks& out, Visit&& visit) {
    const auto n = static_cast<std::int64_t>(samples.size());
    ExcludedCursor excluded(exclusions.Spans());
    SampleClock clock;
    ArtefactRule artefacts;
    std::array<std::int64_t, 8> seconds{};  // of samples i..j, by index modulo 8
    static_assert(kMarginSamples < static_cast<int>(seconds.size()));
    std::int64_t lastBad = std::numeric_limits<std::int32_t>::min();
    std::int64_t previous = -1;  // the second of sample j - 1: the first comes at 0
    for (std::int64_t j = 0; j < n + kMarginSamples; ++j) {
        if (j < n) {
            const SampleRecord& r = samples[static_cast<std::size_t>(j)];
            const std::int64_t now = clock.Next(r);
            if (now != previous + 1) lastBad = now - 1;
            if (!IsValidSample(r)) lastBad = now;
            seconds[static_cast<std::size_t>(j) & 7] = now;
            previous = now;
        }
        const std::int64_t i = j - kMarginSamples;
        if (i < 0) continue;
        const SampleRecord& r = samples[static_cast<std::size_t>(i)];
        const std::int64_t now = seconds[static_cast<std::size_t>(i) & 7];
        SampleMark m = !IsValidSample(r)                 ? SampleMark::Invalid
                       : lastBad >= now - kMarginSamples ? SampleMark::Margin
                       : artefacts.Accepts(now, r)       ? SampleMark::Counted
                                                         : SampleMark::Artefact;
        // Exclusion only hides the sample: the artefact rule above still saw it.
        if (excluded.At(i)) m = SampleMark::Excluded;
        out.marks[static_cast<std::size_t>(i)] = m;
        Tally(out, m);
        visit(i, now, m);
    }
}

// MarkSamples, calling visit(index, second, mark) for each sample in order as
// soon as its mark is settled.
template <class Visit>
SampleMarks MarkEach(std::span<const SampleRecord> samples, ClinicalProfile profile, const Exclusions& exclusions,
                     Visit&& visit) {
    SampleMarks out;
    out.marks.resize(samples.size());
    if (profile == ClinicalProfile::Raw) {
        MarkRaw(samples, exclusions, out, visit);
    } else {
        MarkDefault(samples, exclusions, out, visit);
    }
    return out;
}

}  // namespace quenda::marking
