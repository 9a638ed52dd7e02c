#pragma once

#include "link/PortDiscovery.h"
#include "link/SerialLink.h"

#include <cerrno>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quenda::test {

// A machine's serial ports for the connect step: which names open, and on
// which of them a scripted peer answers. Replies are queued at once.
class FakeSerialLink final : public SerialLink {
public:
    using Peer = std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& command, unsigned baud)>;

    bool Open(const std::string& name, unsigned baud) override {
        Close();
        opens.push_back(name + "@" + std::to_string(baud));
        failureErrno_ = !present.count(name) ? ENOENT : refused.count(name) ? EACCES : 0;
        if (failureErrno_ != 0 || refuseBaud.count(baud)) return false;
        open_ = name;
        baud_ = baud;
        return true;
    }
    bool Close() override {
        open_.clear();
        queued_.clear();
        return true;
    }
    bool IsOpen() const override { return !open_.empty(); }
    std::string OpenFailureReason() const override { return failureErrno_ == EACCES ? "refused" : "no such port"; }
    int OpenFailureErrno() const override { return failureErrno_; }

    bool Send(std::span<const std::uint8_t> bytes) override {
        if (open_.empty()) return false;
        std::vector<std::uint8_t> command(bytes.begin(), bytes.end());
        sent.push_back(open_ + ":" + std::to_string(command.size() > 2 ? command[2] : 0));
        sentBytes.push_back(command);
        if (auto it = peers.find(open_); it != peers.end()) {
            const auto reply = it->second(command, baud_);
            queued_.insert(queued_.end(), reply.begin(), reply.end());
        }
        return true;
    }
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds) override {
        if (open_.empty()) return false;
        const std::size_t n = maxBytes == 0 ? queued_.size() : std::min(maxBytes, queued_.size());
        out.insert(out.end(), queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
        queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
        return true;
    }
    bool IsConnected() override { return IsOpen(); }

    std::set<std::string> present;
    std::set<std::string> refused;  // present, but the user may not open them
    std::set<unsigned> refuseBaud;
    std::map<std::string, Peer> peers;
    std::vector<std::string> opens;  // "NAME@BAUD" for every Open, in order
    std::vector<std::string> sent;   // "NAME:CODE" (decimal command code)
    std::vector<std::vector<std::uint8_t>> sentBytes;

private:
    std::string open_;
    unsigned baud_ = 0;
    int failureErrno_ = 0;
    std::deque<std::uint8_t> queued_;
};

class FakeEnumerator final : public quenda::PortEnumerator {
public:
    std::vector<std::string> FriendlyNames() override { return names; }
    std::vector<std::string> names;
};

}  // namespace quenda::test
