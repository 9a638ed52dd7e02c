// EDF files come from sleep labs and other recorders: any bytes must be
// refused with a reason or read into a valid data set. EDF+D is read from
// memory by our own reader, whose records must come out in time order; every
// other input goes through the file road (EDFlib) as the program takes it.
#include "tests/fuzz/ImportCheck.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>

using namespace quenda;

namespace {

const std::string& ScratchPath() {
    static const std::string path = "/dev/shm/quenda-fuzz-edf-" + std::to_string(::getpid()) + ".edf";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ImportOptions options;
    const std::span<const std::uint8_t> bytes(data, size);
    const ImportResult memory = ImportEdfDiscontinuous(bytes, options);
    fuzz::CheckImport(memory, options.id);
    for (std::size_t i = 1; memory.ok && i < memory.samples.size(); ++i) {
        const auto& a = memory.samples[i - 1];
        const auto& b = memory.samples[i];
        const auto key = [](const SampleRecord& r) {
            return std::tuple(r.year, r.month, r.day, r.hour, r.minute, r.second);
        };
        if (!(key(a) < key(b))) std::abort();
    }
    if (!LooksLikeEdf(bytes)) return 0;
    std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    fuzz::CheckImport(ImportEdf(ScratchPath(), options), options.id);
    return 0;
}
