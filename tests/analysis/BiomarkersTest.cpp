// The SpO2 biomarkers: hand-worked answers on short series, and quadratic
// references (the definitions as written) on longer random ones, where the
// linear-time code takes its shortcuts.
#include "analysis/Biomarkers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace quenda {
namespace {

using Series = std::vector<std::uint8_t>;

Series Repeated(std::initializer_list<std::pair<int, int>> runs) {
    Series x;
    for (const auto& [value, count] : runs)
        x.insert(x.end(), static_cast<std::size_t>(count), static_cast<std::uint8_t>(value));
    return x;
}

Series Random(std::size_t n, int low, int high, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> value(low, high);
    Series x(n);
    for (auto& v : x) v = static_cast<std::uint8_t>(value(random));
    return x;
}

TEST(Biomarkers, GeneralFiguresOfAHandMadeSeries) {
    // Sorted: 90 94 96 96 96 96 96 98 98 100; mean 96, deviations -6 -2 0 ×5 2 2 4.
    const Series x{96, 98, 94, 96, 90, 96, 100, 96, 98, 96};
    const Biomarkers b = ComputeBiomarkers(x);
    EXPECT_DOUBLE_EQ(b.mean, 96);
    EXPECT_DOUBLE_EQ(b.median, 96);
    EXPECT_EQ(b.min, 90);
    EXPECT_EQ(b.range, 10);
    EXPECT_DOUBLE_EQ(b.sd, std::sqrt(6.4));  // 64 / 10
    EXPECT_DOUBLE_EQ(b.p1, 90 + 0.09 * 4);   // rank 0.09, between 90 and 94
    EXPECT_DOUBLE_EQ(b.m, 10);               // 90 only: 94 = median - 2 is not below it
    EXPECT_DOUBLE_EQ(b.mad, 1);              // |x - 96|: 0 ×5, 2 ×3, 4, 6
    EXPECT_NEAR(b.skewness, -14.4 / std::pow(6.4, 1.5), 1e-12);
    EXPECT_NEAR(b.kurtosis, 160 / 40.96 - 3, 1e-12);
    EXPECT_EQ(b.meanCrossings, 1);          // 98 → 94 only: a sample at the mean is on neither side
    EXPECT_TRUE(std::isnan(b.deltaIndex));  // not two whole 12-s windows
    EXPECT_DOUBLE_EQ(b.ctm, 0);
}

TEST(Biomarkers, DeltaIndexDropsTheLastPartialWindow) {
    // Windows of 12 with means 96, 93 and 95; the 11 samples at 50 make no window.
    const Biomarkers b = ComputeBiomarkers(Repeated({{96, 12}, {93, 12}, {95, 12}, {50, 11}}));
    EXPECT_DOUBLE_EQ(b.deltaIndex, (3 + 2) / 2.0);
}

TEST(Biomarkers, NothingToRestOn) {
    const Biomarkers none = ComputeBiomarkers({});
    EXPECT_TRUE(std::isnan(none.mean));
    EXPECT_TRUE(std::isnan(none.psdTotal));
    EXPECT_EQ(none.lzPhrases, 0);
    // A steady series: no spread to divide by, no fall to anchor on.
    const Biomarkers flat = ComputeBiomarkers(Repeated({{96, 600}}));
    EXPECT_DOUBLE_EQ(flat.sd, 0);
    EXPECT_TRUE(std::isnan(flat.kurtosis));
    EXPECT_TRUE(std::isnan(flat.prsaCapacity));
    EXPECT_TRUE(std::isnan(flat.psdRatio));
    EXPECT_DOUBLE_EQ(flat.ctm, 1);
    EXPECT_DOUBLE_EQ(flat.apen, 0);
}

TEST(Biomarkers, EntropiesOfShortSeriesByHand) {
    const struct {
        Series x;
        double apen;
        double sampen;
    } cases[] = {
        // Pairs 12 ×3, 21 ×2 of 5; triples 121 ×2, 212 ×2 of 4. B: the first
        // three triples have one other each (the last triple, 212, is left
        // out); A: 1212 ×2 and 2121 of the three of four.
        {{1, 2, 1, 2, 1, 2}, (3 * std::log(3 / 5.0) + 2 * std::log(2 / 5.0)) / 5 - std::log(0.5), -std::log(2 / 3.0)},
        // Every template alike: B = 2 × 2, A = 2 × 1.
        {{5, 5, 5, 5, 5}, 0, std::log(2.0)},
        // No two alike: phi(m) = ln(1 / (N-m+1)), and no sample entropy.
        {{1, 2, 3, 4, 5, 6}, std::log(4 / 5.0), NAN},
        {{1, 2, 3}, -std::log(2.0), NAN},
        {{1, 2}, NAN, NAN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.x));
        const Entropies e = ComputeEntropies(c.x);
        if (std::isnan(c.apen)) {
            EXPECT_TRUE(std::isnan(e.apen));
        } else {
            EXPECT_NEAR(e.apen, c.apen, 1e-12);
        }
        if (std::isnan(c.sampen)) {
            EXPECT_TRUE(std::isnan(e.sampen));
        } else {
            EXPECT_NEAR(e.sampen, c.sampen, 1e-12);
        }
    }
}

