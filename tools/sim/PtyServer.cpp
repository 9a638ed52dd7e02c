#include "tools/sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quenda::sim {

namespace {

using namespace std::chrono_literals;

// The recorder needs a moment to parse a command before it answers.
constexpr auto kReplyLatency = 2ms;
// When paced, bytes are written in bursts of about this much line time.
constexpr auto kBurst = 2ms;

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PtyServer::PtyServer(RecorderModel& model, Settings settings) : model_(model), settings_(std::move(settings)) {
    if (settings_.baud > 0) {
        // Start bit, eight data bits, stop bit.
        byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / settings_.baud);
    }
}

PtyServer::~PtyServer() {
    if (linked_) {
        // Remove the link only if it still points at us; another simulator may
        // have taken the name over.
        char target[4096];
        const ssize_t n = readlink(settings_.linkPath.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string_view(target, static_cast<std::size_t>(n)) == slavePath_) {
            unlink(settings_.linkPath.c_str());
        }
    }
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

bool PtyServer::Open(std::string& error) {
    char name[256];
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        error = ErrnoText("openpty");
        return false;
    }
    slavePath_ = name;
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) {
        error = ErrnoText("tcgetattr");
        return false;
    }
    // Raw, so no byte of a frame is translated, swallowed or echoed back.
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);

    if (!settings_.linkPath.empty()) {
        const char* link = settings_.linkPath.c_str();
        struct stat st {};
        if (lstat(link, &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = settings_.linkPath + " exists and is not a symlink";
                return false;
            }
            unlink(link);
        }
        if (symlink(name, link) != 0) {
            error = ErrnoText(("symlink " + settings_.linkPath).c_str());
            return false;
        }
        linked_ = true;
    }
    return true;
}

bool PtyServer::Serve(const volatile std::sig_atomic_t& stopRequested, const sigset_t& waitMask) {
    while (!stopRequested) {
        const auto now = SteadyClock::now();
        bool wantWrite = false;
        std::optional<SteadyClock::time_point> wakeAt;
        SendDue(now, wantWrite, wakeAt);

        pollfd pfd{master_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wakeAt && !wantWrite) {
            const auto wait = std::max(std::chrono::nanoseconds(0), *wakeAt - SteadyClock::now());
            timeout.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        if (ppoll(&pfd, 1, timeoutPtr, &waitMask) < 0) {
            if (errno == EINTR) continue;
            Note(ErrnoText("ppoll"));
            return false;
        }
        if (pfd.revents & POLLIN) {
            if (!ReadCommands()) return false;
        } else if (pfd.revents & (POLLHUP | POLLERR)) {
            // Not expected while we hold the slave side; avoid spinning if it happens.
            usleep(20'000);
        }
    }
    return true;
}

bool PtyServer::ReadCommands() {
    std::uint8_t buf[4096];
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR || errno == EIO) return true;
        Note(ErrnoText("read"));
        return false;
    }
    // The host sets exclusive mode on the port. On a pty that flag lives as long
    // as the pty, not the host's descriptor, so without root the host could not
    // reopen the port it just closed. Its own lock file or flock still keeps
    // other programs out.
    ioctl(slave_, TIOCNXCL);
    Queue(model_.Feed(std::span(buf, static_cast<std::size_t>(n))));
    return true;
}

void PtyServer::Queue(std::vector<Reply> replies) {
    const auto now = SteadyClock::now();
    const auto latency = settings_.baud > 0 ? std::chrono::nanoseconds(kReplyLatency) : std::chrono::nanoseconds(0);
    for (Reply& r : replies) {
        if (r.kind == Reply::Kind::AbandonOutput) {
            std::size_t dropped = 0;
            std::erase_if(queue_, [&dropped](const Outgoing& o) {
                if (o.abandonOnStop) dropped += o.bytes.size() - o.sent;
                return o.abandonOnStop;
            });
            if (dropped > 0) Note("abandoned " + std::to_string(dropped) + " unsent bytes");
            continue;
        }
        queue_.push_back({std::move(r.bytes), now + latency + r.delay, 0, r.abandonOnStop});
    }
}

void PtyServer::SendDue(SteadyClock::time_point now, bool& wantWrite, std::optional<SteadyClock::time_point>& wakeAt) {
    const bool paced = byteTime_.count() > 0;
    while (!queue_.empty()) {
        Outgoing& o = queue_.front();
        if (now < o.due) {
            wakeAt = o.due;
            return;
        }
        if (o.sent == 0 && lineFree_ < o.due) lineFree_ = o.due;  // the line was idle
        std::size_t n = o.bytes.size() - o.sent;
        if (paced) {
            if (now < lineFree_) {
                wakeAt = lineFree_ + (byteTime_ < kBurst ? kBurst - byteTime_ : std::chrono::nanoseconds(0));
                return;
            }
            n = std::min<std::size_t>(n, static_cast<std::size_t>((now - lineFree_) / byteTime_) + 1);
        }
        const ssize_t w = n == 0 ? 0 : write(master_, o.bytes.data() + o.sent, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                wantWrite = true;  // the host is not reading; wait for room
                return;
            }
            Note(ErrnoText("write") + "; dropping queued replies");
            queue_.clear();
            return;
        }
        o.sent += static_cast<std::size_t>(w);
        lineFree_ += w * byteTime_;
        if (o.sent == o.bytes.size()) {
            Note("sent " + std::to_string(o.bytes.size()) + " bytes");
            queue_.pop_front();
            continue;
        }
        if (static_cast<std::size_t>(w) < n) {
            wantWrite = true;
            return;
        }
    }
}

void PtyServer::Note(const std::string& text) const {
    if (settings_.note) settings_.note(text);
}

}  // namespace quenda::sim
