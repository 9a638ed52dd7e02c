// The shared SQL's "?" parameters are numbered for PostgreSQL by a small
// scanner of quotes, comments and dollar-quoted bodies: any text must scan
// without undefined behaviour, and a text it numbers nothing in is left as it
// was.
#include "nights/PostgresDatabase.h"

#include <cstdlib>
#include <string>
#include <string_view>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sql(reinterpret_cast<const char*>(data), size);
    std::string out, error;
    int count = -1;
    if (NumberParameters(sql, out, count, error)) {
        if (count < 0 || count > 65535) std::abort();
        if (count == 0 && out != sql) std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
