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
