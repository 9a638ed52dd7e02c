#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace quenda {

// The values (1 to 255) of the samples taking part in a window of the last
// kSeconds seconds of the recorder's clock, as an exact integer sum and
// count, so that "at least so far from the mean" compares whole numbers.
// A second without a sample, or whose sample takes no part, holds 0. Each
// value enters and leaves once: linear time whatever the window.
template <int kSeconds>
class SecondWindow {
public:
    std::int64_t Sum() const { return sum_; }
    std::int64_t Count() const { return count_; }

    // The sample at `second` takes part from now on.
    void Enter(std::int64_t second, int value) {
        ring_[static_cast<std::size_t>(second) & kMask] = static_cast<std::uint8_t>(value);
        sum_ += value;
        ++count_;
    }

    // The second leaves the window, with its value if it had one; its slot is
    // cleared for the second that reuses it.
    void Leave(std::int64_t second) {
        std::uint8_t& entry = ring_[static_cast<std::size_t>(second) & kMask];
        sum_ -= entry;
        count_ -= entry != 0 ? 1 : 0;
        entry = 0;
    }

    // The seconds after `last` (the previous sample's) up to `now` hold no
    // sample: the window moves on to the kSeconds before `now`, or empties at
    // once after a gap at least as long as itself, whatever its length.
    void SkipTo(std::int64_t last, std::int64_t now) {
        if (now - last > kSeconds) {
            ring_.fill(0);
            sum_ = 0;
            count_ = 0;
            return;
        }
        for (std::int64_t s = last - kSeconds + 1; s < now - kSeconds; ++s) Leave(s);
    }

private:
    // Indexed by second modulo a power of two above the window.
    static constexpr std::size_t kMask = std::bit_ceil(static_cast<std::size_t>(kSeconds) + 1) - 1;
    // The sum and the count sit apart: side by side, the compiler pairs their
    // updates into one vector store that the next scalar read must wait for.
    std::int64_t sum_ = 0;
    std::array<std::uint8_t, kMask + 1> ring_{};
    std::int64_t count_ = 0;
};

}  // namespace quenda
