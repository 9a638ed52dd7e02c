#pragma once

#include "app/Resources.h"
#include "base/UiText.h"

namespace quenda {

// The resource library's strings as UiText's replacement source: numbered
// strings by number, the others by their built-in text. What the library does
// not carry stays built-in.
class ResourceTextSource final : public TextSource {
public:
    explicit ResourceTextSource(StringTable table) : table_(std::move(table)) {}
    std::string Lookup(int stringId, std::string_view builtIn) const override;

private:
    StringTable table_;
};

}  // namespace quenda
