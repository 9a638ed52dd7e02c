// Data files come from anywhere a user can browse to: any byte sequence must be
// either rejected with a message or decoded into something that saves and
// reads back the same way.
#include "store/DataFile.h"
#include "base/TextCodec.h"

#include <cstdlib>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DataFileContents contents;
    contents.title = "untouched";
    const auto result = ParseDataFile({data, size}, contents, "fuzz.dat");
    if (!result.ok) {
        // A rejected file must leave the output alone and say why.
        if (contents.title != "untouched" || !contents.records.empty() || result.message.empty()) std::abort();
        return 0;
    }
    if (contents.records.size() > static_cast<std::size_t>(kMaxSamples) || contents.id < 0 || contents.id > 255) {
        std::abort();
    }

    // Saving what was read and reading it again loses nothing but the
    // characters Windows-1252 lacks, and a second save is byte-identical.
    const auto saved = EncodeDataFile(static_cast<std::uint8_t>(contents.id), contents.records, contents.title);
    DataFileContents again;
    if (!ParseDataFile(saved, again, "fuzz.dat").ok) std::abort();
    if (again.id != contents.id || again.records != contents.records) std::abort();
    if (again.title != Windows1252ToUtf8(Utf8ToWindows1252(contents.title))) std::abort();
    if (EncodeDataFile(static_cast<std::uint8_t>(again.id), again.records, again.title) != saved) std::abort();
    return 0;
}
