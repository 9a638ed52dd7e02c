#include "analysis/Biomarkers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quenda {

namespace {

constexpr std::size_t kDeltaWindow = 12;  // s
constexpr double kBelowMedian = 2;        // m counts the samples below median - 2
constexpr double kBandLow = 0.014;        // Hz: the band of cyclic desaturation
constexpr double kBandHigh = 0.033;       // Hz
constexpr double kSampleRate = 1.0;       // Hz

// The values are bytes: every figure that rests on the values as a set, and
// not on their order, comes from their histogram in linear time.
template <std::size_t Size>
using Histogram = std::array<std::int64_t, Size>;

// The value at a 0-based rank of the sorted values.
template <std::size_t Size>
int ValueAtRank(const Histogram<Size>& h, std::int64_t rank) {
    std::int64_t seen = 0;
    for (std::size_t v = 0; v < Size; ++v) {
        seen += h[v];
        if (seen > rank) return static_cast<int>(v);
    }
    return static_cast<int>(Size) - 1;
}

template <std::size_t Size>
double MedianOf(const Histogram<Size>& h, std::int64_t n) {
    return (ValueAtRank(h, (n - 1) / 2) + ValueAtRank(h, n / 2)) / 2.0;
}

// Linear interpolation between the closest ranks: rank (n - 1) × q.
double Percentile(const Histogram<256>& h, std::int64_t n, double q) {
    const double rank = static_cast<double>(n - 1) * q;
    const auto low = static_cast<std::int64_t>(std::floor(rank));
    const int below = ValueAtRank(h, low);
    const int above = low + 1 < n ? ValueAtRank(h, low + 1) : below;
    return below + (rank - static_cast<double>(low)) * (above - below);
}

void FromHistogram(const Histogram<256>& h, std::int64_t n, Biomarkers& b) {
    std::int64_t sum = 0;
    int lowest = -1;
    int highest = 0;
    for (int v = 0; v < 256; ++v) {
        if (h[static_cast<std::size_t>(v)] == 0) continue;
        if (lowest < 0) lowest = v;
        highest = v;
        sum += h[static_cast<std::size_t>(v)] * v;
    }
    const auto count = static_cast<double>(n);
    b.mean = static_cast<double>(sum) / count;
    b.median = MedianOf(h, n);
    b.min = lowest;
    b.range = highest - lowest;
    b.p1 = Percentile(h, n, 0.01);
    double m2 = 0, m3 = 0, m4 = 0;
    std::int64_t below = 0;
    Histogram<511> deviations{};  // |2x - 2 median|: whole numbers
    for (int v = lowest; v <= highest; ++v) {
        const auto k = static_cast<double>(h[static_cast<std::size_t>(v)]);
        const double d = v - b.mean;
        m2 += k * d * d;
        m3 += k * d * d * d;
        m4 += k * d * d * d * d;
        if (v < b.median - kBelowMedian) below += h[static_cast<std::size_t>(v)];
        deviations[static_cast<std::size_t>(std::abs(2 * v - static_cast<int>(2 * b.median)))] +=
            h[static_cast<std::size_t>(v)];
    }
    m2 /= count;
    m3 /= count;
    m4 /= count;
    b.sd = std::sqrt(m2);
    b.m = 100.0 * static_cast<double>(below) / count;
    b.mad = MedianOf(deviations, n) / 2;
    if (m2 > 0) {
        b.kurtosis = m4 / (m2 * m2) - 3;
        b.skewness = m3 / std::pow(m2, 1.5);
    }
}

// The figures that rest on the order: crossings of the mean and the delta
// index. The mean is sum / n, so n·x - sum has the sign of x - mean exactly.
void FromSequence(std::span<const std::uint8_t> x, std::int64_t sum, Biomarkers& b) {
    const auto n = static_cast<std::int64_t>(x.size());
    std::array<int, 256> sideOf{};  // -1 below the mean, 1 above, 0 at it
    for (int v = 0; v < 256; ++v) sideOf[static_cast<std::size_t>(v)] = (n * v > sum) - (n * v < sum);
    std::int64_t crossings = 0;
    int side = 0;
    for (const std::uint8_t v : x) {
        const int now = sideOf[v];
        crossings += now * side < 0 ? 1 : 0;
        side = now;
    }
    b.meanCrossings = crossings;
    // A window's mean is its sum / 12; the last partial window is dropped.
    const std::size_t windows = x.size() / kDeltaWindow;
    if (windows < 2) return;
    std::int64_t deltas = 0;
    std::int64_t previous = 0;
    for (std::size_t w = 0; w < windows; ++w) {
        std::int64_t windowSum = 0;
        for (std::size_t k = 0; k < kDeltaWindow; ++k) windowSum += x[w * kDeltaWindow + k];
        if (w > 0) deltas += std::abs(windowSum - previous);
        previous = windowSum;
    }
    b.deltaIndex = static_cast<double>(deltas) / kDeltaWindow / static_cast<double>(windows - 1);
}

// Least-squares slope of values[i] against positions[i].
template <class Positions, class Values>
double Slope(const Positions& positions, const Values& values, std::size_t first, std::size_t count) {
    double meanX = 0, meanY = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        meanX += positions(i);
        meanY += values[i];
    }
    meanX /= static_cast<double>(count);
    meanY /= static_cast<double>(count);
    double sxy = 0, sxx = 0;
    for (std::size_t i = first; i < first + count; ++i) {
        sxy += (positions(i) - meanX) * (values[i] - meanY);
        sxx += (positions(i) - meanX) * (positions(i) - meanX);
    }
    return sxy / sxx;
}

