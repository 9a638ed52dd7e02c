#include "analysis/ScoredFigures.h"

#include "store/NightRule.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quenda {

namespace {

constexpr int kLowestReading = 50;
constexpr int kHighestReading = 100;
// A scored study is one night; a data set reaching further than this (nights
// weeks apart, shown as one) is not read second by second.
constexpr std::int64_t kMostSeconds = 8 * 24 * 3600;

std::int64_t CeilSeconds(std::int64_t ms) { return ms >= 0 ? (ms + 999) / 1000 : -((-ms) / 1000); }

}  // namespace

ScoredSeconds SecondsOf(std::span<const SampleRecord> samples, const Exclusions& exclusions, const ScoredStudy& study) {
    ScoredSeconds out;
    // Each sample's second; the clock's fast path within a minute, the
    // calendar only where it is needed.
    std::vector<std::int64_t> at(samples.size(), std::numeric_limits<std::int64_t>::min());
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    std::int64_t previous = std::numeric_limits<std::int64_t>::min();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const SampleRecord& r = samples[i];
        if (i > 0 && previous != std::numeric_limits<std::int64_t>::min() && r.second > 0 && r.second < 60 &&
            r.second == samples[i - 1].second + 1 && r.minute == samples[i - 1].minute &&
            r.hour == samples[i - 1].hour && r.day == samples[i - 1].day && r.month == samples[i - 1].month &&
            r.year == samples[i - 1].year) {
            at[i] = previous + 1;
        } else if (const auto s = SampleSeconds(r)) {
            at[i] = *s;
        } else {
            previous = std::numeric_limits<std::int64_t>::min();
            continue;
        }
        previous = at[i];
        first = std::min(first, at[i]);
        last = std::max(last, at[i]);
    }
    if (first > last || last - first + 1 > kMostSeconds) return out;
    out.firstSecond = first;
    out.spo2.assign(static_cast<std::size_t>(last - first + 1), std::nan(""));
    const auto spans = exclusions.Spans();
    auto excluded = spans.begin();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (at[i] == std::numeric_limits<std::int64_t>::min()) continue;
        while (excluded != spans.end() && excluded->last < static_cast<std::int32_t>(i)) ++excluded;
        if (excluded != spans.end() && excluded->first <= static_cast<std::int32_t>(i)) continue;
        const int v = samples[i].spo2;
        if (v >= kLowestReading && v <= kHighestReading) out.spo2[static_cast<std::size_t>(at[i] - first)] = v;
    }
    if (!study.HasStages()) return out;
    // A second takes the stage whose span holds its start; a later stage over
    // an earlier one wins.
    out.asleep.assign(out.spo2.size(), 0);
    const std::int64_t length = static_cast<std::int64_t>(out.asleep.size());
    for (const ScoredAnnotation& a : study.annotations) {
        if (a.kind != AnnotationKind::Stage) continue;
        const std::int64_t onset = a.onsetMs - first * 1000;
        const std::int64_t duration = a.durationMs > 0 ? a.durationMs : kDefaultStageMs;
        const std::int64_t from = std::max<std::int64_t>(CeilSeconds(onset), 0);
        const std::int64_t to = std::min(CeilSeconds(onset + duration), length);
        const std::uint8_t asleep = IsAsleep(a.stage) ? 1 : 0;
        for (std::int64_t s = from; s < to; ++s) out.asleep[static_cast<std::size_t>(s)] = asleep;
    }
    return out;
}

std::vector<ScoredMark> ScoredMarksOf(std::span<const SampleRecord> samples, const ScoredStudy& study) {
    std::vector<ScoredMark> out;
    if (samples.empty() || !study.HasScoring()) return out;
    // Each sample's millisecond, in order; a sample with an impossible time
    // takes its neighbour's so the search stays sorted.
    std::vector<std::int64_t> at(samples.size());
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (const auto s = SampleSeconds(samples[i])) last = std::max(last, *s * 1000);
        at[i] = last;
    }
    for (const ScoredAnnotation& a : study.annotations) {
        if (a.kind == AnnotationKind::Other) continue;
        const auto first = std::lower_bound(at.begin(), at.end(), a.onsetMs);
        const auto end = std::lower_bound(first, at.end(), a.onsetMs + std::max<std::int64_t>(a.durationMs, 1));
        if (first == end) continue;
        out.push_back({{static_cast<std::int32_t>(first - at.begin()), static_cast<std::int32_t>(end - at.begin() - 1)},
                       a.kind,
                       a.stage});
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ScoredMark& a, const ScoredMark& b) { return a.span.first < b.span.first; });
    return out;
}

const ScoredMark* RespiratoryMarkAt(std::span<const ScoredMark> marks, std::int32_t index) {
    // Marks start in order; events are short, so a look back over the few
    // that start within a few minutes before finds any that holds it.
    auto it = std::upper_bound(marks.begin(), marks.end(), index,
                               [](std::int32_t i, const ScoredMark& m) { return i < m.span.first; });
    for (int looked = 0; it != marks.begin() && looked < 64; ++looked) {
        --it;
        if (it->kind != AnnotationKind::Stage && it->span.last >= index) return &*it;
    }
    return nullptr;
}

ScoredFigures ComputeScoredFigures(std::span<const SampleRecord> samples, const Exclusions& exclusions,
                                   const ScoredStudy& study) {
    ScoredFigures out;
    if (!study.HasScoring()) return out;
    out.scored = true;
    const ScoredSeconds seconds = SecondsOf(samples, exclusions, study);
    std::vector<RespiratoryEventTime> events;
    for (const ScoredAnnotation& a : study.annotations) {
        if (!a.IsRespiratory()) continue;
        (a.kind == AnnotationKind::Apnea ? out.apneas : out.hypopneas) += 1;
        events.push_back({a.onsetMs - seconds.firstSecond * 1000, a.durationMs});
    }
    std::stable_sort(events.begin(), events.end(), [](const RespiratoryEventTime& a, const RespiratoryEventTime& b) {
        return a.onsetMs < b.onsetMs;
    });
    out.sleepBasis = !seconds.asleep.empty();
    if (out.sleepBasis) {
        out.hours = static_cast<double>(std::count(seconds.asleep.begin(), seconds.asleep.end(), 1)) / 3600.0;
    } else {
        out.hours = static_cast<double>(std::count_if(seconds.spo2.begin(), seconds.spo2.end(),
                                                      [](double v) { return !std::isnan(v); })) /
                    3600.0;
    }
    if (out.hours > 0) out.ahi = (out.apneas + out.hypopneas) / out.hours;
    if (!events.empty()) {
        out.hasBurden = true;
        out.burden = ComputeHypoxicBurden(seconds.spo2, events, seconds.asleep);
    }
    return out;
}

}  // namespace quenda
