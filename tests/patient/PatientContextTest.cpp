#include "patient/PatientContext.h"
#include "patient/PatientFile.h"
#include "patient/PatientForm.h"
#include "store/RecordingStore.h"

#include "PatientTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <cstring>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

PatientRecord Patient(int id, const char* name) {
    PatientRecord record;
    record.id = id;
    SetFieldTextUtf8(record.name, name);
    record.gender = kGenderFemale;
    record.age = 42;
    record.height = 165;
    record.weight = 60;
    SetFieldBytes(record.text3, "carried");
    record.unitFlag = 1;
    return record;
}

std::vector<std::uint8_t> Slot(const std::vector<std::uint8_t>& file, int id) {
    const auto at = static_cast<std::ptrdiff_t>((id - 1) * 288);
    return {file.begin() + at, file.begin() + at + 288};
}

std::vector<std::uint8_t> Bytes(const PatientRecord& record) {
    const auto encoded = EncodePatientRecord(record);
    return {encoded.begin(), encoded.end()};
}

class PatientContextTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path file = dir / "bldb" / "pationtrec.dat";
    RecordingStore store;
    PatientContext patient{store, file};
};

TEST_F(PatientContextTest, SavingIdOneIntoAMissingFileMakesAllSlotsPrivately) {
    patient.SetCurrent(Patient(1, "Ann"));
    ASSERT_TRUE(patient.SavePatient(1));

    const auto bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 36864u);
    EXPECT_EQ(Slot(bytes, 1), Bytes(Patient(1, "Ann")));
    EXPECT_TRUE(std::all_of(bytes.begin() + 288, bytes.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_TRUE(patient.PatientSaved(1));
    EXPECT_TRUE(store.PatientSaved[0]);

    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(PatientContextTest, SavingIdThreeIntoTheStartUpFileExtendsItTo864Bytes) {
    ASSERT_FALSE(CanReadPatientFile(file));
    ASSERT_TRUE(CreatePatientFile(file));
    ASSERT_TRUE(CanReadPatientFile(file));
    ASSERT_EQ(fs::file_size(file), 0u);

    patient.SetCurrent(Patient(3, "Cy"));
    ASSERT_TRUE(patient.SavePatient(3));
    const auto bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 864u);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.begin() + 576, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(Slot(bytes, 3), Bytes(Patient(3, "Cy")));
}

TEST_F(PatientContextTest, SavingId128WritesTheLastSlotAndLeavesOthersAlone) {
    fs::create_directory(file.parent_path());
    std::vector<std::uint8_t> before(36864, 0xA5);
    WriteBytes(file, before);

    patient.SetCurrent(Patient(128, "Last"));
    ASSERT_TRUE(patient.SavePatient(128));
    const auto bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 36864u);
    EXPECT_EQ(Slot(bytes, 128), Bytes(Patient(128, "Last")));
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end() - 288, before.begin()));
}

TEST_F(PatientContextTest, SaveDataWritesTheCurrentRecordIntoTheSlotItNames) {
    // The data file's first sample may carry another ID than CurrentId; the
    // record keeps its own ID in whichever slot it goes to.
    patient.SetCurrent(Patient(7, "Dee"));
    ASSERT_TRUE(patient.SavePatient(9));
    EXPECT_EQ(Slot(ReadBytes(file), 9), Bytes(Patient(7, "Dee")));
    EXPECT_TRUE(patient.PatientSaved(9));
    EXPECT_FALSE(patient.PatientSaved(7));
}

TEST_F(PatientContextTest, IdsOutsideTheSlotsWriteNothing) {
    for (const int id : {0, 129, -1}) {
        const FileResult result = patient.SavePatient(id);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, "Patient ID invalidate");
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(file.parent_path()));
}

TEST_F(PatientContextTest, TheRecordIdIsTheStoresCurrentId) {
    patient.SetCurrent(Patient(12, "Eve"));
    EXPECT_EQ(store.CurrentId, 12);

    store.SelectId(20);
    EXPECT_EQ(patient.Current().id, 20);
    EXPECT_EQ(FieldTextUtf8(patient.Current().name), "Eve");

    patient.Clear();
    EXPECT_EQ(store.CurrentId, 0);
    EXPECT_EQ(patient.Current(), PatientRecord{});
}

TEST_F(PatientContextTest, ClearStoreEmptiesThePatientAndTheSavedFlags) {
    patient.SetCurrent(Patient(4, "Flo"));
    ASSERT_TRUE(patient.SavePatient(4));
    store.ClearStore();
    EXPECT_EQ(patient.Current(), PatientRecord{});
    EXPECT_EQ(store.CurrentId, 0);
    EXPECT_FALSE(patient.PatientSaved(4));
}