// The entropies as defined, comparing every template with every other.
Entropies QuadraticEntropies(const Series& x) {
    const auto same = [&](std::size_t i, std::size_t j, std::size_t m) {
        for (std::size_t k = 0; k < m; ++k)
            if (x[i + k] != x[j + k]) return false;
        return true;
    };
    const std::size_t n = x.size();
    const auto phi = [&](std::size_t m) {
        const std::size_t count = n - m + 1;
        double sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            double alike = 0;
            for (std::size_t j = 0; j < count; ++j) alike += same(i, j, m) ? 1 : 0;
            sum += std::log(alike / static_cast<double>(count));
        }
        return sum / static_cast<double>(count);
    };
    double a = 0, b = 0;
    for (std::size_t i = 0; i < n - 3; ++i) {
        for (std::size_t j = 0; j < n - 2; ++j) b += j != i && same(i, j, 3) ? 1 : 0;
        for (std::size_t j = 0; j < n - 3; ++j) a += j != i && same(i, j, 4) ? 1 : 0;
    }
    return {phi(2) - phi(3), -std::log(a / b)};
}

TEST(Biomarkers, EntropiesMatchTheQuadraticDefinition) {
    // Few values make many alike templates; many values grow the table.
    for (const auto& [n, high] : {std::pair{400, 2}, {1500, 4}, {3000, 12}}) {
        SCOPED_TRACE(high);
        const Series x = Random(static_cast<std::size_t>(n), 1, high, static_cast<unsigned>(n + high));
        const Entropies want = QuadraticEntropies(x);
        const Entropies got = ComputeEntropies(x);
        EXPECT_NEAR(got.apen, want.apen, 1e-9);
        EXPECT_NEAR(got.sampen, want.sampen, 1e-9);
    }
}

