#include "nights/BrokenNight.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace quenda {

std::vector<BrokenNight> SuspectedBrokenNights(std::span<const NightRow> rows) {
    std::vector<const NightRow*> order;
    order.reserve(rows.size());
    for (const NightRow& row : rows) order.push_back(&row);
    std::sort(order.begin(), order.end(), [](const NightRow* a, const NightRow* b) {
        return std::tie(a->id, a->start, a->night) < std::tie(b->id, b->start, b->night);
    });
    std::vector<std::pair<std::int64_t, BrokenNight>> found;  // by the earlier's start
    for (std::size_t i = 1; i < order.size(); ++i) {
        const NightRow& a = *order[i - 1];
        const NightRow& b = *order[i];
        if (a.id != b.id || b.start <= a.end) continue;
        const std::int64_t gap = b.start - a.end - 1;
        if (b.start - a.start < kBrokenNightStartsWithin && gap < kBrokenNightGapUnder)
            found.push_back({a.start, {a.night, b.night, a.id, gap}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<BrokenNight> pairs;
    for (const auto& [start, pair] : found) pairs.push_back(pair);
    return pairs;
}

}  // namespace quenda