TEST_F(PatientContextTest, LoadPatientReadsTheSlotIdIncluded) {
    patient.SetCurrent(Patient(6, "Gus"));
    ASSERT_TRUE(patient.SavePatient(6));
    patient.Clear();

    EXPECT_TRUE(patient.LoadPatient(5));
    EXPECT_EQ(patient.Current(), Patient(6, "Gus"));
    EXPECT_EQ(store.CurrentId, 6);
}

TEST_F(PatientContextTest, LoadPatientPastTheEndKeepsWhatItHeldAndSetsOnlyAMissingId) {
    // No file at all: only the ID rule applies, and nothing is created.
    patient.Clear();
    EXPECT_TRUE(patient.LoadPatient(0));
    EXPECT_EQ(store.CurrentId, 1);
    EXPECT_FALSE(fs::exists(file));

    ASSERT_TRUE(CreatePatientFile(file));
    patient.Clear();
    EXPECT_TRUE(patient.LoadPatient(9));
    PatientRecord expected;
    expected.id = 10;
    EXPECT_EQ(patient.Current(), expected);

    // Nothing read and an ID already held: the record stays as it was.
    patient.SetCurrent(Patient(3, "Hal"));
    EXPECT_TRUE(patient.LoadPatient(40));
    EXPECT_EQ(patient.Current(), Patient(3, "Hal"));

    // The slot after the last one is still looked up, for ID 129.
    patient.Clear();
    EXPECT_TRUE(patient.LoadPatient(128));
    EXPECT_EQ(store.CurrentId, 129);

    // Indexes of no ID load nothing and leave the ID alone.
    patient.Clear();
    for (const int index : {-1, 129, 255}) {
        EXPECT_TRUE(patient.LoadPatient(index));
        EXPECT_EQ(patient.Current(), PatientRecord{});
    }
}

TEST_F(PatientContextTest, AShortReadReplacesOnlyTheBytesRead) {
    fs::create_directory(file.parent_path());
    const auto stored = Bytes(Patient(2, "Ida"));
    std::vector<std::uint8_t> bytes(288, 0);
    bytes.insert(bytes.end(), stored.begin(), stored.begin() + 20);  // ID and the first 16 name bytes
    WriteBytes(file, bytes);

    PatientRecord held = Patient(0, "Jonathan Quentin Smith");
    held.age = 77;
    patient.SetCurrent(held);
    EXPECT_TRUE(patient.LoadPatient(1));

    PatientRecord expected = held;
    expected.id = 2;
    std::memcpy(expected.name.data(), "Ida\0\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    EXPECT_EQ(patient.Current(), expected);
}

TEST_F(PatientContextTest, DeleteInfoLeavesOnlyTheIdInTheSlot) {
    patient.SetCurrent(Patient(5, "Kim"));
    ASSERT_TRUE(patient.SavePatient(5));
    store.PatientSaved[4] = false;

    ASSERT_TRUE(patient.DeletePatientInfo(5));
    PatientRecord idOnly;
    idOnly.id = 5;
    EXPECT_EQ(Slot(ReadBytes(file), 5), Bytes(idOnly));
    EXPECT_EQ(patient.Current(), idOnly);
    EXPECT_FALSE(patient.PatientSaved(5));

    patient.SetCurrent(Patient(5, "Other"));
    EXPECT_TRUE(patient.LoadPatient(4));
    EXPECT_EQ(patient.Current(), idOnly);
}

TEST_F(PatientContextTest, DeleteInfoWithAnInvalidIdEmptiesMemoryOnly) {
    patient.SetCurrent(Patient(1, "Lou"));
    const FileResult result = patient.DeletePatientInfo(0);
    EXPECT_EQ(result.message, "Patient ID invalidate");
    EXPECT_EQ(patient.Current(), PatientRecord{});
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(PatientContextTest, SavingAfterConversionStoresTheShownWholeNumbersInMetric) {
    PatientRecord british = Patient(8, "Max");
    british.height = 70;
    british.weight = 150;
    british.unitFlag = 0;
    patient.SetCurrent(british);

    const PatientForm form = FormFromRecord(patient.Current(), 1);
    EXPECT_EQ(form.height, 178);
    EXPECT_EQ(form.weight, 68);
    patient.SetCurrent(RecordFromForm(form, 1));
    ASSERT_TRUE(patient.SavePatient(8));

    const PatientRecord saved =
        DecodePatientRecord(std::span<const std::uint8_t, 288>(ReadBytes(file).data() + 7 * 288, 288));
    EXPECT_EQ(saved.height, 178.0f);
    EXPECT_EQ(saved.weight, 68.0f);
    EXPECT_EQ(saved.unitFlag, 1);
    EXPECT_EQ(FieldBytes(saved.text3), "carried");
}

TEST_F(PatientContextTest, ReadPatientOrEmptyGivesTheSlotOrOnlyTheId) {
    patient.SetCurrent(Patient(3, "Ada"));
    ASSERT_TRUE(patient.SavePatient(3));
    const auto onlyId = [](int id) {
        PatientRecord record;
        record.id = id;
        return record;
    };
    struct Case {
        fs::path file;
        int id;
        PatientRecord expected;
        bool fails;
    } cases[] = {
        {file, 3, Patient(3, "Ada"), false},
        {file, 4, onlyId(4), false},      // a slot never written
        {file, 128, onlyId(128), false},  // the last slot
        {file, 0, onlyId(0), false},      // no slot: one below the first
        {file, 129, onlyId(129), false},  // one past the last
        {dir / "missing.dat", 3, onlyId(3), false},
        {dir.Path(), 3, onlyId(3), true},  // a folder in the file's place
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string() + " ID " + std::to_string(c.id));
        FileResult failure;
        EXPECT_EQ(ReadPatientOrEmpty(c.file, c.id, &failure), c.expected);
        EXPECT_EQ(!failure, c.fails) << failure.message;
    }
}

// Root ignores permission bits, so the failures are made from things no one
// can write: a folder where the file should be, a file where its folder should
// be, a device that is always full, and a file size limit.
class UnwritablePatientFileTest : public ::testing::Test {
protected:
    TempDir dir;
    RecordingStore store;
};

TEST_F(UnwritablePatientFileTest, AFolderInTheFilesPlaceIsReported) {
    const fs::path file = dir / "pationtrec.dat";
    fs::create_directory(file);
    PatientContext patient(store, file);
    patient.SetCurrent(Patient(1, "Ned"));
    const FileResult result = patient.SavePatient(1);
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find(file.string()), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("Is a directory"), std::string::npos) << result.message;
    EXPECT_FALSE(patient.PatientSaved(1));
}

