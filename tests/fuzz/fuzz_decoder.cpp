// Feeds arbitrary bytes to the frame decoder. The first byte picks the format
// code; the second the size of the chunks the rest is fed in, so frames split
// across reads are exercised.
#include "device/FrameDecoder.h"

#include <array>
#include <cstdlib>

namespace {

// One store for the whole run: clearing 6 MB per input would make the fuzzer
// spend its time in memset. It is emptied when it has grown large.
quenda::RecordingStore& Store() {
    static quenda::RecordingStore store;
    return store;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    auto& store = Store();
    std::array<int, quenda::kIdSlots + 1> before{};
    long total = 0;
    for (int id = 1; id <= quenda::kIdSlots; ++id) total += before[id] = store.IdCount(id);
    if (total > 2'000'000) {
        store.ClearStore();
        before.fill(0);
    }
    store.FramesReceived = 0;
    std::uint32_t completions = 0;
    quenda::FrameDecoder decoder(store, quenda::TraitsFor(data[0] % 16).sampleOrder,
                                 [&](std::uint32_t n) { completions = n; });
    const std::size_t chunk = 1 + data[1] % 64;
    for (std::size_t i = 2; i < size; i += chunk) {
        decoder.Feed(std::span<const std::uint8_t>(data + i, std::min(chunk, size - i)));
    }

    if (completions != store.FramesReceived) std::abort();
    for (int id = 1; id <= quenda::kIdSlots; ++id) {
        const auto records = store.IdRecords(id);
        if (records.size() > static_cast<std::size_t>(quenda::kMaxSamples)) std::abort();
        for (std::size_t k = static_cast<std::size_t>(before[id]); k < records.size(); ++k) {
            if (records[k].id != id) std::abort();
        }
    }
    return 0;
}
