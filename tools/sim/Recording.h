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
    int samples = 0;  // one per second, 1..kMaxSamples; with `nights`, all of theirs
    // 0: one recording of `samples` without a break. N: N nights on N
    // consecutive days, never erased in between, as NightStretches lays them
    // out (make such a plan with NightsPlan, which fills in `samples`).
    int nights = 0;
};

// One stretch the recorder ran without a break: from `offset` seconds after
// the ID's first sample, `samples` long, in night `night` (0 the first), whose
// sleeper's desaturations come `severity` times as often as on a usual night.
struct Stretch {
    std::int64_t offset = 0;
    int samples = 0;
    int night = 0;
    double severity = 1;
};

// `nights` nights of one sleeper, as a recorder lent out for a while and never
// erased holds them: each starts within 45 minutes before to 75 minutes after
// the first night's time of day, lasts 6 to 8.5 hours, and has its own
// severity (1.2 to 3.4 times the usual desaturations; from four nights on, the
// second half of the nights are treated ones, 0.3 to 0.8); a day without
// recording lies between them. From three nights on, the middle night is
// broken by the recorder switched off for 65 to 80 minutes after 2.5 to 4
// hours: longer than the night rule's longest step, so it becomes two nights
// of one date. The same (id, nights) always gives the same layout.
std::vector<Stretch> NightStretches(int id, int nights);
IdPlan NightsPlan(int id, int nights);

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
// the first such day after the previous ID's recording has ended. An ID of
// several nights holds its NightStretches, each night a signal of its own.
std::map<int, std::vector<SampleRecord>> GenerateRecordings(const std::vector<IdPlan>& plans, const DateTime& start,
                                                            std::uint64_t seed);

}  // namespace quenda::sim
