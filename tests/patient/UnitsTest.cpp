#include "patient/PatientForm.h"
#include "patient/Units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quenda {
namespace {

TEST(UnitDisplayRule, BritishRecordShownMetric) {
    EXPECT_EQ(FormatWhole(DisplayHeight(70, 0, 1)), "178");  // 177.8
    EXPECT_EQ(FormatWhole(DisplayWeight(150, 0, 1)), "68");  // 68.1
}

TEST(UnitDisplayRule, MetricRecordShownBritish) {
    EXPECT_EQ(FormatWhole(DisplayHeight(180, 1, 0)), "71");  // 70.87
    EXPECT_EQ(FormatWhole(DisplayWeight(80, 1, 0)), "176");  // 176.2
}

TEST(UnitDisplayRule, ValuesInTheShownSystemAreShownAsStored) {
    EXPECT_EQ(DisplayHeight(70.4f, 0, 0), 70.4f);
    EXPECT_EQ(DisplayWeight(80.6f, 1, 1), 80.6f);
}

TEST(UnitDisplayRule, AnyNonZeroValueIsMetric) {
    // A UnitSetup of 2 from a hand-edited file shows metric records unchanged.
    EXPECT_EQ(DisplayHeight(180, 1, 2), 180.0f);
    EXPECT_EQ(FormatWhole(DisplayHeight(70, 0, 2)), "178");
    EXPECT_EQ(UnitFlagFor(2), 1);
    EXPECT_EQ(UnitFlagFor(0), 0);
    EXPECT_STREQ(HeightUnitLabel(2), "cm");
    EXPECT_STREQ(WeightUnitLabel(0), "lb");
}

TEST(UnitDisplayRule, TheConvertedHeightPassesThroughAFloat) {
    // 3.81 cm is 1.49999998 in as a double, but exactly 1.5 once stored in a
    // float, which "%.0f" rounds to 2.
    EXPECT_EQ(FormatWhole(DisplayHeight(3.81f, 1, 0)), "2");
    // 228.937 in is 581.49997 cm as a double, 581.5 as a float.
    EXPECT_EQ(FormatWhole(DisplayHeight(228.937f, 0, 1)), "582");
}

TEST(WholeNumbers, TheEditedIntegerIsTheNumberShown) {
    for (float value = -3.0f; value <= 400.0f; value += 0.25f) {
        EXPECT_EQ(std::to_string(WholeNumber(value)), FormatWhole(value) == "-0" ? "0" : FormatWhole(value)) << value;
    }
    EXPECT_EQ(WholeNumber(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(WholeNumber(std::numeric_limits<float>::infinity()), std::numeric_limits<int>::max());
    EXPECT_EQ(WholeNumber(-1e30f), std::numeric_limits<int>::min());
}

TEST(PatientFormFill, ShowsIdsUpTo127AndSensibleAgesOnly) {
    PatientRecord record;
    record.id = 127;
    record.age = 200;
    EXPECT_EQ(FormFromRecord(record, 0).idText, "127");
    EXPECT_EQ(FormFromRecord(record, 0).age, 200);
    record.id = 128;
    record.age = 201;
    EXPECT_EQ(FormFromRecord(record, 0).idText, "");
    EXPECT_EQ(FormFromRecord(record, 0).age, 0);
    record.id = 0;
    record.age = -4;
    EXPECT_EQ(FormFromRecord(record, 0).idText, "");
    EXPECT_EQ(FormFromRecord(record, 0).age, 0);
}

TEST(PatientFormFill, GenderOutsideTheListShowsAsFemaleLikeThePages) {
    PatientRecord record;
    record.gender = 7;
    EXPECT_EQ(FormFromRecord(record, 0).gender, 1);
    record.gender = 0;
    EXPECT_EQ(FormFromRecord(record, 0).gender, 0);
}

TEST(PatientFormRebuild, TakesTheIdFromItsTextAndTheUnitFromTheSetting) {
    PatientForm form;
    form.idText = "12";
    form.gender = 1;
    form.age = 33;
    form.name = std::string(35, 'n');
    form.height = 71;
    form.weight = 176;
    form.text1 = "one";
    form.text4 = std::string(95, 'z');
    const PatientRecord record = RecordFromForm(form, 0);
    EXPECT_EQ(record.id, 12);
    EXPECT_EQ(record.gender, 1);
    EXPECT_EQ(record.age, 33);
    EXPECT_EQ(FieldTextUtf8(record.name), std::string(30, 'n'));
    EXPECT_EQ(record.height, 71.0f);
    EXPECT_EQ(record.weight, 176.0f);
    EXPECT_EQ(FieldBytes(record.text1), "one");
    EXPECT_EQ(FieldBytes(record.text4), std::string(90, 'z'));
    EXPECT_EQ(record.unitFlag, 0);

    form.idText = "";
    EXPECT_EQ(RecordFromForm(form, 5).id, 0);
    EXPECT_EQ(RecordFromForm(form, 5).unitFlag, 1);
    EXPECT_EQ(IdFromText("99999999999"), 0);
    EXPECT_EQ(IdFromText(" 7"), 7);
}

struct CheckCase {
    PatientField field;
    const char* text;
    int unitSetup;
    const char* expectedText;  // nullptr: accepted unchanged
    const char* expectedMessage;
};

class FieldCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(FieldCheckTest, RejectsTooLongOrOutOfRangeWithItsMessage) {
    const CheckCase& c = GetParam();
    const FieldCheck check = CheckPatientField(c.field, c.text, c.unitSetup);
    if (c.expectedText == nullptr) {
        EXPECT_FALSE(check.changed);
        EXPECT_EQ(check.message, "");
        return;
    }
    EXPECT_TRUE(check.changed);
    EXPECT_EQ(check.text, c.expectedText);
    EXPECT_EQ(check.message, c.expectedMessage);
}

constexpr const char* kAge = "scope : 0 - 200,Please ReInput";
constexpr const char* kHeightCm = "scope : 0 - 400,Please ReInput";
constexpr const char* kHeightIn = "scope : 0 - 157,Please ReInput";
constexpr const char* kWeightKg = "scope : 0 - 1000,Please ReInput";
constexpr const char* kWeightLb = "scope : 0 - 2203,Please ReInput";

INSTANTIATE_TEST_SUITE_P(
    Limits, FieldCheckTest,
    ::testing::Values(CheckCase{PatientField::Age, "200", 0, nullptr, ""},
                      CheckCase{PatientField::Age, "201", 0, "0", kAge},
                      CheckCase{PatientField::Age, "0050", 0, "0", kAge},  // four characters
                      CheckCase{PatientField::Age, "", 0, "0", ""}, CheckCase{PatientField::Age, "-1", 0, "0", kAge},
                      CheckCase{PatientField::Height, "400", 1, nullptr, ""},
                      CheckCase{PatientField::Height, "401", 1, "0", kHeightCm},
                      CheckCase{PatientField::Height, "157", 0, nullptr, ""},
                      CheckCase{PatientField::Height, "158", 0, "0", kHeightIn},
                      CheckCase{PatientField::Height, "00100", 1, "0", kHeightCm},
                      CheckCase{PatientField::Height, "", 1, "0", ""},
                      CheckCase{PatientField::Weight, "1000", 1, nullptr, ""},
                      CheckCase{PatientField::Weight, "1001", 2, "0", kWeightKg},
                      CheckCase{PatientField::Weight, "2203", 0, nullptr, ""},
                      CheckCase{PatientField::Weight, "2204", 0, "0", kWeightLb},
                      CheckCase{PatientField::Weight, "000010", 0, "0", kWeightLb},
                      CheckCase{PatientField::Name, "123456789012345678901234567890", 0, nullptr, ""},
                      CheckCase{PatientField::Name, "1234567890123456789012345678901", 0,
                                "123456789012345678901234567890", "Field must be 30 or less characters in length!"},
                      CheckCase{PatientField::Name, "", 0, nullptr, ""}));

TEST(FieldCheckName, CountsCharactersOfNonAsciiNames) {
    std::string thirty;
    for (int i = 0; i < 30; ++i) thirty += "\xC3\xA9";
    EXPECT_FALSE(CheckPatientField(PatientField::Name, thirty, 0).changed);
    const FieldCheck check = CheckPatientField(PatientField::Name, thirty + "x", 0);
    EXPECT_EQ(check.text, thirty);
}

}  // namespace
}  // namespace quenda
