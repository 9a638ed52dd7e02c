#include "store/KeptDownload.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <vector>

namespace quenda {

namespace fs = std::filesystem;

namespace {

constexpr const char* kCantKeep = "The download could not be kept";

// Creates every missing folder on the way to `path`, each 0700.
bool MakePrivateFolders(const fs::path& path, std::string& error) {
    fs::path built;
    for (const fs::path& part : path) {
        built /= part;
        if (::mkdir(built.c_str(), 0700) == 0 || errno == EEXIST) continue;
        error = built.string() + ": " + std::generic_category().message(errno);
        return false;
    }
    return true;
}

std::string FolderName(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y-%m-%d_%H%M%S", &local);
    return name;
}

KeptDownload Failed(KeptDownload kept, std::string detail) {
    kept.result = {false, kCantKeep, std::move(detail)};
    return kept;
}

}  // namespace

fs::path DefaultDownloadsRoot() { return QuendaDataFolder() / "downloads"; }

fs::path NewestKeptDownload(const fs::path& root) {
    // "YYYY-MM-DD_HHMMSS", then "-N" for a second download within that second.
    constexpr std::size_t kStamp = 17;
    auto order = [](const std::string& name) {
        const int n = name.size() > kStamp + 1 ? std::atoi(name.c_str() + kStamp + 1) : 1;
        return std::pair(name.substr(0, kStamp), n);
    };
    fs::path newest;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(root, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < kStamp || name[10] != '_' || !entry.is_directory(ec)) continue;
        if (newest.empty() || order(name) > order(newest.filename().string())) newest = entry.path();
    }
    return newest;
}

KeptDownload KeepDownload(const RecordingStore& store, RecordOrder order, std::string_view titleUtf8,
                          const fs::path& root, std::chrono::system_clock::time_point when) {
    KeptDownload kept;
    bool any = false;
    for (int id = 1; id <= kIdSlots; ++id) any = any || store.IdCount(id) > 0;
    if (!any) return kept;

    std::string error;
    if (!MakePrivateFolders(root, error)) return Failed(kept, error);
    // Two downloads within one second get folders of their own.
    const std::string name = FolderName(when);
    for (int n = 1; kept.folder.empty(); ++n) {
        const fs::path candidate = root / (n == 1 ? name : name + "-" + std::to_string(n));
        if (::mkdir(candidate.c_str(), 0700) == 0) {
            kept.folder = candidate;
        } else if (errno != EEXIST || n > 100) {
            return Failed(kept, candidate.string() + ": " + std::generic_category().message(errno));
        }
    }

    std::vector<SampleRecord> records;
    for (int id = 1; id <= kIdSlots; ++id) {
        const auto samples = store.IdRecords(id);
        if (samples.empty()) continue;
        records.assign(samples.begin(), samples.end());
        if (order == RecordOrder::NewestFirst) std::reverse(records.begin(), records.end());
        const fs::path file = kept.folder / ("ID" + std::to_string(id) + ".dat");
        if (FileResult written = WriteDataFile(file, static_cast<std::uint8_t>(id), records, titleUtf8); !written) {
            kept.result = std::move(written);
            return kept;
        }
        ::chmod(file.c_str(), 0600);
        ++kept.files;
    }
    return kept;
}

}  // namespace quenda
