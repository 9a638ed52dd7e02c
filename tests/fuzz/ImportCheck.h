#pragma once

// What every import must hold, whatever bytes it was given: a refusal says
// why and hands back nothing; a data set is 1 to 518,400 real seconds under
// the chosen ID, each value one the data set can hold.
#include "formats/Import.h"

#include <cstdlib>

namespace quenda::fuzz {

inline bool RealDate(const SampleRecord& r) {
    static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = 2000 + r.year;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return r.year <= 127 && r.month >= 1 && r.month <= 12 && r.day >= 1 &&
           r.day <= kDays[r.month - 1] - (r.month == 2 && !leap ? 1 : 0) && r.hour <= 23 && r.minute <= 59 &&
           r.second <= 59;
}

inline void CheckImport(const ImportResult& result, int id) {
    if (!result.ok) {
        if (result.message.empty() || !result.samples.empty()) std::abort();
        return;
    }
    if (result.samples.empty() || result.samples.size() > static_cast<std::size_t>(kMaxSamples)) std::abort();
    for (const SampleRecord& r : result.samples) {
        if (r.id != id || !RealDate(r)) std::abort();
        // Any pulse fits the data set; SpO2 above 127 does not.
        if (r.spo2 > kStoredMaxSpO2) std::abort();
        if (r.auxValue != 0) std::abort();
    }
}

}  // namespace quenda::fuzz
