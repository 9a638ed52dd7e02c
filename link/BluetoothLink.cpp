#include "link/BluetoothLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace quenda {
namespace {

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

std::string ErrnoText(int err) { return std::generic_category().message(err); }

int MsLeft(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - SteadyClock::now()).count();
    return static_cast<int>(std::max<Ms::rep>(left, 0));
}

}  // namespace

BluetoothLink::BluetoothLink(RadioChooser chooser)
    : BluetoothLink(std::move(chooser), std::make_unique<BlueZRadioAccess>()) {}

BluetoothLink::BluetoothLink(RadioChooser chooser, std::unique_ptr<RadioAccess> radios)
    : chooser_(std::move(chooser)), radios_(std::move(radios)) {}

BluetoothLink::~BluetoothLink() { Disconnect(); }

void BluetoothLink::SetRadioChooser(RadioChooser chooser) {
    std::lock_guard lock(lifecycleMutex_);
    chooser_ = std::move(chooser);
}

bool BluetoothLink::FindAndConnectRadio() {
    RadioChooser chooser;
    {
        std::lock_guard lock(lifecycleMutex_);
        CloseSocketLocked();
        chooser = chooser_;
    }

    // Neither the search nor the chooser holds a lock: the chooser is a modal
    // dialog whose event loop may well ask the link for its state.
    std::vector<RadioInfo> found;
    std::string error;
    if (!radios_->Scan(found, error)) {
        SetError(error);
        return false;
    }
    if (found.empty()) {
        SetError("No Bluetooth radio found");
        return false;
    }
    if (!chooser) {
        SetError("No way to choose a Bluetooth radio");
        return false;
    }
    const std::optional<std::size_t> pick = chooser(found);
    if (!pick) {
        SetError("No Bluetooth radio chosen");
        return false;
    }
    if (*pick >= found.size()) {
        SetError("The chosen Bluetooth radio is not in the list");
        return false;
    }

    std::lock_guard lock(lifecycleMutex_);
    chosenAddress_ = found[*pick].address;
    return ConnectToLocked(chosenAddress_);
}

bool BluetoothLink::IsConnected() {
    if (!connected_) return false;
    std::shared_lock lock(socketMutex_);
    const int fd = fd_;
    if (fd < 0 || !connected_) return false;

    // No event asked for: poll reports only hang-up and error conditions.
    pollfd p{fd, 0, 0};
    if (::poll(&p, 1, 0) <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return true;
    // The last bytes a closing peer sent are still the caller's to read.
    int queued = 0;
    if ((p.revents & POLLNVAL) == 0 && ::ioctl(fd, FIONREAD, &queued) == 0 && queued > 0) {
        return true;
    }
    MarkLost("The Bluetooth connection was closed");
    return false;
}

bool BluetoothLink::ConnectSocket() {
    if (IsConnected()) return true;
    std::lock_guard lock(lifecycleMutex_);
    if (connected_) return true;  // another thread connected meanwhile
    if (chosenAddress_.empty()) {
        SetError("No Bluetooth radio has been chosen");
        return false;
    }
    return ConnectToLocked(chosenAddress_);
}

bool BluetoothLink::Send(std::span<const std::uint8_t> bytes) {
    if (!connected_) return false;
    std::shared_lock lock(socketMutex_);
    const int fd = fd_;
    if (fd < 0 || !connected_) return false;

    std::size_t sent = 0;
    const std::size_t total = bytes.size();
    while (sent < total) {
        // MSG_NOSIGNAL: a vanished peer must fail the send, not kill the program.
        const ssize_t n = ::send(fd, bytes.data() + sent, total - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const auto deadline = SteadyClock::now() + kSendStallTimeout;
            int ready = 0;
            do {
                pollfd p{fd, POLLOUT, 0};
                ready = ::poll(&p, 1, MsLeft(deadline));
            } while (ready < 0 && errno == EINTR);
            if (ready == 0) {
                SetError("The Bluetooth radio stopped accepting data");
                return false;
            }
            continue;  // writable, or an error the next send will report
        }
        MarkLost("Bluetooth send failed: " + ErrnoText(n < 0 ? errno : EIO));
        return false;
    }
    return true;
}

bool BluetoothLink::Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) {
    const std::size_t before = out.size();
    out.resize(before + (maxBytes == 0 ? kDefaultReceiveCapacity : maxBytes));
    const std::size_t got = ReceiveInto(std::span(out).subspan(before), wait);
    out.resize(before + got);
    return got > 0 || IsConnected();
}

std::size_t BluetoothLink::ReceiveInto(std::span<std::uint8_t> buffer, std::chrono::milliseconds wait) {
    if (buffer.empty() || !connected_) return 0;
    std::shared_lock lock(socketMutex_);
    const int fd = fd_;
    if (fd < 0 || !connected_) return 0;

    const auto deadline = SteadyClock::now() + std::max(wait, Ms::zero());
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, MsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            MarkLost("Bluetooth receive failed: " + ErrnoText(errno));
            return 0;
        }
        if (ready == 0) return 0;

        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) return static_cast<std::size_t>(n);
        if (n == 0) {
            MarkLost("The Bluetooth connection was closed");
            return 0;
        }
        if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
        MarkLost("Bluetooth receive failed: " + ErrnoText(errno));
        return 0;
    }
}

void BluetoothLink::AdoptConnectedSocket(int fd) {
    std::lock_guard lock(lifecycleMutex_);
    CloseSocketLocked();
    // The socket did not come from a radio we chose, so there is none to
    // reconnect to once it is gone.
    chosenAddress_.clear();
    if (fd >= 0) InstallLocked(fd);
}

void BluetoothLink::Disconnect() {
    std::lock_guard lock(lifecycleMutex_);
    CloseSocketLocked();
}

std::string BluetoothLink::LastError() const {
    std::lock_guard lock(errorMutex_);
    return lastError_;
}

void BluetoothLink::SetError(std::string text) {
    std::lock_guard lock(errorMutex_);
    lastError_ = std::move(text);
}

void BluetoothLink::MarkLost(const std::string& why) {
    // Only the first thread to notice reports it; the descriptor stays open
    // until the owner closes it, as another thread may still be using it.
    if (connected_.exchange(false)) SetError(why);
}

void BluetoothLink::CloseSocketLocked() {
    connected_ = false;
    const int fd = fd_;
    if (fd < 0) return;
    // Wakes a send or receive waiting in poll, so the exclusive lock below
    // does not wait out their time-outs.
    ::shutdown(fd, SHUT_RDWR);
    std::unique_lock socketLock(socketMutex_);
    ::close(fd);
    fd_ = -1;
}

bool BluetoothLink::ConnectToLocked(const std::string& address) {
    CloseSocketLocked();
    std::string error;
    const int fd = radios_->Connect(address, error);
    if (fd < 0) {
        SetError(error.empty() ? "Could not connect to " + address : error);
        return false;
    }
    InstallLocked(fd);
    SetError({});
    return true;
}

void BluetoothLink::InstallLocked(int fd) {
    // Sends and receives wait in poll, never in the call itself.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    std::unique_lock socketLock(socketMutex_);
    fd_ = fd;
    connected_ = true;
}

}  // namespace quenda
