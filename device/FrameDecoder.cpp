#include "device/FrameDecoder.h"

#include "device/MessageSink.h"
#include "device/SampleCodec.h"

namespace quenda {

FrameDecoder::FrameDecoder(RecordingStore& store, SampleByteOrder sampleOrder, FrameCompleteFn onFrameComplete,
                           MessageSink* messages)
    : store_(store), sampleOrder_(sampleOrder), onFrameComplete_(std::move(onFrameComplete)), messages_(messages) {}

void FrameDecoder::Reset() {
    buffer_.fill(0);
    position_ = 0;
    inFrame_ = false;
    length_ = 0;
    status_.store(0, std::memory_order_release);
    samplesDiscarded_ = false;
    oversizeFrames_ = 0;
}

void FrameDecoder::Feed(std::uint8_t byte) {
    buffer_[position_++] = byte;

    if (position_ == 2) {
        inFrame_ = buffer_[0] == kSync0 && buffer_[1] == kSync1;
        if (!inFrame_) {
            // Drop only the first byte: the second may be the 55 of a real frame.
            // Dropping both would leave the decoder out of step for good, since
            // every frame has an even length.
            buffer_[0] = buffer_[1];
            position_ = 1;
        }
    }
    if (!inFrame_) return;

    if (position_ == 5) {
        status_.store(static_cast<std::uint16_t>(buffer_[3] << 8 | buffer_[4]), std::memory_order_release);
    }
    if (position_ == kFrameHeaderBytes) {
        length_ = static_cast<std::size_t>(buffer_[5] << 8 | buffer_[6]);
        if (length_ > kMaxFramePayload) {
            // Cannot be a frame we asked for: treat it as lost sync and look for
            // the next 55 AA rather than write past the frame buffer.
            ++oversizeFrames_;
            inFrame_ = false;
            position_ = 0;
            return;
        }
    }
    if (position_ >= kFrameHeaderBytes && position_ == length_ + kFrameHeaderBytes && length_ >= kWireSampleBytes) {
        StoreSamples();
    } else if (position_ >= kFrameHeaderBytes && position_ == length_ + kFrameHeaderBytes + 1) {
        CompleteFrame();
    }
}

void FrameDecoder::StoreSamples() {
    for (std::size_t k = kFrameHeaderBytes; k + kWireSampleBytes <= kFrameHeaderBytes + length_;
         k += kWireSampleBytes) {
        const SampleRecord record =
            DecodeSample(std::span<const std::uint8_t, kWireSampleBytes>(&buffer_[k], kWireSampleBytes), sampleOrder_);
        if (record.id == 0) continue;
        const auto result = store_.AppendSample(record);
        if (result == RecordingStore::AppendResult::Discarded) {
            samplesDiscarded_ = true;
        } else if (result == RecordingStore::AppendResult::NoMemory) {
            if (messages_) messages_->Notify({NoticeKind::NoMemory});
            return;  // the rest of this frame is lost; the next frame tries again
        }
    }
}

void FrameDecoder::CompleteFrame() {
    position_ = 0;
    const std::uint32_t frames = store_.FramesReceived.fetch_add(1, std::memory_order_acq_rel) + 1;
    if (onFrameComplete_) onFrameComplete_(frames);
}

}  // namespace quenda
