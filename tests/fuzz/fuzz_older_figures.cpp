// An older library's clinical JSON is read once to give its nights their
// columns; a damaged one must read without undefined behaviour, and every
// column it gives must read back by its name.
#include "nights/OlderFigures.h"

#include <cstdlib>
#include <string_view>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ClinicalColumns columns = ClinicalColumnsOfJson(std::string_view(reinterpret_cast<const char*>(data), size));
    columns.ForEach([&](std::string_view name, std::string_view) {
        if (!columns.Find(name)) std::abort();
    });
    return 0;
}
