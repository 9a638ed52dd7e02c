#pragma once

#include "store/SampleRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenda::sim {

// A civil date and time as the recorder's clock keeps it: no time zone, no
// daylight saving, full year (2000..2127 fit a sample's 7-bit year).
struct DateTime {
    int year = 2000;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59

    bool operator==(const DateTime&) const = default;
};

bool IsValid(const DateTime& t);

// "YYYY-MM-DD HH:MM:SS" (a 'T' instead of the space is accepted too).
std::optional<DateTime> ParseDateTime(std::string_view text);
std::string FormatDateTime(const DateTime& t);

// Moves the time by a number of seconds, across days, months and years.
DateTime AddSeconds(const DateTime& t, std::int64_t seconds);
// Seconds from a to b (negative when b is earlier).
std::int64_t SecondsBetween(const DateTime& a, const DateTime& b);

// The recorder's 32-bit clock word back into its fields (year 2000..2063);
// the inverse of DeviceClockWord. Fields are taken as sent, even if out of range.
DateTime DecodeClockWord(std::uint32_t word);

// The time stamp a sample carries.
DateTime TimeOf(const SampleRecord& r);

}  // namespace quenda::sim
