// quenda-recorder-sim: a recorder on a pseudo-terminal, for the integration
// tests and for running Quenda without a recorder attached.

#include "tools/sim/Options.h"
#include "tools/sim/PtyServer.h"
#include "tools/sim/RecorderModel.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
    using namespace quenda::sim;

    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "quenda-recorder-sim: %s\nTry --help.\n", parsed.error.c_str());
        return 2;
    }
    const SimOptions& options = parsed.options;
    if (options.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }

    std::FILE* log = nullptr;
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "w");
        if (!log) {
            std::perror(options.logPath.c_str());
            return 1;
        }
    }
    const auto started = std::chrono::steady_clock::now();
    auto verbose = [&](std::string_view line) {
        if (!options.verbose) return;
        const std::chrono::duration<double> t = std::chrono::steady_clock::now() - started;
        std::fprintf(stderr, "[sim %9.3f] %.*s\n", t.count(), static_cast<int>(line.size()), line.data());
    };
    auto logLine = [&](std::string_view line) {
        if (log) {
            // Flushed per line: tests read the file while we run, and a killed
            // simulator must not lose the end of it.
            std::fprintf(log, "%.*s\n", static_cast<int>(line.size()), line.data());
            std::fflush(log);
        }
        verbose(line);
    };

    // Signals stay blocked except inside the server's wait, which then returns.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, s);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int status = 0;
    try {
        RecorderModel model(options.recorder, logLine);
        PtyServer server(model, {options.pacing ? options.recorder.device.transferBaud : 0, options.linkPath, verbose});
        std::string error;
        if (!server.Open(error)) {
            std::fprintf(stderr, "quenda-recorder-sim: %s\n", error.c_str());
            status = 1;
        } else {
            std::printf("%s\n", server.SlavePath().c_str());
            std::fflush(stdout);
            verbose("serving " + server.SlavePath() + ", " + std::to_string(model.FramesToDownload()) + " frames");
            status = server.Serve(stopRequested, waitMask) ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quenda-recorder-sim: %s\n", e.what());
        status = 1;
    }
    if (log) std::fclose(log);
    return status;
}
