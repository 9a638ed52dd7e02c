// The patient file sits in a folder users can reach and copy between machines:
// any content, of any length, must load into the current patient and fill the
// patient dialog without undefined behaviour, and a loaded slot must save and
// load back the same. The file is read through the program's own reader.
#include "patient/PatientContext.h"
#include "patient/PatientForm.h"
#include "patient/Units.h"
#include "store/RecordingStore.h"

#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace quenda;

namespace {

// One folder per fuzzing process, on a RAM disk when there is one.
const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        auto path = base / ("quenda-fuzz-patient-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void WriteFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the slot to load (0..128, one past the last too),
    // the rest is the file.
    if (size == 0) return 0;
    const int index = data[0] % (kPatientSlots + 1);
    const auto file = Folder() / "pationtrec.dat";
    WriteFile(file, data + 1, size - 1);

    // One store for the whole run: it holds a full data set's room.
    static RecordingStore store;
    static PatientContext patient(store, file);
    patient.Clear();                                // a short slot keeps what the current patient held
    if (!patient.LoadPatient(index)) std::abort();  // a readable file is never an error
    const PatientRecord loaded = patient.Current();
    if (loaded.id == 0) std::abort();  // an empty ID becomes the slot's

    // What the dialog and the pages show, in both unit systems.
    for (const int unit : {kUnitBritain, kUnitMetric}) {
        const PatientForm form = FormFromRecord(loaded, unit);
        if (form.age < 0 || form.age > 200) std::abort();
        (void)FormatWhole(DisplayHeight(loaded.height, loaded.unitFlag, unit));
        (void)FormatWhole(DisplayWeight(loaded.weight, loaded.unitFlag, unit));
        (void)RecordFromForm(form, unit);
    }
    (void)FieldTextUtf8(loaded.name);

    // The slot saves as the same bytes it loads from (the two always-zero gaps
    // aside), so loading never damages a record that is saved back.
    const PatientRecordBytes saved = EncodePatientRecord(loaded);
    if (EncodePatientRecord(DecodePatientRecord(saved)) != saved) std::abort();
    return 0;
}
