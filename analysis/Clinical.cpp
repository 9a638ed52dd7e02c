#include "analysis/Clinical.h"

#include "analysis/Analysis.h"
#include "analysis/MarkingPass.h"
#include "analysis/NightPass.h"
#include "analysis/SecondWindow.h"

#include <algorithm>
#include <cstddef>

namespace quenda {

namespace {

constexpr double kSamplesPerMinute = 60.0;

// The 3 % desaturations, built sample by sample. The baseline window
// is kept as an integer sum and count, so "SpO2 <= mean - 3" and the
// closing test compare exact integers, not rounded means.
class DesaturationScan {
public:
    explicit DesaturationScan(std::span<const SampleRecord> samples) : samples_(samples) {}

    // Sample t at second `now` of the SampleClock, whose validity the caller
    // worked out.
    void Step(std::int64_t t, std::int64_t now, const SampleRecord& r, bool valid) {
        if (now != lastSecond_ + 1) [[unlikely]]
            AfterGap(t, now);
        lastSecond_ = now;
        if (open_) {
            if (!valid || EndsEvent(r.spo2)) {
                Close(t);
            } else {
                Extend(r.spo2);
            }
        }
        // The sample that closes an event is outside it and may open the next.
        if (!open_) {
            if (valid && OpensEvent(r.spo2)) {
                Open(t, now, r.spo2);
            } else if (valid) {
                window_.Enter(now, r.spo2);
            }
        }
        // The window for the second after this one starts 119 s back.
        window_.Leave(now - kBaselineWindow);
    }

    // After the last sample: an event still open closes there.
    std::vector<ClinicalEvent> Finish() {
        if (open_) Close(static_cast<std::int64_t>(samples_.size()));
        return std::move(events_);
    }

private:
    std::int64_t Spo2At(std::int64_t i) const { return samples_[static_cast<std::size_t>(i)].spo2; }

    bool OpensEvent(std::int64_t v) const {
        const std::int64_t count = window_.Count();
        return count >= kBaselineMinSamples && v * count <= window_.Sum() - kDesaturationDepth * count;
    }
    bool EndsEvent(std::int64_t v) const { return v * frozenCount_ >= frozenSum_ - frozenCount_; }

    void Open(std::int64_t t, std::int64_t now, int v) {
        open_ = true;
        frozenSum_ = window_.Sum();
        frozenCount_ = window_.Count();
        start_ = t;
        startSecond_ = now;
        nadir_ = v;
        eventSum_ = v;
    }

    void Extend(int v) {
        nadir_ = std::min(nadir_, v);
        eventSum_ += v;
    }

    void Close(std::int64_t end) {
        open_ = false;
        const std::int64_t length = end - start_;
        if (length >= kClinicalMinEventLength) {
            ClinicalEvent e;
            e.start = static_cast<std::int32_t>(start_);
            e.length = static_cast<std::int32_t>(length);
            e.baseline = static_cast<double>(frozenSum_) / static_cast<double>(frozenCount_);
            e.nadir = nadir_;
            e.area =
                static_cast<double>(length * frozenSum_ - frozenCount_ * eventSum_) / static_cast<double>(frozenCount_);
            events_.push_back(e);
            return;
        }
        // Too short to count: its samples belong to the baseline after all.
        // It is shorter than the window and holds no missing second, so every
        // one of them is inside it, at the seconds that follow its first.
        for (std::int64_t s = start_; s < end; ++s) window_.Enter(startSecond_ + (s - start_), Spo2At(s));
    }

    // The seconds after the last sample up to `now` (sample t) hold none. A
    // missing second closes an open event as an invalid sample does, and is
    // no part of it; the event's samples are still inside the window. Then the
    // window moves on to the 120 s before `now`: the seconds from 119 before
    // the last sample to 121 before this one leave, or, after a gap at least
    // as long as the window, all do at once, whatever its length. Kept out of
    // Step, so that Step stays small enough to be inlined into the loops over
    // every sample.
    [[gnu::noinline]] void AfterGap(std::int64_t t, std::int64_t now) {
        if (open_) Close(t);
        window_.SkipTo(lastSecond_, now);
    }

    std::span<const SampleRecord> samples_;
    // The SpO2 of the samples that take part in the baselines: valid and not
    // inside a counted or open event.
    SecondWindow<kBaselineWindow> window_;
    std::int64_t lastSecond_ = -1;  // of the sample before: the first comes at 0

