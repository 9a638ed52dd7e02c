#pragma once

#include "device/Commands.h"
#include "device/RecorderTraits.h"
#include "store/RecordingStore.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

namespace quenda {

class MessageSink;

// Turns the byte stream of a download into samples of the recording store, one
// byte at a time, whatever way the bytes were split into reads.
//
// A frame: 55 AA, one unexamined byte, status word S (BE), length L (BE),
// L sample bytes, one trailing byte. Lost or garbled frames are not detected
// here; the receive side makes them good by asking again after an idle spell.
//
// Runs on the download's receive thread only; Status() is also read by the
// request thread, hence atomic.
class FrameDecoder {
public:
    using FrameCompleteFn = std::function<void(std::uint32_t framesReceived)>;

    FrameDecoder(RecordingStore& store, SampleByteOrder sampleOrder, FrameCompleteFn onFrameComplete,
                 MessageSink* messages = nullptr);

    // Back to "searching for 55 AA", status word 0, flags cleared.
    void Reset();

    void Feed(std::uint8_t byte);
    void Feed(std::span<const std::uint8_t> bytes) {
        for (auto b : bytes) Feed(b);
    }

    // Status word of the frame being received (0 before the first one).
    std::uint16_t Status() const { return status_.load(std::memory_order_acquire); }
    // Some samples could not be stored because their ID was full.
    bool SamplesDiscarded() const { return samplesDiscarded_; }
    // Frames whose header announced more bytes than the frame buffer holds.
    std::uint32_t OversizeFrames() const { return oversizeFrames_; }

private:
    void StoreSamples();
    void CompleteFrame();

    RecordingStore& store_;
    SampleByteOrder sampleOrder_;
    FrameCompleteFn onFrameComplete_;
    MessageSink* messages_;

    std::array<std::uint8_t, kFrameBufferBytes> buffer_{};
    std::size_t position_ = 0;
    bool inFrame_ = false;
    std::size_t length_ = 0;
    std::atomic<std::uint16_t> status_{0};
    bool samplesDiscarded_ = false;
    std::uint32_t oversizeFrames_ = 0;
};

}  // namespace quenda
