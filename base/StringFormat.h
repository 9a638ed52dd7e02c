#pragma once

#include <string>

namespace quenda {

// printf into a std::string of the right size.
[[gnu::format(printf, 1, 2)]] std::string Format(const char* format, ...);

}  // namespace quenda
