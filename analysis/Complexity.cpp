// The complexity measures of Biomarkers.h, each in linear time.
#include "analysis/Biomarkers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace quenda {

namespace {

// How many times each template occurs, its values packed first-highest into
// 32 bits (at most four bytes). Open addressing; the table doubles at half
// full, so it stays the size of the templates a night holds, which is small:
// SpO2 moves little from one second to the next.
class TemplateTable {
public:
    TemplateTable() { slots_.resize(kFirstSize); }

    // Adds n occurrences of `key`.
    void Add(std::uint32_t key, std::uint32_t n = 1) {
        Slot& slot = slots_[Find(key)];
        if (slot.count == 0) [[unlikely]] {
            Insert(key, n);
            return;
        }
        slot.count += n;
    }

    std::uint32_t Count(std::uint32_t key) const { return slots_[Find(key)].count; }

    // f(key, count) for every template there is.
    template <class F>
    void ForEach(F&& f) const {
        for (const Slot& s : slots_)
            if (s.count > 0) f(s.key, s.count);
    }

private:
    struct Slot {
        std::uint32_t key = 0;
        std::uint32_t count = 0;  // 0: empty
    };
    static constexpr std::size_t kFirstSize = 64;

    std::size_t Find(std::uint32_t key) const {
        // Fibonacci hashing: the multiplication spreads the packed bytes.
        std::size_t at = static_cast<std::size_t>((std::uint64_t{key} * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
        while (slots_[at].count != 0 && slots_[at].key != key) at = (at + 1) & mask_;
        return at;
    }

    // Kept out of Add, so that Add stays small enough to be inlined into the
    // loop over every template.
    [[gnu::noinline]] void Insert(std::uint32_t key, std::uint32_t n) {
        if (2 * (used_ + 1) > slots_.size()) Grow();
        Slot& slot = slots_[Find(key)];
        slot.key = key;
        slot.count = n;
        ++used_;
    }

    void Grow() {
        std::vector<Slot> old(slots_.size() * 2);
        old.swap(slots_);
        mask_ = slots_.size() - 1;
        for (const Slot& s : old)
            if (s.count > 0) slots_[Find(s.key)] = s;
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = kFirstSize - 1;
    std::size_t used_ = 0;
};

std::uint32_t Packed(std::span<const std::uint8_t> x, std::size_t at, int length) {
    std::uint32_t key = 0;
    for (int k = 0; k < length; ++k) key = key << 8 | x[at + static_cast<std::size_t>(k)];
    return key;
}

// Every template of four values: N - 3 of them.
void CountFours(std::span<const std::uint8_t> x, TemplateTable& fours) {
    std::uint32_t key = Packed(x, 0, 3);
    for (std::size_t i = 3; i < x.size(); ++i) {
        key = key << 8 | x[i];
        fours.Add(key);
    }
}

// Σ c·ln(c / templates) / templates over the templates' counts c.
double Phi(const TemplateTable& table, std::size_t templates) {
    const auto total = static_cast<double>(templates);
    double phi = 0;
    table.ForEach([&](std::uint32_t, std::uint32_t c) { phi += c * std::log(c / total); });
    return phi / total;
}

// Σ c·(c - 1): each template's identical others, over all of them.
double Pairs(const TemplateTable& table) {
    double pairs = 0;
    table.ForEach([&](std::uint32_t, std::uint32_t c) { pairs += static_cast<double>(c) * (c - 1.0); });
    return pairs;
}

// One fitted box of y for the detrended fluctuation: its count, the means of
// its positions and values, and the sums of their squared and crossed
// deviations. Two boxes side by side merge into the box that holds both
// (the pairwise update of the co-moments, which keeps its precision however
// far y has wandered), so the boxes of every size come from those of 4.
struct Box {
    double n = 0;
    double t = 0;
    double y = 0;
    double tt = 0;
    double yy = 0;
    double ty = 0;

    // The squared residuals of its least-squares line; a box of one value
    // is its own fit.
    double Residual() const { return tt > 0 ? std::max(0.0, yy - ty * ty / tt) : 0.0; }
};

Box Merge(const Box& a, const Box& b) {
    const double n = a.n + b.n;
    const double share = b.n / n;
    const double dt = b.t - a.t;
    const double dy = b.y - a.y;
    const double w = a.n * share;
    return {n,
            a.t + dt * share,
            a.y + dy * share,
            a.tt + b.tt + dt * dt * w,
            a.yy + b.yy + dy * dy * w,
            a.ty + b.ty + dt * dy * w};
}

// The box of values y[0..count-1] at positions first.. on.
Box BoxOf(const double* y, int count, double first) {
    Box box;
    box.n = count;
    box.t = first + (count - 1) / 2.0;
    double mean = 0;
    for (int k = 0; k < count; ++k) mean += y[k];
    mean /= count;
    box.y = mean;
    for (int k = 0; k < count; ++k) {
        const double dt = first + k - box.t;
        const double dy = y[k] - mean;
        box.tt += dt * dt;
        box.yy += dy * dy;
        box.ty += dt * dy;
    }
    return box;
}

// The residuals of a chunk of y (at most kDfaChunk values, its boxes aligned
// to the start of y) added per size into `sums`, whose fields hold the sums of
// squared residuals until they become fluctuations. Any chunk, so the last,
// which may be short.
void ChunkResiduals(const double* y, int count, Dfa& sums) {
    constexpr int kBase = kDfaSizes[0];
    std::array<Box, kDfaChunk / kBase> level;
    int boxes = (count + kBase - 1) / kBase;
    for (int j = 0; j < boxes; ++j)
        level[static_cast<std::size_t>(j)] = BoxOf(y + j * kBase, std::min(kBase, count - j * kBase), j * kBase);
    // Boxes of 20: runs of five of 4.
    for (int j = 0; j < boxes; j += kDfaBox / kBase) {
        Box box = level[static_cast<std::size_t>(j)];
        for (int k = j + 1; k < std::min(boxes, j + kDfaBox / kBase); ++k)
            box = Merge(box, level[static_cast<std::size_t>(k)]);
        sums.f20 += box.Residual();
    }
    // Each size twice the last: its boxes merge pairs of the last one's.
    for (std::size_t s = 0; s < kDfaSizes.size(); ++s) {
        if (s > 0) {
            for (int j = 0; 2 * j < boxes; ++j) {
                const auto pair = static_cast<std::size_t>(2 * j);
                level[static_cast<std::size_t>(j)] =
                    2 * j + 1 < boxes ? Merge(level[pair], level[pair + 1]) : level[pair];
            }
            boxes = (boxes + 1) / 2;
        }
        for (int j = 0; j < boxes; ++j) sums.f[s] += level[static_cast<std::size_t>(j)].Residual();
    }
}

// Σ (t - mean t)² over a box of `size` successive positions.
constexpr double PositionSquares(int size) { return size * (static_cast<double>(size) * size - 1) / 12; }

// A box of a size and place the caller knows: its mean and the sums of the
// squared and crossed deviations.
struct Moments {
    double y;
    double yy;
    double ty;
};

// ChunkResiduals for a whole chunk, every box full: the merges of equal
// neighbours and the least-squares divisions reduce to constants, which
// matters, as every value of the night passes here.
void FullChunkResiduals(const double* y, Dfa& sums) {
    constexpr int kBase = kDfaSizes[0];
    std::array<Moments, kDfaChunk / kBase> level;
    int boxes = kDfaChunk / kBase;
    double residuals = 0;
    for (int j = 0; j < boxes; ++j) {
        const double* v = y + j * kBase;
        const double mean = (v[0] + v[1] + v[2] + v[3]) * 0.25;
        const double d0 = v[0] - mean, d1 = v[1] - mean, d2 = v[2] - mean, d3 = v[3] - mean;
        // Positions -1.5, -0.5, 0.5 and 1.5 from the centre.
        const Moments m{mean, d0 * d0 + d1 * d1 + d2 * d2 + d3 * d3, 1.5 * (d3 - d0) + 0.5 * (d2 - d1)};
        level[static_cast<std::size_t>(j)] = m;
        residuals += m.yy - m.ty * m.ty * (1 / PositionSquares(kBase));
    }
    sums.f[0] += residuals;
    // Boxes of 20: a box of 4k values, then one of 4 whose centre lies 2k + 2
    // further on (Merge with those numbers).
    constexpr std::array<double, kDfaBox / kBase> kShares{1.0, 1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 5};
    residuals = 0;
    for (int j = 0; j < boxes; j += kDfaBox / kBase) {
        Moments a = level[static_cast<std::size_t>(j)];
        for (int k = 1; k < kDfaBox / kBase; ++k) {
            const Moments& b = level[static_cast<std::size_t>(j + k)];
            const double dy = b.y - a.y;
            const double share = kShares[static_cast<std::size_t>(k)];  // 1 / (k + 1)
            const double weight = kBase * k * share;
            a = {a.y + dy * share, a.yy + b.yy + dy * dy * weight, a.ty + b.ty + (2 * k + 2) * dy * weight};
        }
        residuals += a.yy - a.ty * a.ty * (1 / PositionSquares(kDfaBox));
    }
    sums.f20 += residuals;
    // Two neighbours of `size` values: their centres lie `size` apart.
    for (std::size_t s = 1; s < kDfaSizes.size(); ++s) {
        const double size = kDfaSizes[s - 1];
        const double inverse = 1 / PositionSquares(kDfaSizes[s]);
        boxes /= 2;
        residuals = 0;
        for (int j = 0; j < boxes; ++j) {
            const Moments& a = level[static_cast<std::size_t>(2 * j)];
            const Moments& b = level[static_cast<std::size_t>(2 * j + 1)];
            const double dy = b.y - a.y;
            const Moments m{(a.y + b.y) * 0.5, a.yy + b.yy + dy * dy * size * 0.5,
                            a.ty + b.ty + dy * size * size * 0.5};
            level[static_cast<std::size_t>(j)] = m;
            residuals += m.yy - m.ty * m.ty * inverse;
        }
        sums.f[s] += residuals;
    }
}

// The phrases of the bits x > threshold, kept as a binary trie: a phrase is
// a walk from the root that steps off the trie, and its last step becomes a
// new node. Node 0 is the root, which is no node's child, so a child of 0 is
// none.
template <class Node>
std::int64_t Phrases(std::span<const std::uint8_t> x, int threshold) {
    std::vector<std::array<Node, 2>> trie(1, {0, 0});
    trie.reserve(std::min<std::size_t>(x.size() + 1, 1 << 16));
    std::size_t node = 0;
    std::int64_t phrases = 0;
    for (const std::uint8_t v : x) {
        const std::size_t bit = v > threshold ? 1 : 0;
        const std::size_t child = trie[node][bit];
        if (child != 0) {
            node = child;
            continue;
        }
        trie[node][bit] = static_cast<Node>(trie.size());
        trie.push_back({0, 0});
        ++phrases;
        node = 0;
    }
    return phrases;
}

}  // namespace

Entropies ComputeEntropies(std::span<const std::uint8_t> x) {
    Entropies e;
    const std::size_t n = x.size();
    if (n < 3) return e;
    // The templates of three values are the first three of those of four,
    // and the last one, which has no fourth; those of two likewise.
    TemplateTable fours, threes, twos;
    if (n >= 4) CountFours(x, fours);
    fours.ForEach([&](std::uint32_t key, std::uint32_t c) { threes.Add(key >> 8, c); });
    const std::uint32_t lastThree = Packed(x, n - 3, 3);
    threes.Add(lastThree);
    threes.ForEach([&](std::uint32_t key, std::uint32_t c) { twos.Add(key >> 8, c); });
    twos.Add(Packed(x, n - 2, 2));
    e.apen = Phi(twos, n - 1) - Phi(threes, n - 2);
    if (n < 4) return e;
    // B leaves out the last template of three, which has no template of four
    // to compare in A: its identical others are taken off.
    const double b = Pairs(threes) - (threes.Count(lastThree) - 1.0);
    const double a = Pairs(fours);
    if (a > 0 && b > 0) e.sampen = -std::log(a / b);
    return e;
}

std::int64_t LempelZivPhrases(std::span<const std::uint8_t> x, double median) {
    // The values are whole numbers: above the median is above its whole part.
    const int threshold = static_cast<int>(std::floor(median));
    // 65,534 distinct phrases are at least the binary strings of up to 15 bits,
    // Σ l·2^l = 917,506 bits: a shorter series makes fewer, whose nodes are
    // numbered in 16 bits, which halves the trie read on every bit.
    constexpr std::size_t kSixteenBitSeries = 917'506;
    return x.size() < kSixteenBitSeries ? Phrases<std::uint16_t>(x, threshold) : Phrases<std::uint32_t>(x, threshold);
}

double CentralTendency(std::span<const std::uint8_t> x) {
    const std::size_t n = x.size();
    if (n < 3) return kNoFigure;
    // Whole numbers lie within a radius under 1 of each other only when
    // equal: the point of two successive differences is inside the circle
    // when both are 0.
    static_assert(kCtmRadius > 0 && kCtmRadius <= 1);
    std::int64_t within = 0;
    bool still = x[1] == x[0];
    for (std::size_t i = 2; i < n; ++i) {
        const bool next = x[i] == x[i - 1];
        within += still && next ? 1 : 0;
        still = next;
    }
    return static_cast<double>(within) / static_cast<double>(n - 2);
}

Dfa DfaFluctuations(std::span<const std::uint8_t> x) {
    std::int64_t sum = 0;
    for (const std::uint8_t v : x) sum += v;
    return DfaFluctuations(x, sum);
}

Dfa DfaFluctuations(std::span<const std::uint8_t> x, std::int64_t sum) {
    Dfa f;
    const auto n = static_cast<std::int64_t>(x.size());
    if (n < 2) {
        f.f.fill(kNoFigure);
        f.f20 = kNoFigure;
        return f;
    }
    // y[k] = Σ (x[j] - mean + x[j+1] - mean) / 2 for j <= k; times 2n it is
    // the whole number Σ (n·x[j] - sum + n·x[j+1] - sum), summed exactly.
    std::array<double, kDfaChunk> chunk;
    const double scale = 1.0 / (2.0 * static_cast<double>(n));
    std::int64_t y2n = 0;
    int filled = 0;
    for (std::int64_t j = 0; j + 1 < n; ++j) {
        y2n += n * x[static_cast<std::size_t>(j)] - sum + n * x[static_cast<std::size_t>(j + 1)] - sum;
        chunk[static_cast<std::size_t>(filled++)] = static_cast<double>(y2n) * scale;
        if (filled == kDfaChunk) {
            FullChunkResiduals(chunk.data(), f);
            filled = 0;
        }
    }
    if (filled > 0) ChunkResiduals(chunk.data(), filled, f);
    const auto values = static_cast<double>(n - 1);
    // A fit that is exact leaves rounding, which may fall either side of 0.
    for (double& s : f.f) s = std::sqrt(std::max(0.0, s / values));
    f.f20 = std::sqrt(std::max(0.0, f.f20 / values));
    return f;
}

}  // namespace quenda
