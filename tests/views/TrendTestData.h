#pragma once

#include "store/SampleRecord.h"
#include "views/TrendViewSource.h"

#include <vector>

namespace quenda::test {

// `count` samples, one per second from 2024-03-05 22:00:00, with values that
// change from sample to sample so that a wrong index shows: SpO2 cycles
// 80..99, the pulse 50..129.
inline std::vector<SampleRecord> SecondsFrom2200(int count) {
    std::vector<SampleRecord> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        SampleRecord& s = samples[static_cast<std::size_t>(i)];
        const int t = 22 * 3600 + i;
        const int day = 5 + t / 86400;
        s.id = 7;
        s.year = 24;
        s.month = 3;
        s.day = static_cast<std::uint8_t>(day);
        s.hour = static_cast<std::uint8_t>(t / 3600 % 24);
        s.minute = static_cast<std::uint8_t>(t / 60 % 60);
        s.second = static_cast<std::uint8_t>(t % 60);
        s.spo2 = static_cast<std::uint8_t>(80 + i % 20);
        s.pulseRate = static_cast<std::uint8_t>(50 + i % 80);
    }
    return samples;
}

// The header the view tests draw: a made-up patient in metric units.
inline TrendHeader TestHeader() {
    TrendHeader header;
    header.title = "Report Title";
    header.patientName = "Jane Doe";
    header.female = true;
    header.age = 52;
    header.id = 1;
    header.height = "165 cm";
    header.weight = "62 kg";
    return header;
}

}  // namespace quenda::test
