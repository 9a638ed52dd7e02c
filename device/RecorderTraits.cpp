#include "device/RecorderTraits.h"

namespace quenda {

RecorderTraits TraitsFor(int dataFormatCode) {
    RecorderTraits traits;
    const int code = dataFormatCode;
    // Recorders with codes 1, 3 and 4 send the sample word most significant
    // byte first, and are the faster ones: they are polled more often.
    if (code == 1 || code == 3 || code == 4) {
        traits.sampleOrder = SampleByteOrder::BigEndian;
        traits.pollGap = std::chrono::milliseconds{6};
    }
    if (code == 1 || code == 3 || code == 4 || code == 11) traits.recordOrder = RecordOrder::NewestFirst;
    traits.frameNumberLowByteFirst = code == 3;
    traits.canDeleteSingleId = code == 1 || code == 2 || code == 14;
    return traits;
}

}  // namespace quenda
