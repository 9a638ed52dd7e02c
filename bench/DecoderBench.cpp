// Decoder throughput on a full 144-hour download: 518,400 samples in frames of
// 512, fed in poll-sized chunks as the receive thread would.
#include "device/FrameDecoder.h"
#include "device/SampleCodec.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<std::uint8_t> FullDownloadStream(int code) {
    constexpr int kPerFrame = 512;
    std::vector<std::uint8_t> stream;
    stream.reserve(quenda::kMaxSamples / kPerFrame * (kPerFrame * 8 + 8) + 4096);
    quenda::SampleRecord r;
    r.id = 1;
    r.year = 26;
    r.month = 12;
    r.day = 6;
    r.spo2 = 96;
    r.pulseRate = 64;
    for (int sent = 0, frame = 0; sent < quenda::kMaxSamples; ++frame) {
        const int n = std::min(kPerFrame, quenda::kMaxSamples - sent);
        const int length = n * 8;
        stream.insert(stream.end(),
                      {0x55, 0xAA, 0, static_cast<std::uint8_t>(frame >> 8), static_cast<std::uint8_t>(frame),
                       static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
        for (int i = 0; i < n; ++i, ++sent) {
            r.second = static_cast<std::uint8_t>(sent % 60);
            const auto wire = quenda::EncodeSample(r, quenda::TraitsFor(code).sampleOrder);
            stream.insert(stream.end(), wire.begin(), wire.end());
        }
        stream.push_back(0);
    }
    return stream;
}

void BM_DecodeFullDownload(benchmark::State& state) {
    const int code = static_cast<int>(state.range(0));
    const auto stream = FullDownloadStream(code);
    quenda::RecordingStore store;
    for (auto _ : state) {
        state.PauseTiming();
        store.ClearStore();
        state.ResumeTiming();
        quenda::FrameDecoder decoder(store, quenda::TraitsFor(code).sampleOrder, {});
        constexpr std::size_t kPoll = 4200;
        for (std::size_t i = 0; i < stream.size(); i += kPoll) {
            decoder.Feed(std::span(stream).subspan(i, std::min(kPoll, stream.size() - i)));
        }
        benchmark::DoNotOptimize(store.IdCount(1));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_DecodeFullDownload)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