TEST_F(UnwritablePatientFileTest, AFileInTheFoldersPlaceStopsTheStartUpCreation) {
    WriteBytes(dir / "bldb", {1, 2, 3});
    EXPECT_FALSE(CreatePatientFile(dir / "bldb" / "pationtrec.dat"));
    EXPECT_EQ(ReadBytes(dir / "bldb"), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(UnwritablePatientFileTest, AFullDiskIsReported) {
    PatientContext patient(store, "/dev/full");
    patient.SetCurrent(Patient(2, "Pat"));
    const FileResult result = patient.SavePatient(2);
    EXPECT_FALSE(result);
    EXPECT_NE(result.message.find("No space left on device"), std::string::npos) << result.message;
    EXPECT_FALSE(patient.PatientSaved(2));
}

TEST_F(UnwritablePatientFileTest, ASlotBeyondTheSizeLimitIsReportedAndDeleteKeepsMemory) {
    const fs::path file = dir / "pationtrec.dat";
    ASSERT_TRUE(CreatePatientFile(file));
    PatientContext patient(store, file);
    patient.SetCurrent(Patient(100, "Quin"));

    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &limited);
    const FileResult saved = patient.SavePatient(100);
    const FileResult deleted = patient.DeletePatientInfo(100);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(deleted);
    EXPECT_EQ(patient.Current(), Patient(100, "Quin"));
    EXPECT_FALSE(patient.PatientSaved(100));
}

// A folder, a FIFO (which would block the reader) and a device are no
// patient file: each is reported, nothing is read, and the ID rule holds.
TEST_F(UnwritablePatientFileTest, OnlyARegularFileIsReadYetTheIdRuleHolds) {
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const struct {
        fs::path file;
        const char* why;
    } cases[] = {
        {dir / "folder", "Is a directory"}, {dir / "fifo", "Not a regular file"}, {"/dev/zero", "Not a regular file"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_FALSE(CanReadPatientFile(c.file));
        PatientContext patient(store, c.file);
        const FileResult result = patient.LoadPatient(2);
        EXPECT_FALSE(result);
        EXPECT_NE(result.message.find(c.why), std::string::npos) << result.message;
        EXPECT_EQ(store.CurrentId, 3);
    }
}

}  // namespace
}  // namespace quenda
