#include "analysis/HypoxicBurden.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quenda {

namespace {

constexpr std::array<double, 16> kFirstHalf{
    0.000109398212241,  0.000514594526374,  0.001350397179936,  0.002341700062534,
    0.002485940327008,  0.000207543145171,  -0.005659450344228, -0.014258087808069,
    -0.021415481383353, -0.019969417749860, -0.002425120103463, 0.034794452821365,
    0.087695691366900,  0.144171828095816,  0.187717212244959,  0.204101948813338};

constexpr std::array<double, kBurdenFilterTaps> Symmetric() {
    std::array<double, kBurdenFilterTaps> taps{};
    for (std::size_t i = 0; i < kFirstHalf.size(); ++i) {
        taps[i] = kFirstHalf[i];
        taps[taps.size() - 1 - i] = kFirstHalf[i];
    }
    return taps;
}

// Readings of the baseline before each event's end, and where events must
// lie for their windows to fit in the night.
constexpr int kBaselineSeconds = 100;
constexpr int kMaxGap = 90;  // the most of the mean gap the window search looks past the end
constexpr double kPeakShare = 0.75;

// One pass of the filter in place, as if `v` had held its first value
// forever before: the filter's steady state for that value.
void FilterPass(std::vector<double>& v) {
    const std::vector<double> in = v;
    const auto n = static_cast<std::ptrdiff_t>(in.size());
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        double sum = 0;
        for (std::ptrdiff_t k = 0; k < kBurdenFilterTaps; ++k)
            sum += kBurdenFilter[static_cast<std::size_t>(k)] *
                   in[static_cast<std::size_t>(std::max<std::ptrdiff_t>(i - k, 0))];
        v[static_cast<std::size_t>(i)] = sum;
    }
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0); }
std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return -FloorDiv(-a, b); }

bool Reading(double v) { return !std::isnan(v); }

// The filtered ensemble curve of the events that fit in the night whole;
// empty when none does or a second of it has no reading in any of them.
std::vector<double> EnsembleCurve(std::span<const double> spo2, std::span<const std::int64_t> ends) {
    std::vector<double> sum(kEnsembleLength, 0.0);
    std::vector<int> count(kEnsembleLength, 0);
    const auto length = static_cast<std::int64_t>(spo2.size());
    for (const std::int64_t e : ends) {
        if (e - kEnsembleHalf <= 0 || e + kEnsembleHalf >= length) continue;
        const std::int64_t first = e - kEnsembleHalf - 1;  // 0-based second of 1-based E - 120
        for (std::size_t j = 0; j < sum.size(); ++j) {
            const double v = spo2[static_cast<std::size_t>(first) + j];
            if (!Reading(v)) continue;
            sum[j] += v;
            ++count[j];
        }
    }
    for (std::size_t j = 0; j < sum.size(); ++j) {
        if (count[j] == 0) return {};
        sum[j] /= count[j];
    }
    return ZeroPhaseLowPass(sum);
}

}  // namespace

const std::array<double, kBurdenFilterTaps> kBurdenFilter = Symmetric();

std::vector<double> ZeroPhaseLowPass(std::span<const double> curve) {
    const std::size_t n = curve.size();
    const std::size_t pad = kBurdenPadding;
    if (n <= pad) return {};
    std::vector<double> v;
    v.reserve(n + 2 * pad);
    // Mirrored through the end values: 2·x0 − x90 … 2·x0 − x1, and likewise after.
    for (std::size_t k = pad; k >= 1; --k) v.push_back(2 * curve[0] - curve[k]);
    v.insert(v.end(), curve.begin(), curve.end());
    for (std::size_t k = 1; k <= pad; ++k) v.push_back(2 * curve[n - 1] - curve[n - 1 - k]);
    FilterPass(v);
    std::reverse(v.begin(), v.end());
    FilterPass(v);
    std::reverse(v.begin(), v.end());
    return {v.begin() + static_cast<std::ptrdiff_t>(pad), v.begin() + static_cast<std::ptrdiff_t>(pad + n)};
}

