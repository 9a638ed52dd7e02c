#include "store/KeptDownload.h"
#include "store/RecordingStore.h"
#include "support/TempDir.h"

#include <sys/stat.h>

#include <fstream>

#include <gtest/gtest.h>

namespace quenda {
namespace {

SampleRecord Sample(int id, int second, int spo2 = 95) {
    SampleRecord r;
    r.id = static_cast<std::uint8_t>(id);
    r.year = 26;
    r.month = 12;
    r.day = 7;
    r.second = static_cast<std::uint8_t>(second);
    r.spo2 = static_cast<std::uint8_t>(spo2);
    r.pulseRate = 60;
    r.auxValue = 300;
    return r;
}

TEST(RecordingStore, SortsSamplesByIdAndListsOnlyIdsThatReceivedSome) {
    RecordingStore store;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(store.AppendSample(Sample(2, i)), RecordingStore::AppendResult::Stored);
        EXPECT_EQ(store.AppendSample(Sample(5, i)), RecordingStore::AppendResult::Stored);
    }
    for (int id = 1; id <= kIdSlots; ++id) {
        EXPECT_EQ(store.IdCount(id), (id == 2 || id == 5) ? 5 : 0) << id;
    }
    EXPECT_EQ(store.IdCount(0), 0);
    EXPECT_EQ(store.IdCount(129), 0);
    // Only the download's decoder appends, and it never passes ID 0 or 128.
    EXPECT_EQ(store.AppendSample(Sample(0, 0)), RecordingStore::AppendResult::Discarded);
    EXPECT_EQ(store.AppendSample(Sample(128, 0)), RecordingStore::AppendResult::Discarded);
}

TEST(RecordingStore, SelectIdTurnsANewestFirstRecordingAround) {
    for (const auto order : {RecordOrder::OldestFirst, RecordOrder::NewestFirst}) {
        RecordingStore store;
        store.AppendSample(Sample(7, 1));  // A
        store.AppendSample(Sample(7, 2));  // B
        store.AppendSample(Sample(7, 3));  // C
        store.SelectId(7, order);
        ASSERT_EQ(store.CurrentSampleCount, 3);
        EXPECT_EQ(store.CurrentId, 7);
        const bool reversed = order == RecordOrder::NewestFirst;
        EXPECT_EQ(store.CurrentDataSet()[0].second, reversed ? 3 : 1);
        EXPECT_EQ(store.CurrentDataSet()[2].second, reversed ? 1 : 3);
        EXPECT_EQ(store.CurrentDataSet()[0].auxValue, 300);
    }
}

TEST(RecordingStore, SelectingASmallerIdLeavesOldRecordsBeyondTheCount) {
    RecordingStore store;
    for (int i = 0; i < 4; ++i) store.AppendSample(Sample(1, i, 90));
    store.AppendSample(Sample(2, 0, 80));
    store.SelectId(1);
    store.SelectId(2);
    EXPECT_EQ(store.CurrentSampleCount, 1);
    EXPECT_EQ(store.CurrentDataSet()[0].spo2, 80);
    EXPECT_EQ(store.CurrentDataSet()[1].spo2, 90);
    EXPECT_EQ(store.CurrentSamples().size(), 1u);
}

TEST(RecordingStore, CapacityIsNeverExceeded) {
    RecordingStore store;
    for (int i = 0; i < kMaxSamples; ++i) {
        ASSERT_EQ(store.AppendSample(Sample(3, i % 60)), RecordingStore::AppendResult::Stored) << i;
    }
    EXPECT_EQ(store.AppendSample(Sample(3, 0)), RecordingStore::AppendResult::Discarded);
    EXPECT_EQ(store.IdCount(3), kMaxSamples);
    // Other IDs still have room.
    EXPECT_EQ(store.AppendSample(Sample(4, 0)), RecordingStore::AppendResult::Stored);
    store.SelectId(3);
    EXPECT_EQ(store.CurrentSampleCount, kMaxSamples);
}

TEST(RecordingStore, ClearEmptiesEverythingButKeepsDeviceParameters) {
    RecordingStore store;
    int cleared = 0;
    store.AddClearListener([&] { ++cleared; });
    store.DataFormatCode = 3;
    store.TransferBaud = 115200;
    store.UseSerialLink = false;
    store.AppendSample(Sample(9, 0));
    store.SelectId(9);
    store.PatientSaved[8] = true;

    store.ClearStore();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(store.CurrentSampleCount, 0);
    EXPECT_EQ(store.CurrentId, 0);
    EXPECT_EQ(store.CurrentDataSet()[0], SampleRecord{});
    for (int id = 1; id <= kIdSlots; ++id) EXPECT_EQ(store.IdCount(id), 0);
    EXPECT_FALSE(store.PatientSaved[8]);
    EXPECT_EQ(store.DataFormatCode, 3);
    EXPECT_EQ(store.TransferBaud, 115200u);
    EXPECT_FALSE(store.UseSerialLink);
}

}  // namespace
}  // namespace quenda

