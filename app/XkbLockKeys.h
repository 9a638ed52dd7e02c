#pragma once

#include "app/LockKeys.h"

#include <optional>

namespace quenda {

// The lock keys as the X server's keyboard extension (XKB) indicates them, on
// the display the program shows on. Nothing when the program does not run on
// X (offscreen, Wayland) or the server lacks the extension.
std::optional<LockKeys> ReadXkbLockKeys();

}  // namespace quenda
