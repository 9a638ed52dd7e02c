#include "formats/ExportKind.h"

#include <algorithm>
#include <cctype>

namespace quenda {

bool HasExtension(const std::filesystem::path& path, std::string_view extension) {
    const std::string ext = path.filename().extension().string();
    if (ext.size() != extension.size() + 1) return false;
    return std::equal(extension.begin(), extension.end(), ext.begin() + 1, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

ExportKind ExportKindOf(const std::filesystem::path& path) {
    if (HasExtension(path, "dat")) return ExportKind::DataFile;
    if (HasExtension(path, "txt")) return ExportKind::Text;
    if (HasExtension(path, "xls") || HasExtension(path, "xlsx")) return ExportKind::Workbook;
    if (HasExtension(path, "edf")) return ExportKind::Edf;
    if (HasExtension(path, "csv")) return ExportKind::Csv;
    return ExportKind::Unknown;
}

std::string WithDefaultExtension(const std::string& name, std::string_view extension) {
    if (name.empty() || !std::filesystem::path(name).filename().extension().empty()) return name;
    return name + "." + std::string(extension);
}

}  // namespace quenda
