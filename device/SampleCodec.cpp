#include "device/SampleCodec.h"

namespace quenda {

namespace {
struct Field {
    unsigned shift;
    unsigned width;
};
constexpr Field kId{0, 7}, kYear{7, 7}, kMonth{14, 4}, kDay{18, 5}, kHour{23, 5}, kMinute{28, 6}, kSecond{34, 6},
    kSpo2{40, 7}, kPulse{47, 8}, kAux{55, 9};

constexpr std::uint64_t Mask(Field f) { return (std::uint64_t{1} << f.width) - 1; }
constexpr unsigned Get(std::uint64_t v, Field f) { return static_cast<unsigned>((v >> f.shift) & Mask(f)); }
constexpr std::uint64_t Put(unsigned value, Field f) { return (std::uint64_t{value} & Mask(f)) << f.shift; }
}  // namespace

std::uint64_t PackSampleWord(const SampleRecord& r) {
    return Put(r.id, kId) | Put(r.year, kYear) | Put(r.month, kMonth) | Put(r.day, kDay) | Put(r.hour, kHour) |
           Put(r.minute, kMinute) | Put(r.second, kSecond) | Put(r.spo2, kSpo2) | Put(r.pulseRate, kPulse) |
           Put(r.auxValue, kAux);
}

SampleRecord UnpackSampleWord(std::uint64_t v) {
    SampleRecord r;
    r.id = static_cast<std::uint8_t>(Get(v, kId));
    r.year = static_cast<std::uint8_t>(Get(v, kYear));
    r.month = static_cast<std::uint8_t>(Get(v, kMonth));
    r.day = static_cast<std::uint8_t>(Get(v, kDay));
    r.hour = static_cast<std::uint8_t>(Get(v, kHour));
    r.minute = static_cast<std::uint8_t>(Get(v, kMinute));
    r.second = static_cast<std::uint8_t>(Get(v, kSecond));
    r.spo2 = static_cast<std::uint8_t>(Get(v, kSpo2));
    r.pulseRate = static_cast<std::uint8_t>(Get(v, kPulse));
    r.auxValue = static_cast<std::uint16_t>(Get(v, kAux));
    return r;
}

SampleRecord DecodeSample(std::span<const std::uint8_t, kWireSampleBytes> bytes, SampleByteOrder order) {
    std::uint64_t v = 0;
    if (order == SampleByteOrder::BigEndian) {
        for (std::size_t i = 0; i < kWireSampleBytes; ++i) v = (v << 8) | bytes[i];
    } else {
        for (std::size_t i = kWireSampleBytes; i-- > 0;) v = (v << 8) | bytes[i];
    }
    return UnpackSampleWord(v);
}

std::array<std::uint8_t, kWireSampleBytes> EncodeSample(const SampleRecord& r, SampleByteOrder order) {
    const std::uint64_t v = PackSampleWord(r);
    std::array<std::uint8_t, kWireSampleBytes> out{};
    for (std::size_t i = 0; i < kWireSampleBytes; ++i) {
        const auto byte = static_cast<std::uint8_t>(v >> (8 * i));
        out[order == SampleByteOrder::BigEndian ? kWireSampleBytes - 1 - i : i] = byte;
    }
    return out;
}

}  // namespace quenda
