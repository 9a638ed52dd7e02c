#pragma once

#include "nights/Night.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quenda {

// A night broken by the recorder switched off for a while (a flat battery, a
// probe taken off and put back) comes into the library as two nights of one
// ID, close together. Counted as two, each half may stay under a cut-off the
// whole night passes, so the Nights window marks such pairs and offers to
// merge them (NightLibrary::Merge).
//
// Two nights of one ID are suspected to be one when the later starts less
// than kBrokenNightStartsWithin after the earlier, and the seconds between
// them without a sample (the end of the earlier to the start of the later)
// are fewer than kBrokenNightGapUnder. Nights that overlap are not.
inline constexpr std::int64_t kBrokenNightStartsWithin = 12 * 3600;
inline constexpr std::int64_t kBrokenNightGapUnder = 2 * 3600;

struct BrokenNight {
    NightNumber first = 0;   // the earlier
    NightNumber second = 0;  // the later
    int id = 0;
    std::int64_t gapSeconds = 0;  // seconds between them without a sample
    bool operator==(const BrokenNight&) const = default;
};

// The suspected pairs among `rows` (in any order; their listed, shifted
// times), in order of the earlier night's start. A night may be in two pairs
// (a night broken twice).
std::vector<BrokenNight> SuspectedBrokenNights(std::span<const NightRow> rows);

}  // namespace quenda
