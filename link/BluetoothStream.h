#pragma once

#include "link/BluetoothLink.h"
#include "link/ByteStream.h"

namespace quenda {

// The Bluetooth link seen as a ByteStream, so protocol code that only moves
// bytes needs no second path. Does not own the link.
class BluetoothStream final : public ByteStream {
public:
    // The most one receive asks for: one download poll's worth.
    static constexpr std::size_t kDefaultReceiveCapacity = 4200;

    explicit BluetoothStream(BluetoothLink& link) : link_(link) {}

    bool Send(std::span<const std::uint8_t> bytes) override;
    // One receive on the link; maxBytes 0 asks for kDefaultReceiveCapacity.
    bool Receive(std::vector<std::uint8_t>& out, std::size_t maxBytes,
                 std::chrono::milliseconds wait) override;
    bool IsConnected() override;

private:
    BluetoothLink& link_;
};

}  // namespace quenda