TEST(Biomarkers, LempelZivPhrases) {
    const auto bits = [](const char* text) {
        Series x;
        for (const char* c = text; *c != 0; ++c) x.push_back(*c == '1' ? 97 : 96);
        return x;
    };
    // 0|1|00|11|01|000: six phrases; 0|1|00|11|01|00: the last one is an
    // earlier phrase and does not count.
    EXPECT_EQ(LempelZivPhrases(bits("01001101000"), 96.5), 6);
    EXPECT_EQ(LempelZivPhrases(bits("0100110100"), 96.5), 5);
    // A value at the median is not above it: all zeros, 0|00|000|0 → 3.
    EXPECT_EQ(LempelZivPhrases(bits("0000000"), 96), 3);
    EXPECT_EQ(LempelZivPhrases(bits("1111111"), 96), 3);
    // Past 917,505 values the trie's nodes take 32 bits: the same phrases.
    const Series noise = Random(917'506, 95, 96, 5);
    EXPECT_LE(LempelZivPhrases(noise, 95.5) - LempelZivPhrases(std::span(noise).first(noise.size() - 1), 95.5), 1);
    EXPECT_GE(LempelZivPhrases(noise, 95.5), LempelZivPhrases(std::span(noise).first(noise.size() - 1), 95.5));
    const Biomarkers b = ComputeBiomarkers(bits("0100110100"));  // median 96: bits as written
    EXPECT_EQ(b.lzPhrases, 5);
    EXPECT_DOUBLE_EQ(b.lzNormalised, 5 * std::log2(10.0) / 10);
}

TEST(Biomarkers, CentralTendencyCountsStillTriples) {
    // (96 96 96) and (97 97 97) of five triples; a step of 1 is far outside 0.25.
    EXPECT_DOUBLE_EQ(CentralTendency(Series{96, 96, 96, 97, 97, 97, 96}), 2 / 5.0);
    EXPECT_TRUE(std::isnan(CentralTendency(Series{96, 96})));
}

// F(n) as defined: y in full, a least-squares line per box.
double QuadraticFluctuation(const Series& x, int size) {
    const auto n = static_cast<int>(x.size());
    double mean = 0;
    for (const auto v : x) mean += v;
    mean /= n;
    std::vector<double> y;
    for (int k = 0; k + 1 < n; ++k) y.push_back((y.empty() ? 0 : y.back()) + (x[k] - mean + x[k + 1] - mean) / 2);
    double squares = 0;
    for (std::size_t first = 0; first < y.size(); first += static_cast<std::size_t>(size)) {
        const std::size_t count = std::min(y.size() - first, static_cast<std::size_t>(size));
        double t = 0, v = 0;
        for (std::size_t k = 0; k < count; ++k) t += static_cast<double>(k), v += y[first + k];
        t /= static_cast<double>(count), v /= static_cast<double>(count);
        double tt = 0, tv = 0;
        for (std::size_t k = 0; k < count; ++k) tt += (k - t) * (k - t), tv += (k - t) * (y[first + k] - v);
        const double slope = tt > 0 ? tv / tt : 0;
        for (std::size_t k = 0; k < count; ++k) squares += std::pow(y[first + k] - v - slope * (k - t), 2);
    }
    return std::sqrt(squares / static_cast<double>(y.size()));
}

TEST(Biomarkers, DetrendedFluctuation) {
    // Mean 4/3; y = -1/3, 1/3, 1, 2/3, 1/3. Boxes of 4: the first four leave
    // 0.3 about their line, the fifth value is its own fit; the box of 20
    // holds all five and leaves 0.7.
    const Dfa small = DfaFluctuations(Series{1, 1, 3, 1, 1, 1});
    EXPECT_NEAR(small.f[0], std::sqrt(0.3 / 5), 1e-12);
    EXPECT_NEAR(small.f20, std::sqrt(0.7 / 5), 1e-12);
    // Whole chunks, a partial one and a last box of one value, over a night
    // that wanders far from its mean.
    for (const std::size_t n : {650u, 961u, 2000u}) {
        SCOPED_TRACE(n);
        Series x = Random(n, 85, 99, static_cast<unsigned>(n));
        for (std::size_t i = 0; i < n / 2; ++i) x[i] = static_cast<std::uint8_t>(x[i] - 10);
        const Dfa got = DfaFluctuations(x);
        for (std::size_t s = 0; s < kDfaSizes.size(); ++s)
            EXPECT_NEAR(got.f[s], QuadraticFluctuation(x, kDfaSizes[s]), 1e-9) << kDfaSizes[s];
        EXPECT_NEAR(got.f20, QuadraticFluctuation(x, 20), 1e-9);
    }
    // Alpha is the slope through (ln n, ln F(n)) for n = 4..64, without 20:
    // here F(n) of each n as the quadratic code has it.
    const Series x = Random(3000, 85, 99, 3);
    double meanX = 0, meanY = 0, sxy = 0, sxx = 0;
    for (const int n : {4, 8, 16, 32, 64}) meanX += std::log(n) / 5, meanY += std::log(QuadraticFluctuation(x, n)) / 5;
    for (const int n : {4, 8, 16, 32, 64}) {
        sxy += (std::log(n) - meanX) * (std::log(QuadraticFluctuation(x, n)) - meanY);
        sxx += (std::log(n) - meanX) * (std::log(n) - meanX);
    }
    EXPECT_NEAR(ComputeBiomarkers(x).dfaAlpha, sxy / sxx, 1e-9);
}

TEST(Biomarkers, PrsaAnchorsAndWindow) {
    // One fall, at sample 15 of 30: the window is x[5..24], 94 at its 10th.
    Series x = Repeated({{96, 30}});
    x[15] = 94;
    const Biomarkers b = ComputeBiomarkers(x);
    EXPECT_DOUBLE_EQ(b.prsaCapacity, (94 + 96 - 96 - 96) / 4.0);
    EXPECT_DOUBLE_EQ(b.prsaAmplitude, 2);
    EXPECT_NEAR(b.prsaSlope, -1 / 665.0, 1e-12);  // Σ (k - 9.5)² = 665
    EXPECT_NEAR(b.prsaSlopeBefore, 0, 1e-12);
    EXPECT_NEAR(b.prsaSlopeAfter, 2 * 4.5 / 82.5, 1e-12);    // the dip at k = 10, 4.5 before the centre
    EXPECT_DOUBLE_EQ(b.prsaAc2, 18 * 96 * 96 - 2 * 96 * 2);  // the lag of 2 it is named for
    // Anchors from d to N - d, both included.
    for (const auto& [fall, anchors] : {std::pair{9, 0}, {10, 1}, {20, 1}, {21, 0}}) {
        Series y = Repeated({{96, 30}});
        y[static_cast<std::size_t>(fall)] = 94;
        EXPECT_EQ(PrsaWindow(y).anchors, anchors) << fall;
    }
}

// Welch's density as defined, each segment's DFT summed term by term.
std::vector<double> QuadraticWelch(const Series& x) {
    const std::size_t m = kWelchSegment;
    std::vector<double> density(m / 2 + 1, 0.0);
    double power = 0;
    std::vector<double> w(m);
    for (std::size_t j = 0; j < m; ++j) {
        w[j] = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * static_cast<double>(j) / m);
        power += w[j] * w[j];
    }
    std::size_t segments = 0;
    for (std::size_t first = 0; first + m <= x.size(); first += m / 2, ++segments) {
        double mean = 0;
        for (std::size_t j = 0; j < m; ++j) mean += x[first + j];
        mean /= m;
        for (std::size_t k = 0; k < density.size(); ++k) {
            double re = 0, im = 0;
            for (std::size_t j = 0; j < m; ++j) {
                const double angle = 2 * std::numbers::pi * static_cast<double>(k * j) / m;
                re += (x[first + j] - mean) * w[j] * std::cos(angle);
                im -= (x[first + j] - mean) * w[j] * std::sin(angle);
            }
            density[k] += (re * re + im * im) * (k == 0 || k == m / 2 ? 1 : 2) / power;
        }
    }
    for (double& d : density) d /= static_cast<double>(segments);
    return density;
}

