#include "formats/Workbook.h"

#include "base/UiText.h"
#include "base/AtomicFile.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quenda {

namespace {

constexpr int kProgressStep = 4096;
constexpr double kColumnWidth = 10;
constexpr lxw_col_t kLastColumn = 16'383;  // XFD
constexpr double kSecondsPerDay = 86'400;

// "Create Excel service failed !" is for a workbook writer that cannot
// start; a file that cannot be made (no such folder, no right to write, a
// full disk) is said as every other type says it.
FileResult WriterFailure(std::string detail) {
    return FileResult{false, UiText(export_message::kCreateExcelFailedId, export_message::kCreateExcelFailed),
                      std::move(detail)};
}

FileResult Failure(std::string detail) {
    return FileResult{false, UiText(export_message::kCantCreateId, export_message::kCantCreate), std::move(detail)};
}

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm).
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Writes through libxlsxwriter, remembering the first error.
class Sheet {
public:
    explicit Sheet(lxw_worksheet* sheet) : sheet_(sheet) {}

    void Number(int row, int column, double value, lxw_format* format = nullptr) {
        Check(
            worksheet_write_number(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), value, format));
    }
    void Text(int row, int column, const std::string& text) {
        // Constant-memory mode drops empty strings anyway; an empty cell is what Excel had.
        if (text.empty()) return;
        Check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), text.c_str(),
                                     nullptr));
    }
    void Check(lxw_error error) {
        if (error != LXW_NO_ERROR && error_ == LXW_NO_ERROR) error_ = error;
    }
    lxw_error Error() const { return error_; }

private:
    lxw_worksheet* sheet_;
    lxw_error error_ = LXW_NO_ERROR;
};

struct Formats {
    lxw_format* date;
    lxw_format* time;
};

// A number typed into a cell became a number; other text stayed text.
void TextOrNumber(Sheet& sheet, int row, int column, const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0') {
        sheet.Number(row, column, static_cast<double>(value));
    } else {
        sheet.Text(row, column, text);
    }
}

void WritePatientRows(Sheet& sheet, const PatientBlock& p) {
    const char* headings[] = {"PatId", "Name", "Gender", "Age", "Height", "Weight"};
    for (int c = 0; c < 6; ++c) sheet.Text(0, c, headings[c]);
    TextOrNumber(sheet, 1, 0, p.id);
    sheet.Text(1, 1, p.name);
    sheet.Text(1, 2, p.gender);
    TextOrNumber(sheet, 1, 3, p.age);
    sheet.Text(1, 4, p.height);
    sheet.Text(1, 5, p.weight);
}

void WriteSample(Sheet& sheet, const Formats& formats, int n, const SampleRecord& r) {
    const WorkbookCell cell = WorkbookSampleCell(n);
    const int row = cell.row;
    const int c = cell.column;
    sheet.Number(row, c, n + 1);
    double day = 0;
    if (WorkbookDate(2000 + r.year, r.month, r.day, day)) {
        sheet.Number(row, c + 1, day, formats.date);
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%02d/%02d/%d", r.month, r.day, r.year);
        sheet.Text(row, c + 1, text);
    }
    if (r.hour < 24 && r.minute < 60 && r.second < 60) {
        sheet.Number(row, c + 2, (r.hour * 3600 + r.minute * 60 + r.second) / kSecondsPerDay, formats.time);
    } else {
        char text[32];
        std::snprintf(text, sizeof text, "%d:%d:%d", r.hour, r.minute, r.second);
        sheet.Text(row, c + 2, text);
    }
    sheet.Number(row, c + 3, r.spo2);
    sheet.Number(row, c + 4, r.pulseRate);
}

}  // namespace

WorkbookCell WorkbookSampleCell(int n) {
    const int block = std::min(n / kWorkbookBlockRows, kWorkbookBlocks - 1);
    return {n - kWorkbookBlockRows * block + kWorkbookFirstSampleRow, kWorkbookBlockColumns * block};
}

int WorkbookHeadingBlocks(int count) { return std::min(count / kWorkbookBlockRows, kWorkbookBlocks - 1) + 1; }

bool WorkbookDate(int year, int month, int day, double& serial) {
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    serial = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                                 DaysFromCivil(1899, 12, 30));
    return true;
}

FileResult WriteWorkbook(const std::filesystem::path& path, const PatientBlock& patient,
                         std::span<const SampleRecord> samples, const std::function<void(int)>& progress) {
    AtomicFile file(path);
    if (!file.Open()) return Failure(file.Error());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(file.TemporaryPath().c_str(), &options);
    if (workbook == nullptr) return WriterFailure("can't start a workbook in " + file.TemporaryPath().string());
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook, nullptr);
    Formats formats{workbook_add_format(workbook), workbook_add_format(workbook)};
    format_set_num_format(formats.date, "mm/dd/yy");
    format_set_num_format(formats.time, "h:mm:ss");
    Sheet sheet(worksheet);
    sheet.Check(worksheet_set_column(worksheet, 0, kLastColumn, kColumnWidth, nullptr));

    const int count = static_cast<int>(samples.size());
    WritePatientRows(sheet, patient);
    const char* headings[] = {"Num", "Date", "Time", "SpO2", "PR"};
    for (int b = 0; b < WorkbookHeadingBlocks(count); ++b) {
        for (int c = 0; c < 5; ++c) sheet.Text(kWorkbookHeadingRow, kWorkbookBlockColumns * b + c, headings[c]);
    }
    // Constant-memory mode wants rows in ascending order: each row carries the
    // samples of every block that reaches it.
    const int rows = std::max(std::min(count, kWorkbookBlockRows), count - kWorkbookBlockRows * (kWorkbookBlocks - 1));
    int written = 0;
    for (int i = 0; i < rows && sheet.Error() == LXW_NO_ERROR; ++i) {
        for (int b = 0; b < kWorkbookBlocks; ++b) {
            const int n = kWorkbookBlockRows * b + i;
            if (n >= count) break;
            if (b < kWorkbookBlocks - 1 && i >= kWorkbookBlockRows) continue;
            WriteSample(sheet, formats, n, samples[static_cast<std::size_t>(n)]);
            if (++written % kProgressStep == 0 && progress) progress(written);
        }
    }
    errno = 0;
    const lxw_error closed = workbook_close(workbook);
    const int closeErrno = errno;
    if (sheet.Error() != LXW_NO_ERROR) return Failure(lxw_strerror(sheet.Error()));
    if (closed != LXW_NO_ERROR) {
        // The library's text names only its zip step; the system's reason
        // (a full disk, say) is what the user can act on.
        std::string detail = lxw_strerror(closed);
        if ((closed == LXW_ERROR_ZIP_FILE_OPERATION || closed == LXW_ERROR_CREATING_XLSX_FILE) && closeErrno != 0)
            detail += std::string(" ") + std::strerror(closeErrno);
        return Failure(std::move(detail));
    }
    if (!file.Commit()) return Failure(file.Error());
    if (progress) progress(count);
    return {};
}

}  // namespace quenda