void FromDfa(std::span<const std::uint8_t> x, std::int64_t sum, Biomarkers& b) {
    const Dfa dfa = DfaFluctuations(x, sum);
    b.dfaF20 = dfa.f20;
    std::array<double, kDfaSizes.size()> logF{};
    for (std::size_t i = 0; i < logF.size(); ++i) {
        if (!(dfa.f[i] > 0)) return;  // no exponent without every size
        logF[i] = std::log(dfa.f[i]);
    }
    b.dfaAlpha = Slope([](std::size_t i) { return std::log(kDfaSizes[i]); }, logF, 0, logF.size());
}

void FromPrsa(std::span<const std::uint8_t> x, Biomarkers& b) {
    const Prsa p = PrsaWindow(x);
    if (p.anchors == 0) return;
    const auto& w = p.window;
    constexpr std::size_t d = kPrsaHalfWindow;
    b.prsaCapacity = (w[d] + w[d + 1] - w[d - 1] - w[d - 2]) / 4;
    const auto [low, high] = std::minmax_element(w.begin(), w.end());
    b.prsaAmplitude = *high - *low;
    const auto position = [](std::size_t i) { return static_cast<double>(i); };
    b.prsaSlope = Slope(position, w, 0, 2 * d);
    b.prsaSlopeBefore = Slope(position, w, 0, d);
    b.prsaSlopeAfter = Slope(position, w, d, d);
    b.prsaAc2 = 0;
    for (std::size_t k = 0; k + 2 < w.size(); ++k) b.prsaAc2 += w[k] * w[k + 2];
}

void FromSpectrum(std::span<const std::uint8_t> x, Biomarkers& b) {
    const std::vector<double> density = WelchDensity(x);
    if (density.empty()) return;
    const double binWidth = kSampleRate / kWelchSegment;  // Hz
    double total = 0;
    double band = 0;
    double peak = 0;
    for (std::size_t k = 0; k < density.size(); ++k) {
        total += density[k] * binWidth;
        const double hz = static_cast<double>(k) * binWidth;
        if (hz < kBandLow || hz > kBandHigh) continue;
        band += density[k] * binWidth;
        peak = std::max(peak, density[k]);
    }
    b.psdTotal = total;
    b.psdBand = band;
    b.psdPeak = peak;
    if (total > 0) b.psdRatio = band / total;
}

}  // namespace

Biomarkers ComputeBiomarkers(std::span<const std::uint8_t> x) {
    Biomarkers b;
    const auto n = static_cast<std::int64_t>(x.size());
    if (n == 0) return b;
    // Four histograms taken in turn: SpO2 repeats itself, and a run of one
    // value would make every count wait for the one before.
    std::array<Histogram<256>, 4> parts{};
    for (std::size_t i = 0; i < x.size(); ++i) ++parts[i & 3][x[i]];
    Histogram<256> h{};
    std::int64_t sum = 0;
    for (std::size_t v = 0; v < h.size(); ++v) {
        h[v] = parts[0][v] + parts[1][v] + parts[2][v] + parts[3][v];
        sum += h[v] * static_cast<std::int64_t>(v);
    }
    FromHistogram(h, n, b);
    FromSequence(x, sum, b);
    const Entropies e = ComputeEntropies(x);
    b.apen = e.apen;
    b.sampen = e.sampen;
    b.lzPhrases = LempelZivPhrases(x, b.median);
    b.lzNormalised = static_cast<double>(b.lzPhrases) * std::log2(static_cast<double>(n)) / static_cast<double>(n);
    b.ctm = CentralTendency(x);
    FromDfa(x, sum, b);
    FromPrsa(x, b);
    FromSpectrum(x, b);
    return b;
}

}  // namespace quenda
