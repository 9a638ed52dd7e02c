#include "cli/Import.h"

#include "base/TextCodec.h"
#include "cli/Terminal.h"
#include "formats/ExportKind.h"
#include "formats/Import.h"
#include "store/DataFile.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

namespace {

int Usage(const std::string& problem) {
    return UsageError(problem, "usage: quenda-cli import IN.csv|IN.edf|RING-FILE OUT.dat [--id N] [--date-order dmy|mdy]\n");
}

// Whether both names lead to one file: the same name, a symbolic link or
// another hard link to it.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

int ImportCommand(int argc, char** argv) {
    std::vector<std::string> files;
    ImportOptions options;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--id" || arg == "--date-order") {
            if (++i >= argc) return Usage(std::string(arg) + " needs a value");
            const std::string value = argv[i];
            if (arg == "--id") {
                char* end = nullptr;
                const long id = std::strtol(value.c_str(), &end, 10);
                if (value.empty() || *end != '\0' || id < 1 || id > 127)
                    return Usage("--id takes a number from 1 to 127");
                options.id = static_cast<int>(id);
            } else {
                options.dateOrder = ParseDateOrder(value);
                if (options.dateOrder == DateOrder::Unknown) return Usage("--date-order takes dmy or mdy");
            }
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return Usage("unknown option " + std::string(arg));
        } else {
            files.emplace_back(arg);
        }
    }
    if (files.size() != 2) return Usage("import takes a CSV, EDF or ring file and an output data file");
    if (!HasExtension(files[1], "dat")) return Usage("the output is a data file: its name must end in .dat");
    if (SameFile(files[0], files[1])) {
        std::fprintf(stderr, "quenda-cli: %s\n",
                     TerminalText(files[1] + ": is " + files[0] + " itself; the data file needs a name of its own")
                         .c_str());
        return kExitFailed;
    }
    const ImportResult imported = ImportFile(files[0], options);
    if (!imported) {
        // The message may quote the file's own text.
        std::fprintf(stderr, "quenda-cli: %s\n", TerminalText(files[0] + ": " + imported.message).c_str());
        return imported.dateOrderAmbiguous ? kExitUsage : kExitFailed;
    }
    if (const FileResult written = WriteDataFile(files[1], static_cast<std::uint8_t>(options.id), imported.samples, "");
        !written) {
        std::fprintf(
            stderr, "quenda-cli: %s\n",
            TerminalText(files[1] + ": " + written.message + (written.detail.empty() ? "" : ": ") + written.detail)
                .c_str());
        return kExitFailed;
    }
    std::printf("%zu samples\n", imported.samples.size());
    // What was read and what left out, so a user sees a column was not lost by accident.
    for (const std::string& line : imported.summary) std::printf("%s\n", TerminalText(line).c_str());
    return kExitOk;
}

}  // namespace quenda
