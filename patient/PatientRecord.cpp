#include "patient/PatientRecord.h"

#include "base/TextCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quenda {

namespace {

// Field offsets within a slot.
constexpr std::size_t kIdAt = 0;
constexpr std::size_t kNameAt = 4;
constexpr std::size_t kGenderAt = 36;
constexpr std::size_t kAgeAt = 40;
constexpr std::size_t kHeightAt = 44;
constexpr std::size_t kWeightAt = 48;
constexpr std::size_t kText1At = 52;
constexpr std::size_t kText2At = 92;
constexpr std::size_t kText3At = 142;
constexpr std::size_t kText4At = 192;
constexpr std::size_t kUnitFlagAt = 284;

static_assert(kText4At + kPatientText4Size + 2 == kUnitFlagAt);
static_assert(kUnitFlagAt + 4 == kPatientRecordSize);

void PutU32(PatientRecordBytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetU32(std::span<const std::uint8_t, kPatientRecordSize> in, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + static_cast<std::size_t>(i)]) << (8 * i);
    return value;
}

template <std::size_t N>
void PutText(PatientRecordBytes& out, std::size_t at, const std::array<char, N>& field) {
    std::memcpy(out.data() + at, field.data(), N);
}

template <std::size_t N>
void GetText(std::span<const std::uint8_t, kPatientRecordSize> in, std::size_t at, std::array<char, N>& field) {
    std::memcpy(field.data(), in.data() + at, N);
}

}  // namespace

PatientRecordBytes EncodePatientRecord(const PatientRecord& record) {
    PatientRecordBytes out{};
    PutU32(out, kIdAt, static_cast<std::uint32_t>(record.id));
    PutText(out, kNameAt, record.name);
    PutU32(out, kGenderAt, static_cast<std::uint32_t>(record.gender));
    PutU32(out, kAgeAt, static_cast<std::uint32_t>(record.age));
    PutU32(out, kHeightAt, std::bit_cast<std::uint32_t>(record.height));
    PutU32(out, kWeightAt, std::bit_cast<std::uint32_t>(record.weight));
    PutText(out, kText1At, record.text1);
    PutText(out, kText2At, record.text2);
    PutText(out, kText3At, record.text3);
    PutText(out, kText4At, record.text4);
    PutU32(out, kUnitFlagAt, static_cast<std::uint32_t>(record.unitFlag));
    return out;
}

PatientRecord DecodePatientRecord(std::span<const std::uint8_t, kPatientRecordSize> bytes) {
    PatientRecord record;
    record.id = static_cast<std::int32_t>(GetU32(bytes, kIdAt));
    GetText(bytes, kNameAt, record.name);
    record.gender = static_cast<std::int32_t>(GetU32(bytes, kGenderAt));
    record.age = static_cast<std::int32_t>(GetU32(bytes, kAgeAt));
    record.height = std::bit_cast<float>(GetU32(bytes, kHeightAt));
    record.weight = std::bit_cast<float>(GetU32(bytes, kWeightAt));
    GetText(bytes, kText1At, record.text1);
    GetText(bytes, kText2At, record.text2);
    GetText(bytes, kText3At, record.text3);
    GetText(bytes, kText4At, record.text4);
    record.unitFlag = static_cast<std::int32_t>(GetU32(bytes, kUnitFlagAt));
    return record;
}

bool HoldsPatientInfo(const PatientRecord& record) {
    PatientRecord idOnly;
    idOnly.id = record.id;
    const auto a = EncodePatientRecord(record);
    const auto b = EncodePatientRecord(idOnly);
    return a != b;
}

std::string FieldBytesToUtf8(std::string_view bytes) { return Windows1252ToUtf8(bytes); }

std::string Utf8ToFieldBytes(std::string_view utf8) { return Utf8ToWindows1252(utf8); }

}  // namespace quenda
