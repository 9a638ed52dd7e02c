// Feeds arbitrary bytes to the frame decoder. The first byte picks the format
// code; the rest is the download stream, fed in chunks whose sizes come from
// the input too, so split frames are exercised.
#include "device/FrameDecoder.h"

#include <cstdlib>

namespace {
quenda::RecordingStore& Store() {
    static quenda::RecordingStore store;
    return store;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    auto& store = Store();
    store.ClearStore();
    store.FramesReceived = 0;
    store.DataFormatCode = data[0] % 16;
    std::uint32_t completions = 0;
    quenda::FrameDecoder decoder(store, [&](std::uint32_t n) { completions = n; });
    const std::size_t chunk = 1 + data[1] % 64;
    for (std::size_t i = 2; i < size; i += chunk) {
        decoder.Feed(std::span<const std::uint8_t>(data + i, std::min(chunk, size - i)));
    }
    if (completions != store.FramesReceived) std::abort();
    for (int id = 1; id <= quenda::kIdSlots; ++id) {
        if (store.IdCount(id) > quenda::kMaxSamples) std::abort();
        for (const auto& r : store.IdRecords(id)) {
            if (r.id != id) std::abort();
        }
    }
    return 0;
}
