#pragma once

#include <string>
#include <string_view>

namespace quenda {

// Every user-visible text goes through here, so that an optional resource
// library can replace the built-in English. Texts with a string id are looked
// up by that id; the others by their built-in text.
//
// Callers pass the built-in text themselves, which keeps each message next to
// the code that shows it.
std::string UiText(int stringId, std::string_view builtIn);
std::string UiText(std::string_view builtIn);

// The replacement source. Without one, the built-in texts serve.
class TextSource {
public:
    virtual ~TextSource() = default;
    // The replacement for a string id, or for a built-in text (id 0); empty
    // when there is none.
    virtual std::string Lookup(int stringId, std::string_view builtIn) const = 0;
};

// Installs (or, with nullptr, removes) the replacement source. Not owned; set
// once at start-up before any window exists.
void SetTextSource(const TextSource* source);

}  // namespace quenda
