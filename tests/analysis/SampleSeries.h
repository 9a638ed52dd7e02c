#pragma once

// Data sets for the analysis tests, built from the channel values alone.

#include "analysis/Analysis.h"
#include "store/SampleRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quenda::testing {

// One sample per second from 2026-03-01 00:00:00; the other channel holds a
// steady value that never makes an event or a limit count of its own.
inline SampleRecord SampleAt(std::size_t i, int spo2, int pulseRate) {
    SampleRecord r;
    r.id = 7;
    r.year = 26;
    r.month = 3;
    r.day = static_cast<std::uint8_t>(1 + i / 86400);
    r.hour = static_cast<std::uint8_t>(i / 3600 % 24);
    r.minute = static_cast<std::uint8_t>(i / 60 % 60);
    r.second = static_cast<std::uint8_t>(i % 60);
    r.spo2 = static_cast<std::uint8_t>(spo2);
    r.pulseRate = static_cast<std::uint8_t>(pulseRate);
    return r;
}

inline std::vector<SampleRecord> FromSpo2(const std::vector<int>& spo2, int pulseRate = 70) {
    std::vector<SampleRecord> samples;
    for (std::size_t i = 0; i < spo2.size(); ++i) samples.push_back(SampleAt(i, spo2[i], pulseRate));
    return samples;
}

inline std::vector<SampleRecord> FromPulse(const std::vector<int>& pulse, int spo2 = 92) {
    std::vector<SampleRecord> samples;
    for (std::size_t i = 0; i < pulse.size(); ++i) samples.push_back(SampleAt(i, spo2, pulse[i]));
    return samples;
}

inline std::vector<SampleRecord> FromChannels(const std::vector<int>& spo2, const std::vector<int>& pulse) {
    std::vector<SampleRecord> samples;
    for (std::size_t i = 0; i < spo2.size() && i < pulse.size(); ++i) {
        samples.push_back(SampleAt(i, spo2[i], pulse[i]));
    }
    return samples;
}

// `count` copies of `value` appended to `values`.
inline void Append(std::vector<int>& values, int value, int count) { values.insert(values.end(), count, value); }

// ComputeStatistics into a fresh result.
inline AnalysisResults Analyse(const std::vector<SampleRecord>& samples, Thresholds t = {}) {
    AnalysisResults r;
    ComputeStatistics(samples, t, r);
    return r;
}

}  // namespace quenda::testing
