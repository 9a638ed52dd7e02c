#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quenda {

// What Save Data writes, chosen by the extension of the name the user gives.
// Extensions compare without regard to case ("DAT" is a data file). "xls"
// and "xlsx" both get the workbook: it is Office Open XML either way, and
// spreadsheet programs open it under either name. EDF+ and CSV are for sleep
// software and analysis toolboxes.
enum class ExportKind { DataFile, Text, Workbook, Edf, Csv, Unknown };

ExportKind ExportKindOf(const std::filesystem::path& path);

// Whether the file name's extension is `extension`, ignoring case.
bool HasExtension(const std::filesystem::path& path, std::string_view extension);

// A save dialog's default extension: `name` with "." + extension appended
// when its file name has none.
std::string WithDefaultExtension(const std::string& name, std::string_view extension);

namespace export_message {
inline constexpr const char* kUnknownType = "Unknown file type: use .dat, .txt, .xls, .xlsx, .edf or .csv";
inline constexpr const char* kUnknownEventType = "Unknown file type: use .txt";
}  // namespace export_message

}  // namespace quenda
