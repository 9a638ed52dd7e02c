#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quenda {

// One patient's details, kept per recorder ID. The patient file stores it as a
// 288-byte slot, little-endian, text in Windows-1252, zero-padded and without
// a length prefix:
//
//   offset   0   4  signed 32-bit  ID, 1..128 (0 in a slot never written)
//   offset   4  30  char[30]       name
//   offset  34   2                 always zero, so a 30-character name still ends
//   offset  36   4  signed 32-bit  gender: 0 male, 1 female
//   offset  40   4  signed 32-bit  age, years
//   offset  44   4  32-bit float   height, cm or inches per the unit flag
//   offset  48   4  32-bit float   weight, kg or pounds per the unit flag
//   offset  52  40  char[40]       text field 1
//   offset  92  50  char[50]       text field 2
//   offset 142  50  char[50]       text field 3
//   offset 192  90  char[90]       text field 4
//   offset 282   2                 always zero
//   offset 284   4  signed 32-bit  unit flag: 0 inches and pounds, 1 cm and kg
//
// The text fields 1-4 are carried through the program unchanged; nothing edits
// or shows them, but they belong to the slot and survive a save.
inline constexpr std::size_t kPatientRecordSize = 288;
inline constexpr int kPatientSlots = 128;
// A newly made patient file holds every slot, zeroed.
inline constexpr std::size_t kPatientFileSize = kPatientRecordSize * kPatientSlots;  // 36,864

inline constexpr std::size_t kPatientNameSize = 30;
inline constexpr std::size_t kPatientText1Size = 40;
inline constexpr std::size_t kPatientText2Size = 50;
inline constexpr std::size_t kPatientText3Size = 50;
inline constexpr std::size_t kPatientText4Size = 90;

inline constexpr std::int32_t kGenderMale = 0;
inline constexpr std::int32_t kGenderFemale = 1;

struct PatientRecord {
    std::int32_t id = 0;                          // 1..128; 0: no ID
    std::array<char, kPatientNameSize> name{};    // Windows-1252, zero-padded, may fill all 30
    std::int32_t gender = kGenderMale;            // 0 male, 1 female
    std::int32_t age = 0;                         // years
    float height = 0;                             // cm when unitFlag is 1, inches when 0
    float weight = 0;                             // kg when unitFlag is 1, pounds when 0
    std::array<char, kPatientText1Size> text1{};  // Windows-1252, carried unchanged
    std::array<char, kPatientText2Size> text2{};
    std::array<char, kPatientText3Size> text3{};
    std::array<char, kPatientText4Size> text4{};
    std::int32_t unitFlag = 0;  // UnitSetup when saved: 0 in/lb, 1 cm/kg

    bool operator==(const PatientRecord&) const = default;
};

using PatientRecordBytes = std::array<std::uint8_t, kPatientRecordSize>;

PatientRecordBytes EncodePatientRecord(const PatientRecord& record);
// The two always-zero gaps are not kept: a slot written by another program
// with bytes there comes back with zeros on the next save.
PatientRecord DecodePatientRecord(std::span<const std::uint8_t, kPatientRecordSize> bytes);

// A slot that is all zero, or holds only an ID, holds no patient information.
bool HoldsPatientInfo(const PatientRecord& record);

// A text field as UTF-8, up to its first zero byte (or the whole field).
template <std::size_t N>
std::string FieldTextUtf8(const std::array<char, N>& field);

// Stores utf8 as Windows-1252, cut to the field's size, the rest zeroed.
// Characters Windows-1252 lacks become '?'.
template <std::size_t N>
void SetFieldTextUtf8(std::array<char, N>& field, std::string_view utf8);

// The raw bytes of a text field up to its first zero byte, and back: how the
// carried fields travel without being re-encoded.
template <std::size_t N>
std::string FieldBytes(const std::array<char, N>& field);
template <std::size_t N>
void SetFieldBytes(std::array<char, N>& field, std::string_view bytes);

// Conversions used by the templates above.
std::string FieldBytesToUtf8(std::string_view bytes);
std::string Utf8ToFieldBytes(std::string_view utf8);

template <std::size_t N>
std::string FieldBytes(const std::array<char, N>& field) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') ++length;
    return std::string(field.data(), length);
}

template <std::size_t N>
void SetFieldBytes(std::array<char, N>& field, std::string_view bytes) {
    field.fill('\0');
    bytes = bytes.substr(0, N);
    std::copy(bytes.begin(), bytes.end(), field.begin());
}

template <std::size_t N>
std::string FieldTextUtf8(const std::array<char, N>& field) {
    return FieldBytesToUtf8(FieldBytes(field));
}

template <std::size_t N>
void SetFieldTextUtf8(std::array<char, N>& field, std::string_view utf8) {
    SetFieldBytes(field, Utf8ToFieldBytes(utf8));
}

}  // namespace quenda
