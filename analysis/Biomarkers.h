#pragma once

#include "analysis/NoFigure.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// The SpO2 measures of the oximetry research toolboxes, over the counted SpO2
// samples of a night taken as one series x[0..N-1] in time order: what the
// profile sets aside and the seconds without a sample are left out, as those
// toolboxes leave out missing values. They follow the toolboxes' definitions
// where those are sound, so their users get the same numbers, and mend them
// where they are not: the autocorrelation is taken at the lag of 2 it is
// named for, and the spectrum is a density, the same for a night and for that
// night twice over.
//
// A figure with nothing to rest on is kNoFigure; counts are then 0.
//
// Source of the set as a whole: Levy J et al., "Digital oximetry biomarkers
// for assessing respiratory function: standards of measurement, physiological
// interpretation, and clinical use", npj Digital Medicine 4:1 (2021); each
// measure below names the paper its definition comes from.

struct Biomarkers {
    // General, over the values as a set (percent unless named otherwise).
    double mean = kNoFigure;
    double median = kNoFigure;  // an even count: the mean of the two middle values
    std::int32_t min = 0;
    double sd = kNoFigure;           // population
    std::int32_t range = 0;          // max - min
    // 1st percentile, linear between the closest ranks: type 7 of Hyndman RJ &
    // Fan Y, Am Stat 50:361 (1996).
    double p1 = kNoFigure;
    double m = kNoFigure;            // % of the samples below median - 2
    std::int64_t meanCrossings = 0;  // successive samples on opposite sides of the mean
    // Pépin JL et al., Chest 99:1151 (1991): mean |difference| of successive 12-s means.
    double deltaIndex = kNoFigure;
    double kurtosis = kNoFigure;     // excess: m4 / m2² - 3
    double skewness = kNoFigure;     // m3 / m2^1.5
    double mad = kNoFigure;          // median of |x - median| (Hampel, JASA 69:383, 1974)

    // Complexity.
    double apen = kNoFigure;          // approximate entropy, m = 2 (Entropies)
    double sampen = kNoFigure;        // sample entropy, m = 3 (Entropies)
    std::int64_t lzPhrases = 0;       // Lempel-Ziv phrases of x > median (LempelZivPhrases)
    double lzNormalised = kNoFigure;  // phrases × log2(N) / N
    double ctm = kNoFigure;           // central tendency measure, radius 0.25, a share 0..1 (CentralTendency)
    double dfaF20 = kNoFigure;        // detrended fluctuation at boxes of 20 s (DfaFluctuations)
    double dfaAlpha = kNoFigure;      // its scaling exponent over boxes of 4..64 s

    // Periodicity: PrsaWindow and WelchDensity.
    double prsaCapacity = kNoFigure;     // %
    double prsaAmplitude = kNoFigure;    // %
    double prsaSlope = kNoFigure;        // %/s
    double prsaSlopeBefore = kNoFigure;  // %/s
    double prsaSlopeAfter = kNoFigure;   // %/s
    double prsaAc2 = kNoFigure;          // %²
    double psdTotal = kNoFigure;         // power 0..0.5 Hz, %²
    double psdBand = kNoFigure;          // power 0.014..0.033 Hz, %²
    double psdRatio = kNoFigure;         // band / total
    double psdPeak = kNoFigure;          // the band's highest density, %²/Hz
};

// Every measure of `spo2` (the counted SpO2 values, oldest first).
Biomarkers ComputeBiomarkers(std::span<const std::uint8_t> spo2);

// The parts, each over the same series, for the tests and for whoever needs
// one alone.

