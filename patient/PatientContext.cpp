#include "patient/PatientContext.h"

#include "base/UiText.h"
#include "store/RecordingStore.h"

namespace quenda {

namespace {
bool InSlotRange(int id) { return id >= 1 && id <= kPatientSlots; }

FileResult IdInvalid() { return FileResult{false, UiText(kPatientIdInvalidStringId, kPatientIdInvalid), {}}; }
}  // namespace

PatientContext::PatientContext(RecordingStore& store, std::filesystem::path patientFile)
    : store_(store), patientFile_(std::move(patientFile)) {
    // The store has already zeroed CurrentId when its listeners run.
    store_.AddClearListener([this] { details_ = PatientRecord{}; });
}

PatientRecord PatientContext::Current() const {
    PatientRecord record = details_;
    record.id = store_.CurrentId;
    return record;
}

void PatientContext::SetCurrent(const PatientRecord& record) {
    details_ = record;
    details_.id = 0;
    store_.CurrentId = record.id;
}

void PatientContext::Clear() { SetCurrent(PatientRecord{}); }

FileResult PatientContext::LoadPatient(int index) {
    // One past the last slot is still looked up: a data file may name ID 129.
    if (index < 0 || index > kPatientSlots) return {};
    PatientRecordBytes slot = EncodePatientRecord(Current());
    std::size_t bytesRead = 0;
    FileResult result = ReadPatientSlot(patientFile_, index, slot, bytesRead);
    PatientRecord record = bytesRead > 0 ? DecodePatientRecord(slot) : Current();
    if (record.id == 0) record.id = index + 1;
    SetCurrent(record);
    return result;
}

FileResult PatientContext::WriteSlot(int id, const PatientRecord& record) {
    const PatientRecordBytes slot = EncodePatientRecord(record);
    return WritePatientSlot(patientFile_, id, slot);
}

FileResult PatientContext::SavePatient(int id) {
    if (!InSlotRange(id)) return IdInvalid();
    FileResult result = WriteSlot(id, Current());
    if (result) store_.PatientSaved[static_cast<std::size_t>(id - 1)] = true;
    return result;
}

FileResult PatientContext::DeletePatientInfo(int id) {
    PatientRecord idOnly;
    idOnly.id = id;
    if (!InSlotRange(id)) {
        SetCurrent(idOnly);
        return IdInvalid();
    }
    FileResult result = WriteSlot(id, idOnly);
    if (result) SetCurrent(idOnly);
    return result;
}

bool PatientContext::PatientSaved(int id) const {
    return InSlotRange(id) && store_.PatientSaved[static_cast<std::size_t>(id - 1)];
}

}  // namespace quenda
