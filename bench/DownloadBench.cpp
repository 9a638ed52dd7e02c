// Download efficiency against the simulator paced like a UART at 115,200 baud:
// the time the frame bytes need on the wire divided by the wall time of the
// download. The protocol waits for each frame before asking for the next, so
// only the polling gap and the request's own trip may be lost.
//   bench_download [HOURS]     default 2 hours of one ID, full 524-sample frames
#include "base/Settings.h"
#include "device/CaptureEngine.h"
#include "device/MessageSink.h"
#include "integration/SimProcess.h"
#include "link/SerialPort.h"

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace {

class QuietSink final : public quenda::MessageSink {
public:
    void ShowMessage(std::string_view) override {}
};

class NoPorts final : public quenda::PortEnumerator {
public:
    std::vector<std::string> FriendlyNames() override { return {}; }
};

}  // namespace

int main(int argc, char** argv) {
    using namespace quenda;
    const double hours = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int samples = static_cast<int>(hours * 3600);
    constexpr int kPerFrame = 524;
    constexpr unsigned kBaud = 115200;
    test::SimProcess sim({"--ids", "1:" + std::to_string(samples), "--samples-per-frame", std::to_string(kPerFrame),
                          "--baud", std::to_string(kBaud)});

    const auto iniDir = std::filesystem::temp_directory_path() / ("quenda-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(iniDir);
    RecordingStore store;
    Settings settings(iniDir / "Quenda.ini");
    SerialPort port;
    NoPorts ports;
    QuietSink sink;
    SystemClock clock;
    CaptureEngine engine(store, settings, port, ports, sink, clock);

    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    ReceiveResult result{};
    engine.SetCallbacks({{}, {}, [&](ReceiveResult r) {
                             std::lock_guard lock(m);
                             done = true;
                             result = r;
                             cv.notify_all();
                         }});
    engine.Open();
    engine.RestrictToPort(sim.path());
    if (engine.Start() != ConnectionState::Connected) {
        std::fprintf(stderr, "could not connect to the simulator\n");
        return 1;
    }
    // Start returns right after the workers were started.
    const auto started = std::chrono::steady_clock::now();
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return done; });
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int frames = engine.FramesToDownload();
    engine.Stop();
    std::filesystem::remove_all(iniDir);

    const double bytes = 8.0 * frames + 8.0 * store.IdCount(1);
    const double wire = bytes * 10 / kBaud;
    std::printf("download: %d samples in %d frames, %.0f bytes, result %d\n", store.IdCount(1), frames, bytes,
                static_cast<int>(result));
    std::printf("wire time %.3f s, wall time %.3f s, efficiency %.3f\n", wire, wall, wire / wall);
    return result == ReceiveResult::Complete && store.IdCount(1) == samples ? 0 : 1;
}
