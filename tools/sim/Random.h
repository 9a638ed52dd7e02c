#pragma once

#include <cstdint>

namespace quenda::sim {

// A small generator with a fixed algorithm (SplitMix64), so a seed gives the
// same recording with every compiler and standard library; the <random>
// distributions are free to differ between implementations.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Real(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    // Uniform in [lo, hi], both included; the tiny modulo bias does not matter here.
    int Between(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
    bool Chance(double p) { return Unit() < p; }

private:
    std::uint64_t state_;
};

}  // namespace quenda::sim
