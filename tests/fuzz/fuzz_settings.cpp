// The settings file is plain text a user may edit by hand: any content must
// read without undefined behaviour, a write must change only its own key, what
// was written must read back, and writing it again must change nothing.
// Works on the content the file reader and writer use, so it runs at memory
// speed; the file round trip itself is covered by the settings tests.
#include "base/Settings.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

using namespace quenda;

namespace {

constexpr std::array kKeys{settings_key::kSaturationsHigh, settings_key::kSaturationsLow,     settings_key::kPrHigh,
                           settings_key::kPrLow,           settings_key::kDesaturationsEvent, settings_key::kPulseEvent,
                           settings_key::kUnitSetup,       settings_key::kDefaultCom,         settings_key::kPort};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the key to write and another to watch (each parse
    // costs, so not every key is watched every time); the rest is the file.
    if (size == 0) return 0;
    const std::string_view written = kKeys[data[0] % kKeys.size()];
    const std::string_view watched = kKeys[(data[0] / kKeys.size()) % kKeys.size()];
    const std::string_view content(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::optional<std::string> before = SettingsValue(content, watched);
    if (before) (void)LeadingInt(*before);

    const std::string after = SettingsWithEntry(content, written, "4242");
    const auto value = SettingsValue(after, written);
    if (!value || LeadingInt(*value) != 4242) std::abort();
    if (watched != written && SettingsValue(after, watched) != before) std::abort();
    if (SettingsWithEntry(after, written, "4242") != after) std::abort();
    return 0;
}
