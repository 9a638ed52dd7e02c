#pragma once

#include "store/RecordingStore.h"
#include "store/SampleRecord.h"

#include <cstdint>

namespace quenda::bench {

// Sample i of a full 144-hour store (518,400 s from 1 March 2026, ID 5):
// values that vary, so no writer can take a shortcut over repeated bytes.
inline SampleRecord FullNightSample(int i) {
    return {5,
            26,
            3,
            static_cast<std::uint8_t>(1 + i / 86400),
            static_cast<std::uint8_t>(i / 3600 % 24),
            static_cast<std::uint8_t>(i / 60 % 60),
            static_cast<std::uint8_t>(i % 60),
            static_cast<std::uint8_t>(90 + i % 8),
            static_cast<std::uint8_t>(60 + i % 40),
            static_cast<std::uint16_t>(i % 512)};
}

}  // namespace quenda::bench
