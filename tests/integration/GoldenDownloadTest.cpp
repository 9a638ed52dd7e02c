// A download kept as bytes: the data frames a simulated recorder sent for a
// short download, decoded and saved as data files, must give exactly the kept
// files. The capture is fixed, so a change in the sample coding shows here even
// though the simulator codes its samples with the same code as the decoder.
// tests/data/README.md says how to make the files again.
#include "device/FrameDecoder.h"
#include "device/RecorderTraits.h"
#include "store/DataFile.h"
#include "support/TempDir.h"
#include "tools/sim/RecorderModel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quenda {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kDataDir = QUENDA_GOLDEN_DIR;
constexpr const char* kTitle = "Golden download";

struct Case {
    int formatCode;
    std::vector<sim::IdPlan> ids;
};
const Case kCases[] = {
    {2, {{1, 40}, {5, 25}}},  // little-endian samples, oldest first
    {3, {{1, 40}, {5, 25}}},  // big-endian samples, newest first
};

fs::path CapturePath(int code) { return kDataDir / ("download-code" + std::to_string(code) + ".bin"); }
// Both recorders hold the same recordings, so both captures give the same files.
fs::path ExpectedPath(int id) { return kDataDir / ("download-ID" + std::to_string(id) + ".dat"); }

Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes the recorder sends for frames 0 .. F-1, asked for in order.
Bytes CaptureFromSimulator(const Case& c) {
    sim::RecorderConfig config;
    config.device.dataFormatCode = static_cast<std::uint16_t>(c.formatCode);
    config.ids = c.ids;
    config.samplesPerFrame = 16;
    sim::RecorderModel model(config);
    Bytes capture;
    for (int frame = 0; frame < model.FramesToDownload(); ++frame) {
        const bool lowByteFirst = TraitsFor(c.formatCode).frameNumberLowByteFirst;
        for (const auto& reply : model.Feed(MakeFrameRequest(static_cast<std::uint16_t>(frame), lowByteFirst))) {
            capture.insert(capture.end(), reply.bytes.begin(), reply.bytes.end());
        }
    }
    return capture;
}

TEST(GoldenDownload, KeptCaptureDecodesIntoTheKeptDataFiles) {
    const bool regenerate = std::getenv("QUENDA_REGENERATE_GOLDEN") != nullptr;
    test::TempDir dir{"quenda-golden"};
    for (const Case& c : kCases) {
        SCOPED_TRACE("format code " + std::to_string(c.formatCode));
        if (regenerate) {
            const Bytes capture = CaptureFromSimulator(c);
            std::ofstream(CapturePath(c.formatCode), std::ios::binary)
                .write(reinterpret_cast<const char*>(capture.data()), static_cast<std::streamsize>(capture.size()));
        }
        const Bytes capture = ReadAll(CapturePath(c.formatCode));
        ASSERT_FALSE(capture.empty()) << CapturePath(c.formatCode);

        RecordingStore store;
        const RecorderTraits traits = TraitsFor(c.formatCode);
        std::uint32_t frames = 0;
        FrameDecoder decoder(store, traits.sampleOrder, [&](std::uint32_t n) { frames = n; });
        decoder.Feed(capture);
        EXPECT_GT(frames, 0u);

        for (const auto& plan : c.ids) {
            SCOPED_TRACE("ID " + std::to_string(plan.id));
            ASSERT_EQ(store.IdCount(plan.id), plan.samples);
            store.SelectId(plan.id, traits.recordOrder);
            // Regenerating writes the expected files from the first capture;
            // the other is still compared with them.
            const bool writeExpected = regenerate && &c == &kCases[0];
            const fs::path saved = writeExpected ? ExpectedPath(plan.id) : dir / "saved.dat";
            ASSERT_TRUE(SaveCurrentDataSet(saved, store, kTitle));
            EXPECT_TRUE(ReadAll(saved) == ReadAll(ExpectedPath(plan.id))) << "differs from " << ExpectedPath(plan.id);
        }
    }
}

}  // namespace
}  // namespace quenda
