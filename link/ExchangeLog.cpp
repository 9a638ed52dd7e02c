#include "link/ExchangeLog.h"

#include "base/AtomicFile.h"

#include <cstdio>

namespace quenda {

void ExchangeLog::Clear() {
    std::lock_guard lock(mutex_);
    start_ = std::chrono::steady_clock::now();
    entries_.clear();
    received_.clear();
    kept_[0] = kept_[1] = dropped_[0] = dropped_[1] = 0;
}

void ExchangeLog::Record(Direction direction, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    std::lock_guard lock(mutex_);
    const auto d = static_cast<std::size_t>(direction);
    const std::size_t room = kMaxBytes - kept_[d];
    const auto kept = bytes.first(std::min(room, bytes.size()));
    dropped_[d] += bytes.size() - kept.size();
    if (kept.empty()) return;
    kept_[d] += kept.size();
    entries_.push_back({std::chrono::steady_clock::now() - start_, direction, {kept.begin(), kept.end()}});
    if (direction == Direction::Received) received_.insert(received_.end(), kept.begin(), kept.end());
}

bool ExchangeLog::Empty() const {
    std::lock_guard lock(mutex_);
    return entries_.empty();
}

std::string ExchangeLog::Text() const {
    std::lock_guard lock(mutex_);
    std::string text;
    char head[32];
    for (const Entry& e : entries_) {
        const double seconds = std::chrono::duration<double>(e.at).count();
        std::snprintf(head, sizeof head, "+%.3f s  %c", seconds, e.direction == Direction::Sent ? '>' : '<');
        text += head;
        for (std::uint8_t b : e.bytes) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02X", b);
            text += hex;
        }
        text += '\n';
    }
    for (const auto direction : {Direction::Sent, Direction::Received}) {
        if (const std::size_t n = dropped_[static_cast<std::size_t>(direction)]; n > 0) {
            text += "(" + std::to_string(n) + " more bytes " + (direction == Direction::Sent ? "sent" : "received") +
                    " not kept)\n";
        }
    }
    return text;
}

std::vector<std::uint8_t> ExchangeLog::ReceivedBytes() const {
    std::lock_guard lock(mutex_);
    return received_;
}

namespace {

bool SaveBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string& error) {
    AtomicFile file(path);
    if (file.Open() && file.Write(bytes) && file.Commit()) return true;
    error = file.Error();
    return false;
}

}  // namespace

bool ExchangeLog::SaveText(const std::filesystem::path& path, std::string& error) const {
    const std::string text = Text();
    return SaveBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), error);
}

bool ExchangeLog::SaveDump(const std::filesystem::path& path, std::string& error) const {
    return SaveBytes(path, ReceivedBytes(), error);
}

bool LoggingStream::Send(std::span<const std::uint8_t> bytes) {
    const bool sent = target_.load()->Send(bytes);
    if (sent) log_.Record(ExchangeLog::Direction::Sent, bytes);
    return sent;
}

bool LoggingStream::Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes, std::chrono::milliseconds wait) {
    const std::size_t before = out.size();
    const bool ok = target_.load()->Receive(out, maxBytes, wait);
    log_.Record(ExchangeLog::Direction::Received, std::span(out).subspan(before));
    return ok;
}

}  // namespace quenda
