#pragma once

#include "store/DataFile.h"  // FileResult
#include "formats/ExportText.h"
#include "store/SampleRecord.h"

#include <filesystem>
#include <functional>
#include <span>

namespace quenda {

// The spreadsheet workbook (Office Open XML), one worksheet:
//
//   rows 1-2   "PatId" "Name" "Gender" "Age" "Height" "Weight", then the values
//   row 4      "Num" "Date" "Time" "SpO2" "PR" over each block of samples
//   row 5...   the samples, in blocks of 65,532 side by side, one empty column
//              between blocks; the fourth block takes all the rest (a workbook
//              holds 1,048,576 rows, so a full data set fits)
//
// Every column is 10 characters wide. Numbers are numbers (Num, SpO2, PR, ID,
// age), the date is a real date shown "mm/dd/yy" and the time a real time
// shown "h:mm:ss", so sorting, charts and formulas work on them. A time stamp
// that is no calendar date or clock time is written as the text
// "mm/dd/y" / "h:m:s" instead of a wrong value.
inline constexpr int kWorkbookBlockRows = 65'532;
inline constexpr int kWorkbookBlocks = 4;
inline constexpr int kWorkbookBlockColumns = 6;  // five columns and the gap
inline constexpr int kWorkbookHeadingRow = 3;    // 0-based: row 4
inline constexpr int kWorkbookFirstSampleRow = 4;

// Where sample n goes, 0-based row and first column.
struct WorkbookCell {
    int row = 0;
    int column = 0;
};
WorkbookCell WorkbookSampleCell(int n);

// Heading blocks for `count` samples: one more than the blocks filled, as a
// count of exactly 65,532 already gets the second block's headings; never
// more than the four blocks samples can land in.
int WorkbookHeadingBlocks(int count);

namespace export_message {
inline constexpr int kCreateExcelFailedId = 154;
inline constexpr const char* kCreateExcelFailed = "Create Excel service failed !";
}  // namespace export_message

// Excel's serial day of a date (days since 1899-12-30), and false when the
// year/month/day is no calendar date.
bool WorkbookDate(int year, int month, int day, double& serial);

// Writes the workbook, rows in order, holding one row in memory at a time.
// `progress` (may be empty) hears the number of samples written now and then
// and once at the end. Written safely; on failure the message is "Create
// Excel service failed !" with the library's reason as the detail.
FileResult WriteWorkbook(const std::filesystem::path& path, const PatientBlock& patient,
                         std::span<const SampleRecord> samples, const std::function<void(int)>& progress);

}  // namespace quenda
