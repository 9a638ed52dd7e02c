#include "device/FrameDecoder.h"
#include "device/SampleCodec.h"

#include <gtest/gtest.h>

#include <vector>

namespace quenda {
namespace {

using Bytes = std::vector<std::uint8_t>;

SampleRecord Sample(int id, int second, int spo2 = 96, int pulse = 62) {
    SampleRecord r;
    r.id = static_cast<std::uint8_t>(id);
    r.year = 26;
    r.month = 12;
    r.day = 6;
    r.hour = 23;
    r.minute = 59;
    r.second = static_cast<std::uint8_t>(second);
    r.spo2 = static_cast<std::uint8_t>(spo2);
    r.pulseRate = static_cast<std::uint8_t>(pulse);
    r.auxValue = 511;
    return r;
}

Bytes Frame(std::uint16_t status, const std::vector<SampleRecord>& samples, int code, std::size_t extraBytes = 0) {
    const std::size_t length = samples.size() * 8 + extraBytes;
    Bytes f{0x55,
            0xAA,
            0x00,
            static_cast<std::uint8_t>(status >> 8),
            static_cast<std::uint8_t>(status),
            static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(length)};
    for (const auto& s : samples) {
        const auto wire = EncodeSample(s, TraitsFor(code).sampleOrder);
        f.insert(f.end(), wire.begin(), wire.end());
    }
    f.insert(f.end(), extraBytes, 0x77);
    f.push_back(0x5A);  // trailing byte, never examined
    return f;
}

struct DecoderFixture : ::testing::Test {
    RecordingStore store;
    std::vector<std::uint32_t> completions;
    FrameDecoder decoder{store, SampleByteOrder::LittleEndian, [this](std::uint32_t n) { completions.push_back(n); }};
};

TEST(SampleCodec, ByteOrderIsTheRecordersOwn) {
    const Bytes wire{0x80, 0, 0, 0, 0, 0, 0, 0x01};
    const auto big = DecodeSample(std::span<const std::uint8_t, 8>(wire.data(), 8), SampleByteOrder::BigEndian);
    EXPECT_EQ(big.id, 1);
    EXPECT_EQ(big.auxValue, 256);
    EXPECT_EQ(big.year + big.month + big.day + big.spo2 + big.pulseRate, 0);
    const auto little = DecodeSample(std::span<const std::uint8_t, 8>(wire.data(), 8), SampleByteOrder::LittleEndian);
    EXPECT_EQ(little.id, 0);

    for (const auto order : {SampleByteOrder::LittleEndian, SampleByteOrder::BigEndian}) {
        const auto r = Sample(127, 59, 127, 255);
        const auto bytes = EncodeSample(r, order);
        EXPECT_EQ(DecodeSample(std::span<const std::uint8_t, 8>(bytes), order), r);
    }
}

TEST_F(DecoderFixture, DecodesFramesHoweverTheBytesAreSplit) {
    for (int code : {0, 3}) {
        Bytes stream = Frame(0, {Sample(1, 0), Sample(2, 1)}, code);
        const Bytes second = Frame(1, {Sample(1, 2), Sample(1, 3), Sample(1, 4)}, code);
        stream.insert(stream.end(), second.begin(), second.end());
        for (std::size_t split = 1; split < stream.size(); split += 3) {
            store.ClearStore();
            store.FramesReceived = 0;
            completions.clear();
            FrameDecoder coded{store, TraitsFor(code).sampleOrder,
                               [this](std::uint32_t n) { completions.push_back(n); }};
            coded.Feed(std::span(stream).first(split));
            coded.Feed(std::span(stream).subspan(split));
            ASSERT_EQ(completions, (std::vector<std::uint32_t>{1, 2})) << "split " << split;
            ASSERT_EQ(store.IdCount(1), 4);
            ASSERT_EQ(store.IdCount(2), 1);
            EXPECT_EQ(store.IdRecords(1)[3], Sample(1, 4));
        }
    }
}

TEST_F(DecoderFixture, IgnoresBytesBeyondTheLastWholeSampleAndIdZero) {
    decoder.Feed(Frame(0, {Sample(4, 1)}, 0, 4));  // L = 12
    decoder.Feed(Frame(0, {Sample(0, 1), Sample(4, 2)}, 0));
    EXPECT_EQ(store.IdCount(4), 2);
    EXPECT_EQ(store.FramesReceived, 2u);
}

TEST_F(DecoderFixture, ShortFramesCountWithoutSamples) {
    decoder.Feed(Frame(0xFFFE, {}, 0));  // L = 0
    decoder.Feed(Frame(0, {}, 0, 3));    // L = 3
    EXPECT_EQ(completions, (std::vector<std::uint32_t>{1, 2}));
    for (int id = 1; id <= kIdSlots; ++id) EXPECT_EQ(store.IdCount(id), 0);
}

TEST_F(DecoderFixture, StatusWordShowsAsSoonAsItsBytesArrive) {
    const Bytes f = Frame(0xFFFC, {Sample(1, 1)}, 0);
    decoder.Feed(std::span(f).first(4));
    EXPECT_EQ(decoder.Status(), 0);
    decoder.Feed(f[4]);
    EXPECT_EQ(decoder.Status(), 0xFFFC);
}

TEST_F(DecoderFixture, ResynchronisesAfterStrayBytesOfAnyLength) {
    // One stray byte before a frame used to put the decoder out of step for
    // good, because frames have even lengths.
    for (const Bytes& garbage : {Bytes{0x12}, Bytes{0x12, 0x55}, Bytes{0x55, 0x55}, Bytes{0xAA, 0x55, 0x12},
                                 Bytes{0x55}, Bytes{1, 2, 3, 4, 5}}) {
        store.ClearStore();
        decoder.Reset();
        completions.clear();
        decoder.Feed(garbage);
        decoder.Feed(Frame(0, {Sample(9, 1)}, 2));
        decoder.Feed(Frame(1, {Sample(9, 2)}, 2));
        EXPECT_EQ(completions.size(), 2u) << "garbage of " << garbage.size();
        EXPECT_EQ(store.IdCount(9), 2);
    }
}

TEST_F(DecoderFixture, OversizeLengthIsTreatedAsLostSync) {
    Bytes bad{0x55, 0xAA, 0x00, 0x00, 0x05, 0x13, 0x88};  // L = 5000
    bad.insert(bad.end(), 5001, 0x00);
    decoder.Feed(bad);
    EXPECT_EQ(decoder.OversizeFrames(), 1u);
    EXPECT_TRUE(completions.empty());
    decoder.Feed(Frame(5, {Sample(3, 1)}, 0));
    EXPECT_EQ(completions.size(), 1u);
    EXPECT_EQ(store.IdCount(3), 1);

    // The largest frame that fits the buffer is still decoded.
    std::vector<SampleRecord> full(524, Sample(6, 0));
    decoder.Feed(Frame(6, full, 0));
    EXPECT_EQ(store.IdCount(6), 524);
}

TEST_F(DecoderFixture, ReportsSamplesDiscardedAtCapacity) {
    std::vector<SampleRecord> frame(500, Sample(8, 0));
    while (store.IdCount(8) < kMaxSamples) decoder.Feed(Frame(0, frame, 0));
    EXPECT_EQ(store.IdCount(8), kMaxSamples);
    EXPECT_TRUE(decoder.SamplesDiscarded());
}

}  // namespace
}  // namespace quenda
