#pragma once

#include "device/RecorderTraits.h"
#include "store/SampleRecord.h"

#include <array>
#include <cstdint>
#include <span>

namespace quenda {

// A wire sample is one 64-bit word V sent as 8 bytes. Fields from bit 0:
// id 7, year 7, month 4, day 5, hour 5, minute 6, second 6, spo2 7,
// pulseRate 8, auxValue 9.
inline constexpr std::size_t kWireSampleBytes = 8;

std::uint64_t PackSampleWord(const SampleRecord& r);
SampleRecord UnpackSampleWord(std::uint64_t v);

// Eight wire bytes <-> record, in the recorder's byte order.
SampleRecord DecodeSample(std::span<const std::uint8_t, kWireSampleBytes> bytes, SampleByteOrder order);
std::array<std::uint8_t, kWireSampleBytes> EncodeSample(const SampleRecord& r, SampleByteOrder order);

}  // namespace quenda
