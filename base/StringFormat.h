#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace quenda {

// printf into a std::string of the right size.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

// A user text with its placeholders filled: every "%1" becomes values[0],
// "%2" values[1], and so on, in one pass, so a value that itself holds "%2"
// (a file name) stays as it is. A text (a translation, say) without some
// placeholder simply lacks that value; a "%" followed by anything else, or
// by a number with no value, stays as written.
std::string FillPlaceholders(std::string_view text, std::span<const std::string_view> values);
inline std::string FillPlaceholders(std::string_view text, std::initializer_list<std::string_view> values) {
    return FillPlaceholders(text, std::span<const std::string_view>(values.begin(), values.size()));
}

}  // namespace quenda