namespace quenda {
namespace {

TEST(KeptDownload, EveryIdOldestFirstInAPrivateFolderOfItsOwn) {
    test::TempDir dir;
    const auto root = dir / "data" / "downloads";
    RecordingStore store;
    for (int s : {3, 2, 1}) store.AppendSample(Sample(3, s));  // a recorder that sends newest first
    store.AppendSample(Sample(9, 7));
    store.AppendSample(Sample(2, 0, 80));
    store.SelectId(2);
    const auto when = std::chrono::system_clock::now();

    const KeptDownload kept = KeepDownload(store, RecordOrder::NewestFirst, "Night 1", root, when);
    ASSERT_TRUE(kept.result) << kept.result.detail;
    EXPECT_EQ(kept.files, 3);
    EXPECT_EQ(kept.folder.parent_path(), root);
    auto mode = [](const std::filesystem::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 0777;
    };
    EXPECT_EQ(mode(root), 0700u);
    EXPECT_EQ(mode(kept.folder), 0700u);
    DataFileContents file;
    ASSERT_TRUE(ReadDataFile(kept.folder / "ID3.dat", file));
    EXPECT_EQ(mode(kept.folder / "ID3.dat"), 0600u);
    EXPECT_EQ(file.title, "Night 1");
    ASSERT_EQ(file.records.size(), 3u);
    EXPECT_EQ(file.records.front().second, 1);
    EXPECT_TRUE(std::filesystem::exists(kept.folder / "ID9.dat"));
    EXPECT_EQ(store.CurrentId, 2);  // the current data set is left alone
    EXPECT_EQ(store.CurrentDataSet()[0].spo2, 80);

    // A second download within the same second gets a folder of its own.
    const KeptDownload again = KeepDownload(store, RecordOrder::NewestFirst, "Night 1", root, when);
    ASSERT_TRUE(again.result);
    EXPECT_EQ(again.folder.string(), kept.folder.string() + "-2");
    // Open Saved Data starts in the newest: "-10" is newer than "-9", and an
    // earlier second is older than both.
    std::filesystem::create_directory(kept.folder.string() + "-10");
    std::filesystem::create_directory(root / "2000-01-01_000000");
    EXPECT_EQ(NewestKeptDownload(root).string(), kept.folder.string() + "-10");
    EXPECT_TRUE(NewestKeptDownload(dir / "none").empty());

    // Nothing downloaded: nothing kept. A place that cannot hold folders: said.
    RecordingStore empty;
    EXPECT_TRUE(KeepDownload(empty, RecordOrder::OldestFirst, "", root).folder.empty());
    std::ofstream(dir / "a-file") << "x";
    const KeptDownload failed = KeepDownload(store, RecordOrder::OldestFirst, "", dir / "a-file" / "downloads");
    EXPECT_FALSE(failed.result);
    EXPECT_EQ(failed.result.message, "The download could not be kept");
    EXPECT_NE(failed.result.detail.find("a-file"), std::string::npos);
}

}  // namespace
}  // namespace quenda
