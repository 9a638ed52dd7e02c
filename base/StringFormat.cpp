#include "base/StringFormat.h"

#include <cstdarg>
#include <cstdio>

namespace quenda {

std::string Format(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    va_end(args);
    return out;
}

}  // namespace quenda

namespace quenda {

std::string FillPlaceholders(std::string_view text, std::span<const std::string_view> values) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const auto n = static_cast<std::size_t>(next - '1');
        if (text[i] == '%' && next >= '1' && next <= '9' && n < values.size()) {
            out += values[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace quenda
