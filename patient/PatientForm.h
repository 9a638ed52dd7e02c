#pragma once

#include "patient/PatientRecord.h"

#include <string>
#include <string_view>

namespace quenda {

// What the "Edit user information" dialog edits, and the rules that move it
// to and from CurrentPatient. Kept free of widgets so the rules can be tested
// on their own; the dialog only moves these fields in and out of its boxes.
struct PatientForm {
    std::string idText;  // decimal ID when 1..127, else empty (read-only box)
    int gender = 0;      // list index: 0 "male", 1 "female"
    int age = 0;
    std::string name;  // UTF-8
    int height = 0;    // whole number in the shown unit system
    int weight = 0;
    // Carried unchanged: the raw Windows-1252 bytes of text fields 1-4.
    std::string text1;
    std::string text2;
    std::string text3;
    std::string text4;
};

// Fills the form from CurrentPatient: the ID text only for IDs 1..127, the age
// only when it is 1..200 (else 0), height and weight converted for display by
// the unit rule and rounded as "%.0f" shows them.
PatientForm FormFromRecord(const PatientRecord& record, int unitSetup);

// Save Info's rebuild: a fresh record with the ID read from the ID text (0 when
// it is no number), the entered whole numbers as floats, texts cut to their
// fields, and the unit flag of the UnitSetup in force.
PatientRecord RecordFromForm(const PatientForm& form, int unitSetup);

// The decimal value of the ID text, as Save Info and Delete Info read it.
int IdFromText(std::string_view idText);

// The checks run when a field of the dialog loses the focus.
enum class PatientField { Age, Height, Weight, Name };

struct FieldCheck {
    bool changed = false;  // the box must be set to `text`
    std::string text;      // the box's new text when changed
    std::string message;   // shown when not empty; then the box is selected and refocused
};

// Age, height and weight: too long or out of range gives its "scope" message
// and "0"; empty becomes "0" without a message. The name is cut to 30
// characters with its message. The unit system decides the height and weight
// ranges.
FieldCheck CheckPatientField(PatientField field, std::string_view text, int unitSetup);

// The longest text each numeric box accepts, and the largest value.
struct NumericFieldLimits {
    std::size_t maxLength;
    int maxValue;
};
NumericFieldLimits LimitsOf(PatientField field, int unitSetup);

// Shown when the name is longer than its field.
inline constexpr const char* kNameTooLong = "Field must be 30 or less characters in length!";

}  // namespace quenda
