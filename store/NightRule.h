#pragma once

#include "store/SampleRecord.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// The night rule: how one ID's samples, in stored order, fall into nights.
// It lives beside the samples (not with the library of nights) because the
// EDF+ writer must cut its files at the same places.
//
// - Sample 0 starts a night. A later sample whose time stamp is 1 to
//   kMaxNightStep seconds after the previous sample's stays in that night;
//   any other step (longer, backwards or 0 s) starts a new one.
// - A sample whose date or time is impossible (month 0 or 13, 31 April,
//   hour 24, ...) belongs to no night and ends the night it falls in.
// - Seconds inside a night without a sample are gaps.
// - A night's date is that of its first sample when it is at 12:00:00 or
//   later, else the day before.
inline constexpr std::int64_t kMaxNightStep = 3600;

// A sample's time stamp as seconds since 2000-01-01 00:00:00 of the
// recorder's own clock (local time, no zone, no daylight saving); nothing
// when the date or time is impossible.
std::optional<std::int64_t> SampleSeconds(const SampleRecord& r);

// The calendar back from SampleSeconds: "YYYY-MM-DD", and "YYYY-MM-DDTHH:MM:SS".
std::string DateText(std::int64_t seconds);
std::string IsoLocalTime(std::int64_t seconds);
// "YYYY-MM-DD HH:MM:SS", as a dialog shows a time to a person.
std::string LocalTimeText(std::int64_t seconds);

// Sets the sample's date and time to `seconds` (as SampleSeconds counts
// them); false, the sample unchanged, for a second a sample cannot hold
// (before 2000 or after 2127).
bool SetSampleSeconds(SampleRecord& r, std::int64_t seconds);

// One night: indexes into the samples the rule was applied to, both ends
// included, and its seconds.
struct NightSpan {
    std::int32_t first = 0;
    std::int32_t last = 0;
    std::int64_t start = 0;  // SampleSeconds of sample `first`
    std::int64_t end = 0;    // SampleSeconds of sample `last`
    std::int32_t Samples() const { return last - first + 1; }
    // Seconds from start to end, both included, that hold no sample.
    std::int64_t GapSeconds() const { return end - start + 1 - Samples(); }
    // Seconds since 2000-01-01 of the night's date (the day it belongs to).
    std::int64_t DateSeconds() const;

    bool operator==(const NightSpan&) const = default;
};

struct RecordingNights {
    std::vector<NightSpan> nights;  // in stored order
    std::int32_t leftOut = 0;       // samples with an impossible date or time
};

// Linear in the number of samples.
RecordingNights ApplyNightRule(std::span<const SampleRecord> samples);

}  // namespace quenda
