#include "store/RecordingStore.h"

#include <algorithm>
#include <new>

namespace quenda {

namespace {
// First allocation for an ID: one hour of samples. Growth doubles from there,
// capped at kMaxSamples, so a full 144-hour ID reallocates about eight times.
constexpr std::size_t kInitialIdCapacity = 3600;
}  // namespace

RecordingStore::RecordingStore() : currentDataSet_(kMaxSamples) {}

void RecordingStore::ClearStore() {
    std::fill(currentDataSet_.begin(), currentDataSet_.end(), SampleRecord{});
    CurrentSampleCount = 0;
    CurrentId = 0;
    ++DataSetGeneration;
    for (auto& table : idTables_) {
        std::vector<SampleRecord>().swap(table);
    }
    PatientSaved.fill(false);
    for (auto& listener : clearListeners_) listener();
}

RecordingStore::AppendResult RecordingStore::AppendSample(const SampleRecord& record) {
    if (record.id < 1 || record.id > 127) return AppendResult::Discarded;
    auto& table = idTables_[record.id - 1];
    if (table.size() >= static_cast<std::size_t>(kMaxSamples)) return AppendResult::Discarded;
    if (table.size() == table.capacity()) {
        const std::size_t grown = table.empty() ? kInitialIdCapacity : table.capacity() * 2;
        try {
            table.reserve(std::min<std::size_t>(grown, kMaxSamples));
        } catch (const std::bad_alloc&) {
            return AppendResult::NoMemory;
        } catch (const std::length_error&) {
            return AppendResult::NoMemory;
        }
    }
    table.push_back(record);
    return AppendResult::Stored;
}

void RecordingStore::SelectId(int id, RecordOrder order) { SetCurrentDataSet(id, IdRecords(id), order); }

void RecordingStore::SetCurrentDataSet(int id, std::span<const SampleRecord> samples, RecordOrder order) {
    const auto records = samples.first(std::min(samples.size(), currentDataSet_.size()));
    CurrentSampleCount = static_cast<std::int32_t>(records.size());
    CurrentId = id;
    ++DataSetGeneration;
    if (order == RecordOrder::NewestFirst) {
        std::reverse_copy(records.begin(), records.end(), currentDataSet_.begin());
    } else {
        std::copy(records.begin(), records.end(), currentDataSet_.begin());
    }
}

int RecordingStore::IdCount(int id) const { return static_cast<int>(IdRecords(id).size()); }

std::span<const SampleRecord> RecordingStore::IdRecords(int id) const {
    if (id < 1 || id > kIdSlots) return {};
    return idTables_[id - 1];
}

void RecordingStore::AddClearListener(std::function<void()> listener) {
    clearListeners_.push_back(std::move(listener));
}

}  // namespace quenda
