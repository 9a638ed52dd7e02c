#include "base/UiText.h"

namespace quenda {

namespace {
const TextSource* textSource = nullptr;
}

void SetTextSource(const TextSource* source) { textSource = source; }

std::string UiText(int stringId, std::string_view builtIn) {
    if (textSource) {
        if (std::string replaced = textSource->Lookup(stringId, builtIn); !replaced.empty()) return replaced;
    }
    return std::string(builtIn);
}

std::string UiText(std::string_view builtIn) { return UiText(0, builtIn); }

}  // namespace quenda
