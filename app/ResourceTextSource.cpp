#include "app/ResourceTextSource.h"

namespace quenda {

std::string ResourceTextSource::Lookup(int stringId, std::string_view builtIn) const {
    if (stringId != 0) {
        const auto it = table_.strings.find(stringId);
        return it == table_.strings.end() ? std::string() : it->second;
    }
    const auto it = table_.texts.find(std::string(builtIn));
    return it == table_.texts.end() ? std::string() : it->second;
}

}  // namespace quenda
