#pragma once

#include "store/SampleRecord.h"

#include <array>
#include <cstdint>
#include <span>

namespace quenda {

// A wire sample is one 64-bit word V sent as 8 bytes. Fields from bit 0:
// id 7, year 7, month 4, day 5, hour 5, minute 6, second 6, spo2 7,
// pulseRate 8, auxValue 9.
inline constexpr std::size_t kWireSampleBytes = 8;

// Format codes 1, 3 and 4 send V most significant byte first; every other code
// least significant byte first.
bool SampleIsBigEndian(int dataFormatCode);

std::uint64_t PackSampleWord(const SampleRecord& r);
SampleRecord UnpackSampleWord(std::uint64_t v);

// Eight wire bytes <-> record, in the byte order the format code selects.
SampleRecord DecodeSample(std::span<const std::uint8_t, kWireSampleBytes> bytes, int dataFormatCode);
std::array<std::uint8_t, kWireSampleBytes> EncodeSample(const SampleRecord& r, int dataFormatCode);

}  // namespace quenda
