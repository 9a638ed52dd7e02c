// The periodicity measures of Biomarkers.h: phase-rectified signal averaging
// and Welch's spectrum.
#include "analysis/Biomarkers.h"

#include <fftw3.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <numbers>

namespace quenda {

namespace {

constexpr std::size_t kSegment = kWelchSegment;
constexpr std::size_t kStep = kSegment / 2;  // half overlap
constexpr std::size_t kBins = kSegment / 2 + 1;

using Values = std::array<double, kSegment>;

// What every segment shares, made once: the window, and FFTW's plan of a real
// transform of one segment's length. FFTW's planner may not run on two
// threads at once; a function-local static is made once, whichever thread
// asks first, and executing a plan on other arrays (fftw_execute_dft_r2c) is
// safe on any number of threads.
struct WelchTables {
    Values window{};
    double windowPower = 0;  // Σ w²
    fftw_plan plan = nullptr;
};

// Arrays as FFTW aligns them, which the plan was made for.
struct FftwFree {
    void operator()(void* p) const { fftw_free(p); }
};
using RealBuffer = std::unique_ptr<double[], FftwFree>;
using ComplexBuffer = std::unique_ptr<fftw_complex[], FftwFree>;

WelchTables MakeTables() {
    WelchTables t;
    for (std::size_t j = 0; j < kSegment; ++j) {
        // The periodic Hamming window, as spectral estimators use it.
        t.window[j] = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * static_cast<double>(j) / kSegment);
        t.windowPower += t.window[j] * t.window[j];
    }
    // FFTW_ESTIMATE: planning reads no data and takes no measurements, so the
    // plan (and every figure) is the same on every run.
    const RealBuffer in(fftw_alloc_real(kSegment));
    const ComplexBuffer out(fftw_alloc_complex(kBins));
    t.plan = fftw_plan_dft_r2c_1d(static_cast<int>(kSegment), in.get(), out.get(), FFTW_ESTIMATE);
    return t;
}

const WelchTables& Tables() {
    static const WelchTables tables = MakeTables();
    return tables;
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
    const RealBuffer in(fftw_alloc_real(kSegment));
    const ComplexBuffer out(fftw_alloc_complex(kBins));
    std::array<double, kBins> power{};
    for (std::size_t s = 0; s < segments; ++s) {
        const std::uint8_t* v = x.data() + s * kStep;
        std::int64_t sum = 0;
        for (std::size_t j = 0; j < kSegment; ++j) sum += v[j];
        const double mean = static_cast<double>(sum) / kSegment;
        for (std::size_t j = 0; j < kSegment; ++j) in[j] = (v[j] - mean) * t.window[j];
        fftw_execute_dft_r2c(t.plan, in.get(), out.get());
        for (std::size_t k = 0; k < kBins; ++k) power[k] += out[k][0] * out[k][0] + out[k][1] * out[k][1];
    }
    // The mean over the segments, per Hz at one sample a second, one-sided:
    // every bin but 0 and 128 stands for its negative frequency too.
    const double scale = 1.0 / (t.windowPower * static_cast<double>(segments));
    std::vector<double> density(kBins);
    for (std::size_t k = 0; k < kBins; ++k) density[k] = (k == 0 || k == kBins - 1 ? 1 : 2) * power[k] * scale;
    return density;
}

}  // namespace quenda
