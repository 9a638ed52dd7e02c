#pragma once

#include "patient/PatientFile.h"
#include "patient/PatientRecord.h"
#include "store/DataFile.h"  // FileResult

#include <filesystem>

namespace quenda {

class RecordingStore;

// Shown when a patient ID outside 1..128 is to be saved or deleted.
inline constexpr int kPatientIdInvalidStringId = 169;
inline constexpr const char* kPatientIdInvalid = "Patient ID invalidate";

// Owner of CurrentPatient, the patient of the data set on screen, and of the
// reads and writes of its slot in the patient file.
//
// The record's ID and the store's CurrentId are one value: it lives only in
// RecordingStore::CurrentId. Current() reports it as the record's id, and
// everything that sets the record's id (SetCurrent, LoadPatient, Clear) writes
// CurrentId. So SelectId, opening a data file and ClearStore change the current
// patient's ID just as they change CurrentId, and the two can never disagree.
// The per-ID PatientSaved flags are the store's.
//
// ClearStore empties the current patient. The context registers for that in
// its constructor, so it must live as long as the store it is given.
class PatientContext {
public:
    PatientContext(RecordingStore& store, std::filesystem::path patientFile);
    PatientContext(const PatientContext&) = delete;
    PatientContext& operator=(const PatientContext&) = delete;

    // CurrentPatient, its id being the store's CurrentId.
    PatientRecord Current() const;
    // Replaces CurrentPatient; record.id becomes CurrentId.
    void SetCurrent(const PatientRecord& record);
    // Zeroes all 288 bytes of CurrentPatient, CurrentId included.
    void Clear();

    // Reads the slot of ID index + 1 into CurrentPatient, for index 0..128
    // (other indexes load nothing and change nothing). A short read replaces
    // only the bytes read; a missing file or a slot past its end reads nothing
    // and CurrentPatient keeps what it held. Then, if the ID is 0, it becomes
    // index + 1. A file that exists but cannot be read is reported (the ID
    // rule still applies); callers may ignore that, as a missing record is.
    FileResult LoadPatient(int index);

    // Writes CurrentPatient into the slot of id (1..128) and sets that ID's
    // PatientSaved flag. The flag is set only when the write succeeded, so a
    // later LoadPatient is not sent to a slot that never got the record.
    // An ID outside 1..128 writes nothing: "Patient ID invalidate".
    FileResult SavePatient(int id);

    // Delete Info: empties CurrentPatient but for the ID and writes that into
    // the ID's slot; PatientSaved is left alone. Outside 1..128 CurrentPatient
    // is still emptied (with that ID) and nothing is written. When the write
    // fails, CurrentPatient stays as it was, matching the file.
    FileResult DeletePatientInfo(int id);

    bool PatientSaved(int id) const;
    const std::filesystem::path& PatientFile() const { return patientFile_; }
    // Start-up decides where the file lives after the context exists.
    void SetPatientFile(std::filesystem::path file) { patientFile_ = std::move(file); }

private:
    FileResult WriteSlot(int id, const PatientRecord& record);

    RecordingStore& store_;
    std::filesystem::path patientFile_;
    // Everything but the ID, which is store_.CurrentId; details_.id stays 0.
    PatientRecord details_;
};

}  // namespace quenda
