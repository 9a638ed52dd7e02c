// The periodicity measures of Biomarkers.h: phase-rectified signal averaging
// and Welch's spectrum.
#include "analysis/Biomarkers.h"

#include <cmath>
#include <cstddef>
#include <numbers>

namespace quenda {

namespace {

constexpr std::size_t kSegment = kWelchSegment;
constexpr std::size_t kStep = kSegment / 2;  // half overlap
constexpr std::size_t kBins = kSegment / 2 + 1;

using Values = std::array<double, kSegment>;

// What every segment shares: the window and the transform's tables, made once.
struct WelchTables {
    Values window{};
    double windowPower = 0;                         // Σ w²
    std::array<std::uint8_t, kSegment> reversed{};  // bit-reversed index
    // The stage that joins transforms of `half` values turns by e^(-iπk/half)
    // for k < half: at [half + k], so that each stage reads its own in order.
    Values turnRe{};
    Values turnIm{};
};

WelchTables MakeTables() {
    WelchTables t;
    for (std::size_t j = 0; j < kSegment; ++j) {
        // The periodic Hamming window, as spectral estimators use it.
        t.window[j] = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * static_cast<double>(j) / kSegment);
        t.windowPower += t.window[j] * t.window[j];
        std::size_t r = 0;
        for (std::size_t bit = 1, from = j; bit < kSegment; bit <<= 1, from >>= 1) r = r << 1 | (from & 1);
        t.reversed[j] = static_cast<std::uint8_t>(r);
    }
    for (std::size_t half = 1; half < kSegment; half <<= 1) {
        for (std::size_t k = 0; k < half; ++k) {
            t.turnRe[half + k] = std::cos(std::numbers::pi * static_cast<double>(k) / static_cast<double>(half));
            t.turnIm[half + k] = -std::sin(std::numbers::pi * static_cast<double>(k) / static_cast<double>(half));
        }
    }
    return t;
}

const WelchTables& Tables() {
    static const WelchTables tables = MakeTables();
    return tables;
}

// Two stages of the transform in one sweep, each value read and written once
// for both: the first splits each run of 2·Half values into the two halves the
// second takes, which splits each of those again. Their sizes are constants,
// so that the compiler may take the butterflies several at a time.
template <std::size_t Half>
void TwoStages(Values& re, Values& im, const WelchTables& t) {
    constexpr std::size_t Q = Half / 2;
    const double* outerRe = t.turnRe.data() + Half;
    const double* outerIm = t.turnIm.data() + Half;
    const double* innerRe = t.turnRe.data() + Q;
    const double* innerIm = t.turnIm.data() + Q;
    for (std::size_t start = 0; start < kSegment; start += 2 * Half) {
        for (std::size_t k = 0; k < Q; ++k) {
            const std::size_t a = start + k, b = a + Q, c = a + Half, e = c + Q;
            // The first stage: a with c, b with e.
            const double acr = re[a] - re[c], aci = im[a] - im[c];
            const double ar = re[a] + re[c], ai = im[a] + im[c];
            const double cr = acr * outerRe[k] - aci * outerIm[k];
            const double ci = acr * outerIm[k] + aci * outerRe[k];
            const double ber = re[b] - re[e], bei = im[b] - im[e];
            const double br = re[b] + re[e], bi = im[b] + im[e];
            const double er = ber * outerRe[k + Q] - bei * outerIm[k + Q];
            const double ei = ber * outerIm[k + Q] + bei * outerRe[k + Q];
            // The second: a with b, c with e.
            const double abr = ar - br, abi = ai - bi;
            re[a] = ar + br;
            im[a] = ai + bi;
            re[b] = abr * innerRe[k] - abi * innerIm[k];
            im[b] = abr * innerIm[k] + abi * innerRe[k];
            const double cer = cr - er, cei = ci - ei;
            re[c] = cr + er;
            im[c] = ci + ei;
            re[e] = cer * innerRe[k] - cei * innerIm[k];
            im[e] = cer * innerIm[k] + cei * innerRe[k];
        }
    }
}

// The discrete Fourier transform of 256 complex values, in place: radix 2 by
// decimation in frequency, so that bin k comes out at reversed[k]. Real and
// imaginary parts apart, with no library complex arithmetic in the
// butterflies (which would check every product for infinities).
void Transform(Values& re, Values& im, const WelchTables& t) {
    TwoStages<128>(re, im, t);
    TwoStages<32>(re, im, t);
    TwoStages<8>(re, im, t);
    // The last two stages turn by 1 and -i only: no multiplication.
    for (std::size_t a = 0; a < kSegment; a += 4) {
        const double r0 = re[a] + re[a + 2], i0 = im[a] + im[a + 2];
        const double r2 = re[a] - re[a + 2], i2 = im[a] - im[a + 2];
        const double r1 = re[a + 1] + re[a + 3], i1 = im[a + 1] + im[a + 3];
        // (re[a+1] - re[a+3] + i·(im[a+1] - im[a+3])) × -i
        const double r3 = im[a + 1] - im[a + 3], i3 = re[a + 3] - re[a + 1];
        re[a] = r0 + r1;
        im[a] = i0 + i1;
        re[a + 1] = r0 - r1;
        im[a + 1] = i0 - i1;
        re[a + 2] = r2 + r3;
        im[a + 2] = i2 + i3;
        re[a + 3] = r2 - r3;
        im[a + 3] = i2 - i3;
    }
}

// Segment `first`'s values less their mean, windowed, into `out`; `values`
// holds them as doubles.
void Windowed(std::span<const std::uint8_t> x, std::size_t first, const double* values, const WelchTables& t,
              Values& out) {
    std::int64_t sum = 0;
    for (std::size_t j = 0; j < kSegment; ++j) sum += x[first + j];
    const double mean = static_cast<double>(sum) / kSegment;
    for (std::size_t j = 0; j < kSegment; ++j) out[j] = (values[j] - mean) * t.window[j];
}

// Five of the window's sums over the anchors at once: few enough to be kept
// in registers, each named, as the compiler keeps an array in memory.
constexpr std::size_t kSumsAtOnce = 5;
static_assert(2 * kPrsaHalfWindow % kSumsAtOnce == 0);

// Window positions first..first+4: samples i - d + first of the anchors i.
void AddWindows(const std::uint8_t* x, std::span<const std::uint32_t> anchors, std::size_t first, double* out) {
    std::uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;  // at most 255 × N
    for (const std::uint32_t a : anchors) {
        const std::uint8_t* v = x + (a - kPrsaHalfWindow + first);
        s0 += v[0];
        s1 += v[1];
        s2 += v[2];
        s3 += v[3];
        s4 += v[4];
    }
    for (const std::uint32_t s : {s0, s1, s2, s3, s4}) *out++ = s;
}

}  // namespace

