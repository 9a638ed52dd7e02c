// The ring's data file is copied from a phone: any bytes must be refused with
// a reason or read into a valid data set whose seconds run forward. The first
// byte picks whether the file name gives a start of its own.
#include "tests/fuzz/ImportCheck.h"

#include <tuple>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view name = data[0] % 2 ? "O2Ring_20250306222100.dat" : "night";
    ImportOptions options;
    options.id = 1 + data[0] % 127;
    const ImportResult result = ImportRing({data + 1, size - 1}, name, options);
    fuzz::CheckImport(result, options.id);
    const auto key = [](const SampleRecord& r) { return std::tuple(r.year, r.month, r.day, r.hour, r.minute, r.second); };
    for (std::size_t i = 1; result.ok && i < result.samples.size(); ++i)
        if (!(key(result.samples[i - 1]) < key(result.samples[i]))) std::abort();
    return 0;
}
