#include "patient/FieldText.h"
#include "patient/PatientRecord.h"
#include "patient/ReportTitle.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quenda {
namespace {

std::uint32_t U32At(const PatientRecordBytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

float FloatAt(const PatientRecordBytes& bytes, std::size_t at) {
    const std::uint32_t raw = U32At(bytes, at);
    float value = 0;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

std::string TextAt(const PatientRecordBytes& bytes, std::size_t at, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), size);
}

PatientRecord FullRecord() {
    PatientRecord record;
    record.id = 0x01020304;
    SetFieldTextUtf8(record.name, std::string(30, 'N'));
    record.gender = kGenderFemale;
    record.age = -7;
    record.height = 177.5f;
    record.weight = 68.25f;
    SetFieldBytes(record.text1, std::string(40, 'a'));
    SetFieldBytes(record.text2, std::string(50, 'b'));
    SetFieldBytes(record.text3, std::string(50, 'c'));
    SetFieldBytes(record.text4, std::string(90, 'd'));
    record.unitFlag = 1;
    return record;
}

TEST(PatientRecordLayout, EveryFieldSitsAtItsOffsetLittleEndian) {
    const PatientRecordBytes bytes = EncodePatientRecord(FullRecord());
    EXPECT_EQ(bytes.size(), 288u);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(TextAt(bytes, 4, 30), std::string(30, 'N'));
    EXPECT_EQ(bytes[34], 0);
    EXPECT_EQ(bytes[35], 0);
    EXPECT_EQ(U32At(bytes, 36), 1u);
    EXPECT_EQ(U32At(bytes, 40), 0xFFFFFFF9u);
    EXPECT_EQ(FloatAt(bytes, 44), 177.5f);
    EXPECT_EQ(FloatAt(bytes, 48), 68.25f);
    EXPECT_EQ(TextAt(bytes, 52, 40), std::string(40, 'a'));
    EXPECT_EQ(TextAt(bytes, 92, 50), std::string(50, 'b'));
    EXPECT_EQ(TextAt(bytes, 142, 50), std::string(50, 'c'));
    EXPECT_EQ(TextAt(bytes, 192, 90), std::string(90, 'd'));
    EXPECT_EQ(bytes[282], 0);
    EXPECT_EQ(bytes[283], 0);
    EXPECT_EQ(U32At(bytes, 284), 1u);
}

TEST(PatientRecordLayout, DecodeGivesBackWhatWasEncoded) {
    const PatientRecord record = FullRecord();
    EXPECT_EQ(DecodePatientRecord(EncodePatientRecord(record)), record);
}

TEST(PatientRecordLayout, GapsReadFromAFileAreDropped) {
    PatientRecordBytes bytes = EncodePatientRecord(FullRecord());
    bytes[34] = bytes[35] = bytes[282] = bytes[283] = 0xEE;
    EXPECT_EQ(EncodePatientRecord(DecodePatientRecord(bytes)), EncodePatientRecord(FullRecord()));
}

TEST(PatientRecordText, NameIsWindows1252CutToItsFieldAndZeroPadded) {
    PatientRecord record;
    SetFieldTextUtf8(record.name, std::string(31, 'x'));
    EXPECT_EQ(FieldTextUtf8(record.name), std::string(30, 'x'));

    SetFieldTextUtf8(record.name, "Zo\xC3\xAB");  // "Zoë"
    EXPECT_EQ(FieldBytes(record.name), "Zo\xEB");
    EXPECT_EQ(record.name[3], '\0');
    EXPECT_EQ(record.name[29], '\0');
    EXPECT_EQ(FieldTextUtf8(record.name), "Zo\xC3\xAB");
}

TEST(PatientRecordText, CarriedBytesAreKeptExactly) {
    PatientRecord record;
    const std::string raw = "caf\xE9 \x81\x9D";  // includes bytes 1252 leaves unassigned
    SetFieldBytes(record.text2, raw);
    EXPECT_EQ(FieldBytes(record.text2), raw);
}

TEST(PatientRecordInfo, IdAloneIsNoPatientInformation) {
    PatientRecord record;
    EXPECT_FALSE(HoldsPatientInfo(record));
    record.id = 5;
    EXPECT_FALSE(HoldsPatientInfo(record));
    record.text4[89] = 'z';
    EXPECT_TRUE(HoldsPatientInfo(record));
    record.text4[89] = '\0';
    record.unitFlag = 1;
    EXPECT_TRUE(HoldsPatientInfo(record));
}

TEST(FieldLength, CountsCharactersNotBytes) {
    EXPECT_EQ(CharacterCount(""), 0u);
    EXPECT_EQ(CharacterCount("\xC3\xA9t\xC3\xA9"), 3u);  // "été"
    EXPECT_EQ(CharacterCount("\xF0\x9F\x98\x80"), 1u);   // one emoji
    EXPECT_EQ(CharacterCount("\xC3"), 1u);               // cut sequence
    EXPECT_EQ(FirstCharacters("\xC3\xA9t\xC3\xA9", 2), "\xC3\xA9t");
    EXPECT_EQ(FirstCharacters("ab", 5), "ab");
}

TEST(ReportTitleOwner, StartsAsReportTitleAndHoldsAtMostSixtyCharacters) {
    ReportTitle title;
    EXPECT_EQ(title.Text(), "Report Title");
    EXPECT_TRUE(title.Set(std::string(60, 'T')));
    EXPECT_EQ(title.Text(), std::string(60, 'T'));
    EXPECT_FALSE(title.Set(std::string(59, 'u') + "\xC3\xA9\xC3\xA9"));
    EXPECT_EQ(title.Text(), std::string(59, 'u') + "\xC3\xA9");
}

}  // namespace
}  // namespace quenda
