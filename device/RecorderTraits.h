#pragma once

#include "store/RecordingStore.h"

#include <chrono>

namespace quenda {

// Byte order of the 8-byte sample word on the wire.
enum class SampleByteOrder { LittleEndian, BigEndian };

// Everything the recorder's data format code decides, in one place. Worked
// out once when the recorder identifies itself; the decoder, the download,
// the frame requests, the delete command and SelectId take what they need.
struct RecorderTraits {
    SampleByteOrder sampleOrder = SampleByteOrder::LittleEndian;
    // Order of each ID's samples in the recorder's memory, hence in a download.
    RecordOrder recordOrder = RecordOrder::OldestFirst;
    // Frame requests carry the frame number low byte first (serial link only;
    // the Bluetooth link always sends it high byte first).
    bool frameNumberLowByteFirst = false;
    // The recorder can erase one ID; others erase everything whatever ID
    // they are sent.
    bool canDeleteSingleId = false;
    // Least time between two download polls.
    std::chrono::milliseconds pollGap{9};

    bool operator==(const RecorderTraits&) const = default;
};

// The traits of a format code; unknown codes get those of the common recorder.
RecorderTraits TraitsFor(int dataFormatCode);

}  // namespace quenda
