#include "cli/Import.h"

#include "base/TextCodec.h"
#include "formats/Import.h"
#include "store/DataFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage(const std::string& problem) {
    std::fprintf(stderr,
                 "quenda-cli: %s\n"
                 "usage: quenda-cli import IN.csv|IN.edf OUT.dat [--id N] [--date-order dmy|mdy]\n",
                 TerminalText(problem).c_str());
    return kExitUsage;
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
                if (value.empty() || *end != '\0' || id < 1 || id > 127) return Usage("--id takes a number from 1 to 127");
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
    if (files.size() != 2) return Usage("import takes a CSV or EDF file and an output data file");
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
    return kExitOk;
}

bool IsForeignFile(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".dat") return false;
    if (ext == ".csv" || ext == ".edf") return true;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[8] = {};
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return LooksLikeEdf({head, static_cast<std::size_t>(in.gcount())});
}

std::optional<std::filesystem::path> KeepForeignFile(const std::filesystem::path& path, int id, DateOrder order,
                                                     std::string& error, bool& ambiguous) {
    const ImportResult imported = ImportFile(path, {id, order});
    ambiguous = imported.dateOrderAmbiguous;
    if (!imported) {
        error = path.string() + ": " + imported.message;
        return std::nullopt;
    }
    std::filesystem::path kept;
    if (const FileResult written = KeepImport(path, id, imported.samples, DefaultImportsRoot(), kept); !written) {
        error = path.string() + ": " + written.message + (written.detail.empty() ? "" : ": " + written.detail);
        return std::nullopt;
    }
    return kept;
}

}  // namespace quenda
