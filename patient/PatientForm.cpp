#include "patient/PatientForm.h"

#include "base/UiText.h"
#include "patient/FieldText.h"
#include "patient/Units.h"

#include <charconv>

namespace quenda {

namespace {

constexpr int kAgeShownMin = 1;
constexpr int kAgeShownMax = 200;
constexpr int kIdShownMax = 127;

// Every number in a message, so the resource library can replace each text.
const char* ScopeMessage(int maxValue) {
    switch (maxValue) {
        case 200: return "scope : 0 - 200,Please ReInput";
        case 400: return "scope : 0 - 400,Please ReInput";
        case 157: return "scope : 0 - 157,Please ReInput";
        case 1000: return "scope : 0 - 1000,Please ReInput";
        default: return "scope : 0 - 2203,Please ReInput";
    }
}

// The value of a text of decimal digits; false for anything else (digits-only
// boxes make that rare, but it is not a number to keep).
bool ParseDigits(std::string_view text, long long& value) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

NumericFieldLimits LimitsOf(PatientField field, int unitSetup) {
    switch (field) {
        case PatientField::Age: return {3, 200};
        case PatientField::Height: return {4, IsMetric(unitSetup) ? 400 : 157};
        case PatientField::Weight: return {5, IsMetric(unitSetup) ? 1000 : 2203};
        case PatientField::Name: break;
    }
    return {kPatientNameSize, 0};
}

FieldCheck CheckPatientField(PatientField field, std::string_view text, int unitSetup) {
    if (field == PatientField::Name) {
        if (CharacterCount(text) <= kPatientNameSize) return {};
        return {true, FirstCharacters(text, kPatientNameSize), UiText(kNameTooLong)};
    }
    if (text.empty()) return {true, "0", {}};
    const NumericFieldLimits limits = LimitsOf(field, unitSetup);
    long long value = 0;
    if (text.size() > limits.maxLength || !ParseDigits(text, value) || value < 0 || value > limits.maxValue) {
        return {true, "0", UiText(ScopeMessage(limits.maxValue))};
    }
    return {};
}

int IdFromText(std::string_view idText) {
    // Read as the old dialogs did: leading blanks, an optional sign, then digits.
    std::size_t at = 0;
    while (at < idText.size() && (idText[at] == ' ' || idText[at] == '\t')) ++at;
    int value = 0;
    if (at < idText.size() && idText[at] == '+') ++at;
    const auto [end, error] = std::from_chars(idText.data() + at, idText.data() + idText.size(), value);
    (void)end;
    return error == std::errc() ? value : 0;
}

PatientForm FormFromRecord(const PatientRecord& record, int unitSetup) {
    PatientForm form;
    if (record.id >= 1 && record.id <= kIdShownMax) form.idText = std::to_string(record.id);
    // Pages show any non-zero gender as female; the list shows it the same way.
    form.gender = record.gender == kGenderMale ? 0 : 1;
    form.age = record.age >= kAgeShownMin && record.age <= kAgeShownMax ? record.age : 0;
    form.name = FieldTextUtf8(record.name);
    form.height = WholeNumber(DisplayHeight(record.height, record.unitFlag, unitSetup));
    form.weight = WholeNumber(DisplayWeight(record.weight, record.unitFlag, unitSetup));
    form.text1 = FieldBytes(record.text1);
    form.text2 = FieldBytes(record.text2);
    form.text3 = FieldBytes(record.text3);
    form.text4 = FieldBytes(record.text4);
    return form;
}

PatientRecord RecordFromForm(const PatientForm& form, int unitSetup) {
    PatientRecord record;
    record.id = IdFromText(form.idText);
    record.gender = form.gender;
    record.age = form.age;
    record.height = static_cast<float>(form.height);
    record.weight = static_cast<float>(form.weight);
    SetFieldTextUtf8(record.name, form.name);
    SetFieldBytes(record.text1, form.text1);
    SetFieldBytes(record.text2, form.text2);
    SetFieldBytes(record.text3, form.text3);
    SetFieldBytes(record.text4, form.text4);
    record.unitFlag = UnitFlagFor(unitSetup);
    return record;
}

}  // namespace quenda
