#pragma once

// Runs quenda-recorder-sim for a test: starts it, learns its pseudo-terminal
// path, and stops it again when the object goes away.
//
//   quenda::test::SimProcess sim({"--ids", "1:600", "--fault", "drop-frame:2"});
//   port.Open(sim.path(), 4800);          // any number of opens and closes
//   ...
//   EXPECT_THAT(sim.log(), Contains("frame 2"));
//
// The test target defines QUENDA_SIM_PATH as the simulator binary:
//   target_compile_definitions(T PRIVATE QUENDA_SIM_PATH="$<TARGET_FILE:quenda-recorder-sim>")
//   add_dependencies(T quenda-recorder-sim)

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quenda::test {

class SimProcess {
public:
#ifdef QUENDA_SIM_PATH
    static constexpr const char* kDefaultBinary = QUENDA_SIM_PATH;
#else
    static constexpr const char* kDefaultBinary = "quenda-recorder-sim";
#endif

    // Starts the simulator with `args` (plus a --log file of its own) and waits
    // up to `startTimeout` for the pty path. Throws std::runtime_error, saying
    // why, when it does not come.
    explicit SimProcess(std::vector<std::string> args = {}, std::string binary = kDefaultBinary,
                        std::chrono::milliseconds startTimeout = std::chrono::seconds(10)) {
        char logTemplate[] = "/tmp/quenda-sim-XXXXXX.log";
        const int logFd = mkstemps(logTemplate, 4);
        if (logFd < 0) throw std::runtime_error("SimProcess: cannot create a log file");
        close(logFd);
        logPath_ = logTemplate;

        args.insert(args.begin(), {binary, "--log", logPath_});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("SimProcess: pipe failed");
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls between fork and exec.
            dup2(fds[1], STDOUT_FILENO);
            // A test that crashes must not leave simulators behind.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (getppid() != parent) _exit(127);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        stdout_ = fds[0];
        if (pid_ < 0) {
            Cleanup();
            throw std::runtime_error("SimProcess: fork failed");
        }
        if (!ReadPath(startTimeout)) {
            const std::string why = "SimProcess: " + binary + " gave no pty path within " +
                                    std::to_string(startTimeout.count()) + " ms (" + Describe(Stop()) + ")";
            Cleanup();
            throw std::runtime_error(why);
        }
    }

    ~SimProcess() {
        Stop();
        Cleanup();
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The slave side of the pseudo-terminal, e.g. /dev/pts/3.
    const std::string& path() const { return path_; }
    pid_t pid() const { return pid_; }
    const std::string& logPath() const { return logPath_; }

    // The simulator's log so far, one received command per line.
    std::vector<std::string> log() const {
        std::vector<std::string> lines;
        std::ifstream in(logPath_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // Waits (polling the log) until it holds `line`; false after `timeout`.
    bool waitForLogLine(std::string_view line, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            for (const std::string& l : log()) {
                if (l == line) return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Sends SIGTERM and reaps the process (SIGKILL after 5 s). Returns the
    // waitpid status, or -1 when it was stopped already.
    int Stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        pid_ = -1;
        return status;
    }

private:
    bool ReadPath(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd pfd{stdout_, POLLIN, 0};
            const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return false;
            char c;
            const ssize_t n = read(stdout_, &c, 1);
            if (n <= 0) return false;  // exited before printing
            if (c == '\n') break;
            line += c;
        }
        path_ = line;
        return !path_.empty();
    }

    static std::string Describe(int status) {
        if (status == -1) return "not running";
        if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
        if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
        return "status " + std::to_string(status);
    }

    void Cleanup() {
        if (stdout_ >= 0) close(stdout_);
        stdout_ = -1;
        if (!logPath_.empty()) std::remove(logPath_.c_str());
        logPath_.clear();
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string path_;
    std::string logPath_;
};

}  // namespace quenda::test
