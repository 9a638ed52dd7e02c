#include "app/LockKeys.h"

#include <fstream>
#include <string>

namespace quenda {

namespace {

bool LightOn(const std::filesystem::path& led) {
    std::ifstream in(led / "brightness");
    int brightness = 0;
    return in >> brightness && brightness > 0;
}

}  // namespace

LockKeys ReadLockKeys(const std::filesystem::path& sysRoot) {
    LockKeys keys;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysRoot / "class" / "leds", ec)) {
        const std::string name = entry.path().filename().string();
        const auto at = name.rfind("::");
        if (at == std::string::npos) continue;
        const std::string function = name.substr(at + 2);
        if (function == "capslock") {
            keys.caps = keys.caps || LightOn(entry.path());
        } else if (function == "numlock") {
            keys.num = keys.num || LightOn(entry.path());
        } else if (function == "scrolllock") {
            keys.scroll = keys.scroll || LightOn(entry.path());
        }
    }
    return keys;
}

}  // namespace quenda