Prsa PrsaWindow(std::span<const std::uint8_t> x) {
    constexpr std::size_t d = kPrsaHalfWindow;
    Prsa p;
    const std::size_t n = x.size();
    if (n < 2 * d) return p;
    // The anchors first, without a branch on each sample (a fall is a coin
    // toss to the branch predictor), then their windows.
    std::vector<std::uint32_t> anchors(n - 2 * d + 1);
    std::size_t count = 0;
    for (std::size_t i = d; i <= n - d; ++i) {
        anchors[count] = static_cast<std::uint32_t>(i);
        count += x[i] < x[i - 1] ? 1 : 0;
    }
    if (count == 0) return p;
    p.anchors = static_cast<std::int64_t>(count);
    for (std::size_t first = 0; first < 2 * d; first += kSumsAtOnce)
        AddWindows(x.data(), std::span(anchors).first(count), first, p.window.data() + first);
    for (double& w : p.window) w /= static_cast<double>(count);
    return p;
}

std::vector<double> WelchDensity(std::span<const std::uint8_t> x) {
    if (x.size() < kSegment) return {};
    const WelchTables& t = Tables();
    const std::size_t segments = (x.size() - kSegment) / kStep + 1;
    // Two real segments a and b go through one complex transform X, one as
    // the real part and one as the imaginary part. Their powers at bin k sum
    // to (|X[k]|² + |X[-k]|²) / 2, so the sum over the segments needs only
    // the sum of |X|², whichever order the transform leaves the bins in.
    Values re;
    Values im;
    Values power{};
    // The samples of both segments, as doubles once for the two windows.
    std::array<double, kSegment + kStep> values;
    for (std::size_t s = 0; s < segments; s += 2) {
        const bool pair = s + 1 < segments;
        const std::size_t count = pair ? kSegment + kStep : kSegment;
        for (std::size_t j = 0; j < count; ++j) values[j] = x[s * kStep + j];
        Windowed(x, s * kStep, values.data(), t, re);
        if (pair) {
            Windowed(x, (s + 1) * kStep, values.data() + kStep, t, im);
        } else {
            im.fill(0);  // a real segment alone: |X[k]| = |X[-k]|
        }
        Transform(re, im, t);
        for (std::size_t j = 0; j < kSegment; ++j) power[j] += re[j] * re[j] + im[j] * im[j];
    }
    // The mean over the segments, per Hz at one sample a second, one-sided:
    // every bin but 0 and 128 stands for its negative frequency too, which
    // doubles it and cancels the half above.
    const double scale = 1.0 / (t.windowPower * static_cast<double>(segments));
    std::vector<double> density(kBins);
    for (std::size_t k = 0; k < kBins; ++k) {
        const double both = power[t.reversed[k]] + power[t.reversed[(kSegment - k) % kSegment]];
        density[k] = (k == 0 || k == kBins - 1 ? both / 2 : both) * scale;
    }
    return density;
}

}  // namespace quenda
