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

std::optional<LockKeys> ReadLockKeyLights(const std::filesystem::path& sysRoot) {
    LockKeys keys;
    bool anyLight = false;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysRoot / "class" / "leds", ec)) {
        const std::string name = entry.path().filename().string();
        const auto at = name.rfind("::");
        if (at == std::string::npos) continue;
        const std::string function = name.substr(at + 2);
        bool* key = function == "capslock"     ? &keys.caps
                    : function == "numlock"    ? &keys.num
                    : function == "scrolllock" ? &keys.scroll
                                               : nullptr;
        if (!key) continue;
        anyLight = true;
        *key = *key || LightOn(entry.path());
    }
    if (!anyLight) return std::nullopt;
    return keys;
}

LockKeys ChooseLockKeys(const std::optional<LockKeys>& lights,
                        const std::function<std::optional<LockKeys>()>& fallback) {
    if (lights) return *lights;
    if (fallback) {
        if (const auto indicated = fallback()) return *indicated;
    }
    return {};
}

}  // namespace quenda
