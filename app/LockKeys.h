#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace quenda {

// The lock keys the status bar shows. The toolkit does not tell them.
struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;

    bool operator==(const LockKeys&) const = default;
};

// The kernel keeps each keyboard's lock lights under /sys/class/leds as
// "inputN::capslock" and so on; a key counts as on when any keyboard's light
// is. Nothing when no keyboard has such lights (virtual machines, remote
// desktops).
std::optional<LockKeys> ReadLockKeyLights(const std::filesystem::path& sysRoot = "/sys");

// The keyboard lights where they exist, else what `fallback` knows (the X
// server's keyboard indicators), else all off.
LockKeys ChooseLockKeys(const std::optional<LockKeys>& lights,
                        const std::function<std::optional<LockKeys>()>& fallback);

}  // namespace quenda