TEST(Biomarkers, WelchMatchesTheDefinition) {
    EXPECT_TRUE(WelchDensity(Random(255, 90, 99, 1)).empty());
    // An odd and an even number of segments: they go through the transform in pairs.
    for (const std::size_t n : {256u, 700u, 1000u}) {
        SCOPED_TRACE(n);
        const Series x = Random(n, 88, 99, static_cast<unsigned>(n));
        const std::vector<double> want = QuadraticWelch(x);
        const std::vector<double> got = WelchDensity(x);
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(got[k], want[k], 1e-9 * (1 + want[k])) << k;
    }
}

Series Sine(std::size_t n, double amplitude, double period) {
    Series x(n);
    for (std::size_t j = 0; j < n; ++j)
        x[j] = static_cast<std::uint8_t>(
            std::lround(94 + amplitude * std::sin(2 * std::numbers::pi * static_cast<double>(j) / period)));
    return x;
}

TEST(Biomarkers, SpectrumOfASineAtOneCyclePerMinute) {
    // 1/60 Hz lies in the band (0.014-0.033 Hz), 4.27 bins of 1/256 Hz up:
    // the window spreads it over bins 3..6, of which 4..8 are the band's. The
    // power is the sine's, 4²/2, and the rounding's, about 1/12. (The
    // definition summed term by term gives 8.1571, 0.94782 and 1352.21.)
    const Biomarkers b = ComputeBiomarkers(Sine(3600, 4, 60));
    EXPECT_NEAR(b.psdTotal, 8.1571, 1e-4);
    EXPECT_NEAR(b.psdBand, 8.1571 * 0.94782, 1e-3);
    EXPECT_NEAR(b.psdRatio, 0.94782, 1e-5);
    EXPECT_NEAR(b.psdPeak, 1352.21, 1e-2);
    const std::vector<double> density = WelchDensity(Sine(3600, 4, 60));
    EXPECT_EQ(std::max_element(density.begin(), density.end()) - density.begin(), 4);
    // Every 20 s is 0.05 Hz: outside the band.
    EXPECT_LT(ComputeBiomarkers(Sine(3600, 4, 20)).psdRatio, 0.01);
}

TEST(Biomarkers, SpectrumIsTheSameForANightTiledTwice) {
    // A period of 64 s: every segment of the night, and of it twice over, is
    // the same, so the density may not change; a sum over the segments would
    // double it, a division by the length would halve it.
    const Series night = Sine(1280, 3, 64);
    Series twice = night;
    twice.insert(twice.end(), night.begin(), night.end());
    const Biomarkers once = ComputeBiomarkers(night);
    const Biomarkers again = ComputeBiomarkers(twice);
    EXPECT_NEAR(again.psdTotal, once.psdTotal, 1e-9 * once.psdTotal);
    EXPECT_NEAR(again.psdBand, once.psdBand, 1e-9 * once.psdTotal);
    EXPECT_NEAR(again.psdPeak, once.psdPeak, 1e-9 * once.psdPeak);
}

}  // namespace
}  // namespace quenda
