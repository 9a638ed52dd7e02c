#pragma once

#include <filesystem>

namespace quenda {

// The lock keys the status bar shows. The toolkit does not tell them, but the
// kernel keeps each keyboard's lock lights under /sys/class/leds as
// "inputN::capslock" and so on; a key counts as on when any keyboard's light is.
// Without a keyboard (a remote or virtual display) all read off.
struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

LockKeys ReadLockKeys(const std::filesystem::path& sysRoot = "/sys");

}  // namespace quenda
