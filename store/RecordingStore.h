#pragma once

#include "store/SampleRecord.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace quenda {

// Order of a recording's samples as the recorder hands them over.
enum class RecordOrder { OldestFirst, NewestFirst };

// The program's single in-memory data set: the per-ID sample tables of the last
// download and the current data set every view, analysis and file reads.
// One instance lives in the program; tests make their own.
//
// Threading: during a download only the receive thread appends; the UI thread
// lists and selects only after that thread has finished. FramesReceived is read
// by the request thread too, so it is atomic.
class RecordingStore {
public:
    enum class AppendResult {
        Stored,
        Discarded,  // the ID already holds kMaxSamples records
        NoMemory,   // the ID's array could not grow
    };

    RecordingStore();
    RecordingStore(const RecordingStore&) = delete;
    RecordingStore& operator=(const RecordingStore&) = delete;

    // Empties the current data set, the per-ID tables and the saved flags, then
    // tells every clear listener (the current patient and the views' page index
    // live with their own owners).
    void ClearStore();

    // Appends one decoded sample to the table of record.id (1..127; other IDs are
    // ignored and reported as Discarded). Arrays grow in steps up to kMaxSamples,
    // so an ID that records for an hour does not cost the full 6 MB.
    AppendResult AppendSample(const SampleRecord& record);

    // Copies one ID's records into the current data set, oldest first whatever
    // order the recorder sent them in. Records past the new count are left as
    // they were; readers stop at CurrentSampleCount.
    void SelectId(int id, RecordOrder order = RecordOrder::OldestFirst);
    // The same for samples held elsewhere (a data file, a night of the
    // library): at most kMaxSamples of them become the current data set of
    // `id`, with a new DataSetGeneration.
    void SetCurrentDataSet(int id, std::span<const SampleRecord> samples, RecordOrder order = RecordOrder::OldestFirst);

    // Number of records the last download stored for id (0 outside 1..128).
    int IdCount(int id) const;
    std::span<const SampleRecord> IdRecords(int id) const;

    // Current data set: kMaxSamples records, always allocated.
    std::span<SampleRecord> CurrentDataSet() { return currentDataSet_; }
    std::span<const SampleRecord> CurrentDataSet() const { return currentDataSet_; }
    std::span<const SampleRecord> CurrentSamples() const {
        return std::span<const SampleRecord>(currentDataSet_).first(static_cast<std::size_t>(CurrentSampleCount));
    }
    std::int32_t CurrentSampleCount = 0;
    std::int32_t CurrentId = 0;
    // Goes up whenever the current data set is replaced (SelectId, ClearStore,
    // a data file loaded), so what is kept about a data set (its exclusions,
    // its marking) knows when it belongs to another one.
    std::uint64_t DataSetGeneration = 0;

    // Recorder parameters from the last identification; ClearStore keeps them.
    std::int32_t DataFormatCode = 0;
    std::uint32_t TransferBaud = 0;
    // True: serial COM link; false: Bluetooth.
    bool UseSerialLink = true;
    // Complete data frames decoded in the current download.
    std::atomic<std::uint32_t> FramesReceived{0};
    // Per-ID flag: the patient details of that ID were saved to the patient file.
    std::array<bool, kIdSlots> PatientSaved{};

    // Called at the end of every ClearStore.
    void AddClearListener(std::function<void()> listener);

private:
    std::vector<SampleRecord> currentDataSet_;
    std::array<std::vector<SampleRecord>, kIdSlots> idTables_;
    std::vector<std::function<void()>> clearListeners_;
};

}  // namespace quenda
