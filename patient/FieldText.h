#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenda {

// Lengths the dialogs limit are counted in characters, not bytes: the files
// hold Windows-1252 text, one byte per character, while memory holds UTF-8.
// A malformed UTF-8 byte counts as one character, as it becomes one '?' in
// Windows-1252.
std::size_t CharacterCount(std::string_view utf8);

// The first maxCharacters characters of utf8 (all of it when shorter).
std::string FirstCharacters(std::string_view utf8, std::size_t maxCharacters);

}  // namespace quenda
