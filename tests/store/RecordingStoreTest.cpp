#include "store/RecordingStore.h"

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
