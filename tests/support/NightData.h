#pragma once

// Hand-made recordings for the night rule and the library: runs of samples
// at chosen seconds of the recorder's clock.
#include "store/NightRule.h"
#include "store/SampleRecord.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace quenda::test {

// Seconds of a calendar time, as SampleSeconds counts them.
inline std::int64_t Secs(int year, int month, int day, int hour, int minute, int second) {
    SampleRecord r;
    r.year = static_cast<std::uint8_t>(year - 2000);
    r.month = static_cast<std::uint8_t>(month);
    r.day = static_cast<std::uint8_t>(day);
    r.hour = static_cast<std::uint8_t>(hour);
    r.minute = static_cast<std::uint8_t>(minute);
    r.second = static_cast<std::uint8_t>(second);
    return SampleSeconds(r).value_or(-1);
}

// A sample of `id` at `seconds`; SpO2 and pulse vary with the second so
// that two different runs never look alike.
inline SampleRecord SampleAt(int id, std::int64_t seconds, int spo2 = -1, int pulse = -1) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    std::sscanf(IsoLocalTime(seconds).c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    SampleRecord r{static_cast<std::uint8_t>(id),
                   static_cast<std::uint8_t>(y - 2000),
                   static_cast<std::uint8_t>(mo),
                   static_cast<std::uint8_t>(d),
                   static_cast<std::uint8_t>(h),
                   static_cast<std::uint8_t>(mi),
                   static_cast<std::uint8_t>(s),
                   static_cast<std::uint8_t>(spo2 >= 0 ? spo2 : 93 + seconds % 5),
                   static_cast<std::uint8_t>(pulse >= 0 ? pulse : 60 + seconds % 17),
                   static_cast<std::uint16_t>(seconds % 512)};
    return r;
}

// `count` samples one second apart from `start`, appended to `out`.
inline void AppendRun(std::vector<SampleRecord>& out, int id, std::int64_t start, int count) {
    for (int i = 0; i < count; ++i) out.push_back(SampleAt(id, start + i));
}

}  // namespace quenda::test
