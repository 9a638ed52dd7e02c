#pragma once

#include "store/SampleRecord.h"
#include "tools/sim/DateTime.h"

#include <cstdint>
#include <map>
#include <vector>

namespace quenda::sim {

// How much one user ID has recorded.
struct IdPlan {
    int id = 1;       // 1..127
    int samples = 0;  // one per second, 1..kMaxSamples
};

// One night of a sleeping adult, one sample per second from `start`, oldest
// first: SpO2 on a slowly wandering baseline of 94..98 % with desaturation dips
// (a fall of 4..15 % over 10..60 s, a short nadir, then recovery, sometimes in
// clusters), pulse 50..110 bpm with arousal rises after dips and occasional
// slow falls and rises, and a small auxValue. The same (id, seed) always gives
// the same samples.
std::vector<SampleRecord> GenerateRecording(int id, int count, const DateTime& start, std::uint64_t seed);

// Recordings of several IDs as one recorder would hold them, oldest first per
// ID. The recorder records one person at a time, so IDs in ascending order
// record on consecutive nights: each starts at the time of day of `start`, on
// the first such day after the previous ID's recording has ended.
std::map<int, std::vector<SampleRecord>> GenerateRecordings(const std::vector<IdPlan>& plans, const DateTime& start,
                                                            std::uint64_t seed);

}  // namespace quenda::sim
