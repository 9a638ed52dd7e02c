#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenda {

inline constexpr std::size_t kReportTitleMaxCharacters = 60;
inline constexpr const char* kReportTitleDefault = "Report Title";
inline constexpr const char* kReportTitleTooLong = "Field must be 60 or less characters in length!";

// Owner of the report title: printed on the report pages and carried in data
// files, "Report Title" when the program starts, never longer than 60
// characters. Not kept in the settings file.
class ReportTitle {
public:
    ReportTitle();

    const std::string& Text() const { return text_; }  // UTF-8

    // Takes the first 60 characters of utf8; false when it had to cut (a data
    // file from elsewhere may carry a longer title).
    bool Set(std::string_view utf8);

private:
    std::string text_;
};

}  // namespace quenda
