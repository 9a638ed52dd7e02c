#include "views/PageHeader.h"

#include "patient/Units.h"

namespace quenda {

TrendHeader MakePageHeader(const std::string& title, const PatientRecord& patient, int id, int unitSetup) {
    TrendHeader header;
    header.title = title;
    header.patientName = FieldTextUtf8(patient.name);
    header.female = patient.gender != 0;
    header.age = patient.age;
    header.id = id;
    header.height =
        FormatWhole(DisplayHeight(patient.height, patient.unitFlag, unitSetup)) + " " + HeightUnitLabel(unitSetup);
    header.weight =
        FormatWhole(DisplayWeight(patient.weight, patient.unitFlag, unitSetup)) + " " + WeightUnitLabel(unitSetup);
    return header;
}

}  // namespace quenda
