#pragma once

// Driving a RecorderModel and reading its replies the way a host would.

#include "device/Commands.h"
#include "device/SampleCodec.h"
#include "tools/sim/RecorderModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quenda::sim::testing {

inline Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A small recorder: ID 1 with 10 samples and ID 5 with 7, four samples per frame.
inline RecorderConfig SmallConfig(int formatCode = 2) {
    RecorderConfig c;
    c.device.dataFormatCode = static_cast<std::uint16_t>(formatCode);
    c.ids = {{5, 7}, {1, 10}};
    c.samplesPerFrame = 4;
    c.seed = 42;
    return c;
}

struct Recorder {
    explicit Recorder(RecorderConfig config)
        : model(std::move(config), [this](std::string_view line) { log.emplace_back(line); }) {}

    std::vector<Reply> Feed(const Bytes& bytes) { return model.Feed(bytes); }
    std::vector<Reply> Send(const CommandFrame& c) { return model.Feed(c); }

    // The bytes of the one Send reply to `c`; fails the test otherwise.
    Bytes Answer(const CommandFrame& c) {
        const std::vector<Reply> replies = Send(c);
        EXPECT_EQ(replies.size(), 1u);
        if (replies.size() != 1) return {};
        EXPECT_EQ(replies[0].kind, Reply::Kind::Send);
        return replies[0].bytes;
    }
    Bytes Frame(int n) {
        return Answer(MakeFrameRequest(static_cast<std::uint16_t>(n), model.Config().device.dataFormatCode == 3));
    }

    std::vector<std::string> log;
    RecorderModel model;
};

// A data frame as the host's decoder reads it.
struct ParsedFrame {
    std::uint16_t status = 0;
    std::size_t length = 0;  // L
    std::vector<SampleRecord> samples;
};

inline ParsedFrame ParseFrame(const Bytes& f, int formatCode) {
    ParsedFrame p;
    if (f.size() < kFrameHeaderBytes + 1 || f[0] != kSync0 || f[1] != kSync1) {
        ADD_FAILURE() << "not a data frame";
        return p;
    }
    p.status = static_cast<std::uint16_t>(f[3] << 8 | f[4]);
    p.length = static_cast<std::size_t>(f[5] << 8 | f[6]);
    EXPECT_EQ(f.size(), kFrameHeaderBytes + p.length + 1) << "a frame is 8 + L bytes";
    for (std::size_t k = kFrameHeaderBytes;
         k + kWireSampleBytes <= kFrameHeaderBytes + p.length && k + kWireSampleBytes <= f.size();
         k += kWireSampleBytes) {
        p.samples.push_back(DecodeSample(std::span<const std::uint8_t, kWireSampleBytes>(&f[k], kWireSampleBytes),
                                         TraitsFor(formatCode).sampleOrder));
    }
    return p;
}

// A frame with no samples: only its status word matters to the host.
inline void ExpectEmptyFrame(const Bytes& f, std::uint16_t status) {
    const ParsedFrame p = ParseFrame(f, 0);
    EXPECT_EQ(p.status, status);
    EXPECT_EQ(p.length, 0u);
}

inline bool HasSyncPair(const Bytes& b, std::size_t from = 0) {
    for (std::size_t i = from; i + 1 < b.size(); ++i) {
        if (b[i] == kSync0 && b[i + 1] == kSync1) return true;
    }
    return false;
}

}  // namespace quenda::sim::testing