// Approximate entropy: Pincus SM, PNAS 88:2297 (1991), m = 2 and a tolerance
// r under 1 point. Sample entropy: Richman JS & Moorman JR, Am J Physiol Heart
// Circ Physiol 278:H2039 (2000), template length m = 3 and the same tolerance,
// self-matches left out.
// The entropies, from one count of the templates of four values. The values
// are whole numbers and the toolboxes' radius is under 1, so "within the
// radius" is "identical".
struct Entropies {
    // Approximate entropy with m = 2: phi(2) - phi(3), where phi(m) is the
    // mean over the N-m+1 templates of m values of ln(identical templates,
    // itself included, / (N-m+1)). kNoFigure for N < 3.
    double apen = kNoFigure;
    // Sample entropy with m = 3: -ln(A / B), B the identical others of each
    // of the first N-m templates of m values among all N-m+1, A those of each
    // of the N-m templates of m+1 values among them. kNoFigure when either is 0.
    double sampen = kNoFigure;
};
Entropies ComputeEntropies(std::span<const std::uint8_t> x);

// Lempel A & Ziv J, IEEE Trans Inf Theory 24:530 (1978), the LZ78 parse; the
// normalisation by N / log2(N) of Lempel & Ziv, IEEE Trans Inf Theory 22:75 (1976).
// Phrases of the LZ78 parse of the bits (x > median): from the left, each
// phrase is the shortest run starting there that is not an earlier phrase; a
// last phrase that is one is not counted.
std::int64_t LempelZivPhrases(std::span<const std::uint8_t> x, double median);

// Cohen ME, Hudson DL & Deedwania PC, IEEE Eng Med Biol Mag 15(5):97 (1996),
// the second-order difference plot; radius 0.25 as Álvarez D et al. took it
// for SpO2, Physiol Meas 27:399 (2006).
// The central tendency measure: the share of i in 0..N-3 with
// √((x[i+2] - x[i+1])² + (x[i+1] - x[i])²) < kCtmRadius; kNoFigure for N < 3.
inline constexpr double kCtmRadius = 0.25;
double CentralTendency(std::span<const std::uint8_t> x);

// Peng C-K, Havlin S, Stanley HE & Goldberger AL, Chaos 5:82 (1995): linear
// detrending per box, α the slope of ln F(n) against ln n.
// Detrended fluctuation F(n): y is the trapezoidal cumulative sum of
// x - mean (N-1 values), cut into boxes of n from its start (the last one
// shorter); each box is fitted by a least-squares line, and F(n) is the root
// of the mean squared residual over all of y. kNoFigure for N < 2.
inline constexpr std::array<int, 5> kDfaSizes{4, 8, 16, 32, 64};  // each twice the last
inline constexpr int kDfaBox = 20;
inline constexpr int kDfaChunk = 320;  // a multiple of every size: no box crosses a chunk
struct Dfa {
    std::array<double, kDfaSizes.size()> f{};  // F(n) for kDfaSizes, for the scaling exponent
    double f20 = 0;                            // F(20)
};
// `sum`: Σ x, which a caller that has it need not have summed again.
Dfa DfaFluctuations(std::span<const std::uint8_t> x, std::int64_t sum);
Dfa DfaFluctuations(std::span<const std::uint8_t> x);

// Bauer A, Kantelhardt JW et al., Physica A 364:423 (2006), anchors at
// decreases; the capacity (W[d] + W[d+1] - W[d-1] - W[d-2]) / 4 of Bauer A et
// al., Lancet 367:1674 (2006), with d = 10 s here.
// Phase-rectified signal averaging with windows of 2d samples around the
// anchors (samples lower than the one before, d <= i <= N-d).
inline constexpr int kPrsaHalfWindow = 10;
struct Prsa {
    std::int64_t anchors = 0;
    std::array<double, 2 * kPrsaHalfWindow> window{};  // W[0..2d-1]; valid with anchors
};
Prsa PrsaWindow(std::span<const std::uint8_t> x);

// Welch PD, IEEE Trans Audio Electroacoust 15:70 (1967); the band of cyclic
// desaturation, 0.014-0.033 Hz, of Zamarrón C et al., Chest 123:1567 (2003).
// Welch's averaged periodogram: Hamming windows (the periodic form) of 256
// samples every 128, each segment's mean removed, one-sided and scaled as a
// density per Hz at one sample a second. Empty when N < 256.
inline constexpr int kWelchSegment = 256;
std::vector<double> WelchDensity(std::span<const std::uint8_t> x);

}  // namespace quenda