    bool open_ = false;
    std::int64_t frozenSum_ = 0;
    std::int64_t frozenCount_ = 0;
    std::int64_t start_ = 0;
    std::int64_t startSecond_ = 0;
    int nadir_ = 0;
    std::int64_t eventSum_ = 0;
    std::vector<ClinicalEvent> events_;
};

// Every figure but the events comes from the histograms of the valid values
// and the longest run at or below 88.
struct ValidValues {
    std::array<std::int64_t, 256> spo2{};
    std::array<std::int64_t, 256> pulse{};
    std::int64_t count = 0;
    std::int64_t longestRun = 0;
    std::int64_t longestStart = -1;
    std::int64_t run = 0;
    int nadir = 256;
    std::int64_t nadirIndex = -1;  // first counted sample at the nadir
    std::int64_t lastSecond = -1;  // of the sample before: the first comes at 0

    // Sample i at second `now` of the SampleClock.
    void Add(std::int64_t i, std::int64_t now, const SampleRecord& r, bool valid) {
        // A sample that is not counted breaks the run, and so does a missing second.
        if (now != lastSecond + 1) run = 0;
        lastSecond = now;
        if (!valid) {
            run = 0;
            return;
        }
        ++count;
        ++spo2[r.spo2];
        ++pulse[r.pulseRate];
        if (r.spo2 < nadir) {
            nadir = r.spo2;
            nadirIndex = i;
        }
        if (r.spo2 > kLowSpo2Level) {
            run = 0;
        } else if (++run > longestRun) {
            longestRun = run;
            longestStart = i - run + 1;
        }
    }
};

// Samples with a value from low to high inclusive.
std::int64_t CountBetween(const std::array<std::int64_t, 256>& histogram, int low, int high) {
    std::int64_t n = 0;
    for (int value = low; value <= high; ++value) n += histogram[static_cast<std::size_t>(value)];
    return n;
}

ValueSpread Spread(const std::array<std::int64_t, 256>& histogram, std::int64_t count) {
    ValueSpread spread;
    if (count == 0) return spread;
    // The values at ranks (count - 1) / 2 and count / 2 (0-based): the same
    // one for an odd count, the two middle ones for an even count.
    const std::int64_t lowRank = (count - 1) / 2;
    const std::int64_t highRank = count / 2;
    int lowValue = -1;
    int highValue = -1;
    std::int64_t seen = 0;
    std::int64_t sum = 0;
    for (int value = 0; value < 256; ++value) {
        const std::int64_t n = histogram[static_cast<std::size_t>(value)];
        if (n == 0) continue;
        if (seen == 0) spread.minimum = value;
        spread.maximum = value;
        seen += n;
        sum += n * value;
        if (lowValue < 0 && seen > lowRank) lowValue = value;
        if (highValue < 0 && seen > highRank) highValue = value;
    }
    spread.mean = static_cast<double>(sum) / static_cast<double>(count);
    spread.median = (lowValue + highValue) / 2.0;
    return spread;
}

Spo2Bands Bands(const std::array<std::int64_t, 256>& spo2, std::int64_t count) {
    Spo2Bands bands = kEmptySpo2Bands;
    for (Spo2Band& b : bands) {
        b.samples = static_cast<std::int32_t>(CountBetween(spo2, b.low, b.high));
        b.minutes = b.samples / kSamplesPerMinute;
        b.percent = count > 0 ? 100.0 * b.samples / static_cast<double>(count) : 0.0;
    }
    return bands;
}

double Area(const std::vector<ClinicalEvent>& events) {
    double total = 0;
    for (const ClinicalEvent& e : events) total += e.area;
    return total;
}

}  // namespace

std::vector<ClinicalEvent> DetectDesaturations(std::span<const SampleRecord> samples) {
    DesaturationScan scan(samples);
    SampleClock clock;
    for (std::size_t i = 0; i < samples.size(); ++i)
        scan.Step(static_cast<std::int64_t>(i), clock.Next(samples[i]), samples[i], IsValidSample(samples[i]));
    return scan.Finish();
}

std::vector<ClinicalEvent> DeeperDesaturations(const std::vector<ClinicalEvent>& events, int depth) {
    // The baseline is a quotient of integers and the nadir an integer: the
    // quotient is correctly rounded, so it lands on the wrong side of
    // nadir + depth only if it equals it, and then exactly.
    std::vector<ClinicalEvent> deeper;
    for (const ClinicalEvent& e : events)
        if (e.nadir <= e.baseline - depth) deeper.push_back(e);
    return deeper;
}

ClinicalSummary ComputeClinicalSummary(std::span<const SampleRecord> samples) {
    return ComputeClinicalSummary(samples, ClinicalOptions{});
}

namespace {

// The summary, whose one pass also hands each sample, once marked, to `also`.
// A template, so that the pass without anything more is the pass as it always
// was; the step is inlined into the marking loop even with more to do, as a
// call on every sample would slow the pass.
template <class Also>
ClinicalSummary Summarize(std::span<const SampleRecord> samples, const ClinicalOptions& options, SampleMarks* marksOut,
                          Also&& also) {
    // One pass marks the samples and takes each, once marked, into the values
    // and the desaturations: the samples are read once.
    ValidValues counted;
    std::int64_t validCount = 0;
    DesaturationScan desaturations(samples);
    const auto take = [&](std::int64_t t, std::int64_t now, SampleMark mark) __attribute__((always_inline)) {
        const SampleRecord& r = samples[static_cast<std::size_t>(t)];
        validCount += IsValidSample(r) ? 1 : 0;
        const bool isCounted = mark == SampleMark::Counted;
        counted.Add(t, now, r, isCounted);
        desaturations.Step(t, now, r, isCounted);
        also(t, now, r, isCounted);
    };
    SampleMarks marks = marking::MarkEach(samples, options.profile, options.exclusions, take);
    ClinicalSummary s;
    s.profile = options.profile;
    s.samples = static_cast<std::int32_t>(samples.size());
    s.countedSamples = static_cast<std::int32_t>(marks.counted);
    s.countedHours = static_cast<double>(marks.counted) / kSamplesPerHour;
    s.coverage = samples.empty() ? 0.0 : 100.0 * static_cast<double>(marks.counted) / static_cast<double>(samples.size());
    s.marginSamples = static_cast<std::int32_t>(marks.margin);
    s.artefactSamples = static_cast<std::int32_t>(marks.artefact);
    s.excludedSamples = static_cast<std::int32_t>(marks.excluded);
    const auto lastIndex = static_cast<std::int32_t>(samples.size()) - 1;
    for (const SampleSpan& span : options.exclusions.Spans()) {
        if (span.first > lastIndex) break;
        s.excluded.push_back({std::max(span.first, 0), std::min(span.last, lastIndex)});
    }
    s.validSamples = static_cast<std::int32_t>(validCount);
    s.validHours = static_cast<double>(validCount) / kSamplesPerHour;
    if (marksOut != nullptr) *marksOut = std::move(marks);
    if (counted.count == 0) return s;
    const auto count = static_cast<double>(counted.count);
    const double hours = s.countedHours;

    s.events3 = desaturations.Finish();
    s.events4 = DeeperDesaturations(s.events3, kDeepDesaturationDepth);
    s.odi3 = static_cast<double>(s.events3.size()) / hours;
    s.odi4 = static_cast<double>(s.events4.size()) / hours;
    s.desaturationBurden = Area(s.events3) / kSamplesPerMinute / hours;
    s.t90 = 100.0 * static_cast<double>(CountBetween(counted.spo2, 0, kT90Level - 1)) / count;
    s.t88Minutes = static_cast<double>(CountBetween(counted.spo2, 0, kLowSpo2Level)) / kSamplesPerMinute;
    s.longestLe88Seconds = static_cast<std::int32_t>(counted.longestRun);
    s.longestLe88Start = static_cast<std::int32_t>(counted.longestStart);

    const ValueSpread spo2 = Spread(counted.spo2, counted.count);
    s.nadirSpo2 = spo2.minimum;
    s.nadirIndex = static_cast<std::int32_t>(counted.nadirIndex);
    s.spo2Mean = spo2.mean;
    s.spo2Median = spo2.median;
    const ValueSpread pulse = Spread(counted.pulse, counted.count);
    s.pulseMean = pulse.mean;
    s.pulseMedian = pulse.median;
    s.pulseMin = pulse.minimum;
    s.pulseMax = pulse.maximum;
    s.bands = Bands(counted.spo2, counted.count);
    return s;
}

}  // namespace

ClinicalSummary ComputeClinicalSummary(std::span<const SampleRecord> samples, const ClinicalOptions& options,
                                       SampleMarks* marksOut, NightPass* night) {
    if (night == nullptr)
        return Summarize(samples, options, marksOut, [](std::int64_t, std::int64_t, const SampleRecord&, bool) {});
    return Summarize(samples, options, marksOut,
                     [night](std::int64_t t, std::int64_t now, const SampleRecord& r, bool isCounted) {
                         night->Step(t, now, r, isCounted);
                     });
}

}  // namespace quenda
