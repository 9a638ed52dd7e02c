#include "analysis/PulseRises.h"

#include "analysis/Analysis.h"

namespace quenda {

void PulseRiseScan::Open(std::int64_t t, std::int64_t now, int pulse) {
    open_ = true;
    frozenSum_ = window_.Sum();
    frozenCount_ = window_.Count();
    start_ = t;
    startSecond_ = now;
    peak_ = pulse;
}

void PulseRiseScan::Close(std::int64_t end) {
    open_ = false;
    if (end - start_ < kRiseMinLength) return;
    rises_.push_back({static_cast<std::int32_t>(start_), static_cast<std::int32_t>(end - start_),
                      static_cast<double>(frozenSum_) / static_cast<double>(frozenCount_), peak_});
    riseSeconds_.push_back(startSecond_);
}

// A missing second ends an open rise; then the seconds that are no longer in
// the window before `now` leave it (all at once after a long gap). Kept out of
// Step, so that Step stays small enough to be inlined into the pass.
void PulseRiseScan::AfterGap(std::int64_t t, std::int64_t now) {
    jumps_.push_back({t, now});
    if (open_) Close(t);
    window_.SkipTo(lastSecond_, now);
}

// The second of sample t; `jump` is a cursor into the jumps for rising t.
std::int64_t PulseRiseScan::SecondOf(std::int64_t t, std::size_t& jump) const {
    while (jump + 1 < jumps_.size() && jumps_[jump + 1].index <= t) ++jump;
    if (jumps_.empty() || jumps_[jump].index > t) return t;  // before any gap: second = index
    return jumps_[jump].second + (t - jumps_[jump].index);
}

PulseRiseFigures PulseRiseScan::Finish(std::int64_t samples, std::span<const ClinicalEvent> events3,
                                       std::int32_t countedSamples) {
    if (open_) Close(samples);
    PulseRiseFigures out;
    // The desaturations hold no missing second: each ends `length` seconds
    // after it starts. Both lists are in time order and the desaturations do
    // not overlap, so the windows' starts and ends both rise: cursors do.
    std::vector<std::int64_t> starts(events3.size());
    std::size_t jump = 0;
    for (std::size_t k = 0; k < events3.size(); ++k) starts[k] = SecondOf(events3[k].start, jump);
    const auto windowEnd = [&](std::size_t k) { return starts[k] + events3[k].length + kRiseAnswerWindow; };
    std::size_t r = 0;
    for (std::size_t k = 0; k < events3.size(); ++k) {
        while (r < riseSeconds_.size() && riseSeconds_[r] < starts[k]) ++r;
        if (r < riseSeconds_.size() && riseSeconds_[r] <= windowEnd(k)) ++out.answered;
    }
    std::size_t k = 0;
    for (const std::int64_t rise : riseSeconds_) {
        while (k < events3.size() && windowEnd(k) < rise) ++k;
        if (k == events3.size() || rise < starts[k]) ++out.uncoupled;
    }
    out.rises = std::move(rises_);
    if (!events3.empty()) out.coupledShare = 100.0 * out.answered / static_cast<double>(events3.size());
    if (countedSamples > 0) {
        const double hours = countedSamples / kSamplesPerHour;
        out.index = static_cast<double>(out.rises.size()) / hours;
        out.uncoupledIndex = out.uncoupled / hours;
    }
    return out;
}

}  // namespace quenda