BurdenWindow FindBurdenWindow(std::span<const double> filtered, int meanDuration, int meanGap) {
    const int from = kEnsembleHalf + 1 - meanDuration;  // positions 1-based, as the method counts them
    const int to = kEnsembleHalf + 1 + std::min(kMaxGap, meanGap);
    if (filtered.size() != static_cast<std::size_t>(kEnsembleLength) || from < 1 || to > kEnsembleLength || to < from)
        return {};
    const std::span<const double> piece =
        filtered.subspan(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
    if (!std::all_of(piece.begin(), piece.end(), [](double v) { return std::isfinite(v); })) return {};
    const int m = static_cast<int>(piece.size());
    const auto p = [&](int position) { return piece[static_cast<std::size_t>(position - 1)]; };
    const auto minimum = [&](int i) { return p(i) < p(i - 1) && p(i) < p(i + 1); };
    const auto maximum = [&](int i) { return p(i) > p(i - 1) && p(i) > p(i + 1); };

    int nadir = 0;
    for (int i = 2; i < m; ++i)
        if (minimum(i) && (nadir == 0 || p(i) < p(nadir))) nadir = i;
    if (nadir < 3 || nadir > m - 2) return {};

    // The highest peak's height above the nadir among positions first..last,
    // then the peak wanted: the last before the nadir or the first after it
    // whose height exceeds kPeakShare of that.
    const auto peak = [&](int first, int last, bool lastOne) {
        double highest = -std::numeric_limits<double>::infinity();
        for (int i = first; i <= last; ++i)
            if (maximum(i)) highest = std::max(highest, p(i) - p(nadir));
        int found = 0;
        for (int i = first; i <= last; ++i) {
            if (!maximum(i) || !(p(i) - p(nadir) > kPeakShare * highest)) continue;
            found = i;
            if (!lastOne) break;
        }
        return found;
    };
    const int before = peak(2, nadir - 1, true);
    const int after = peak(nadir, m - 1, false);
    if (before == 0 || after == 0) return {};
    return {before - meanDuration, after - meanDuration, true};
}

HypoxicBurden ComputeHypoxicBurden(std::span<const double> spo2, std::span<const RespiratoryEventTime> events,
                                   std::span<const std::uint8_t> asleep) {
    HypoxicBurden out;
    out.sleepBasis = !asleep.empty();
    std::int64_t withReading = 0;
    for (std::size_t s = 0; s < spo2.size(); ++s)
        if (Reading(spo2[s]) && (asleep.empty() || (s < asleep.size() && asleep[s] != 0))) ++withReading;
    out.hours = static_cast<double>(withReading) / 3600.0;
    if (events.empty()) return out;

    // Each event's end E as a 1-based second; the mean duration and gap.
    std::vector<std::int64_t> ends;
    ends.reserve(events.size());
    std::int64_t durations = 0;
    for (const RespiratoryEventTime& e : events) {
        const std::int64_t duration = std::max<std::int64_t>(e.durationMs, 0);
        ends.push_back(FloorDiv(e.onsetMs + duration, 1000) + 1);
        durations += duration;
    }
    const auto n = static_cast<std::int64_t>(events.size());
    const auto meanDuration = static_cast<int>(std::min<std::int64_t>(CeilDiv(durations, n * 1000), kEnsembleLength));
    const auto meanGap =
        n == 1 ? kMaxGap
               : static_cast<int>(std::clamp<std::int64_t>(
                     CeilDiv(events.back().onsetMs - events.front().onsetMs, (n - 1) * 1000), 0, kEnsembleLength));

    const std::vector<double> filtered = EnsembleCurve(spo2, ends);
    if (!filtered.empty()) out.window = FindBurdenWindow(filtered, meanDuration, meanGap);

    const auto length = static_cast<std::int64_t>(spo2.size());
    const auto at = [&](std::int64_t second) { return spo2[static_cast<std::size_t>(second - 1)]; };  // 1-based
    double area = 0;
    std::int64_t covered = std::numeric_limits<std::int64_t>::min();  // the last second of the last window
    for (const std::int64_t e : ends) {
        if (e - kBaselineSeconds <= 0 || e + out.window.end >= length) continue;
        double baseline = -1;
        for (std::int64_t s = e - kBaselineSeconds; s <= e; ++s)
            if (Reading(at(s))) baseline = std::max(baseline, at(s));
        if (baseline < 0) continue;  // no reading to take a baseline from: the event tells nothing
        for (std::int64_t s = std::max({e + out.window.start, covered, std::int64_t{1}}); s <= e + out.window.end; ++s)
            if (Reading(at(s))) area += std::max(baseline - at(s), 0.0) / 60.0;
        covered = e + out.window.end;
        ++out.eventsUsed;
    }
    if (withReading > 0) out.value = area / out.hours;
    return out;
}

}  // namespace quenda
