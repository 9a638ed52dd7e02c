#include "link/BluetoothStream.h"

#include <algorithm>
#include <limits>

namespace quenda {
namespace {
constexpr std::size_t kIntMax = static_cast<std::size_t>(std::numeric_limits<int>::max());
}  // namespace

bool BluetoothStream::Send(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kIntMax) return false;
    return link_.WSABT_SendData(bytes.data(), static_cast<int>(bytes.size())) != 0;
}

bool BluetoothStream::Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes,
                              std::chrono::milliseconds wait) {
    const std::size_t capacity =
        std::min(maxBytes == 0 ? kDefaultReceiveCapacity : maxBytes, kIntMax);
    const int waitMs = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(
        wait.count(), 0, std::numeric_limits<int>::max()));

    const std::size_t before = out.size();
    out.resize(before + capacity);
    const int got = link_.WSABT_RecvData(out.data() + before, static_cast<int>(capacity), waitMs);
    out.resize(before + static_cast<std::size_t>(std::max(got, 0)));
    // Nothing received is an idle poll on a live link but an error on a dead one.
    return got > 0 || link_.WSABT_IsConnected() != 0;
}

bool BluetoothStream::IsConnected() { return link_.WSABT_IsConnected() != 0; }

}  // namespace quenda
