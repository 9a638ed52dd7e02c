#pragma once

#include "store/SampleRecord.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quenda {

class RecordingStore;

// The program's own data file ("*.dat"): one data set with its ID and the
// report title. Little-endian, no signature, version or checksum:
//
//   offset 0        ID, 1 byte, unsigned
//   offset 1        record count N, signed 32-bit
//   offset 5        N records of 11 bytes: id, year, month, day, hour, minute,
//                   second, spo2, pulseRate (1 byte each), auxValue (16-bit)
//   offset 5 + 11N  title, length-prefixed Windows-1252 text, no terminator:
//                     L < 255          one byte L
//                     L < 65534        0xFF, 16-bit L
//                     otherwise        0xFF, 16-bit 0xFFFF, 32-bit L
//                   A prefix of 0xFF, 16-bit 0xFFFE announces UTF-16 text: the
//                   length that follows, in the same forms, counts 16-bit units.
//                   Files from other writers may use it; this writer never does.
//
// Bytes after the title are ignored.
inline constexpr std::size_t kDataFileHeaderSize = 5;
inline constexpr std::size_t kDataFileRecordSize = 11;
// The reader takes no longer file: a full data set and a title of up to
// 128 KiB, the longest a 16-bit length describes even in the wide form. The
// program's own titles are at most 60 characters.
inline constexpr std::size_t kDataFileTitleRoom = 128 * 1024;
inline constexpr std::size_t kMaxDataFileSize =
    kDataFileHeaderSize + kDataFileRecordSize * kMaxSamples + kDataFileTitleRoom;

struct DataFileContents {
    int id = 0;  // 0..255
    std::vector<SampleRecord> records;
    std::string title;  // UTF-8
};

// Outcome of a file operation. `message` is the text to show the user; `detail`
// is the system's reason, for a log or a "details" button, and may be empty.
struct FileResult {
    bool ok = true;
    std::string message;
    std::string detail;

    explicit operator bool() const { return ok; }
};

// The user-visible texts of data file failures; "%1" stands for the file's path.
namespace data_file_message {
inline constexpr const char* kCantCreate = "Can't create the file";
inline constexpr const char* kCantOpen = "can't open the file";
inline constexpr const char* kPastEnd = "Attempted to access %1 past its end.";
// %2 is the count the file claims, %3 the most a data file can hold.
inline constexpr const char* kBadCount =
    "The file %1 is not a valid data file: it claims %2 records, but a data file holds 0 to %3.";
// %2 is the most bytes a data file takes, %3 the most records it holds.
inline constexpr const char* kTooLarge =
    "The file %1 is not a valid data file: it is longer than %2 bytes, the most a data file of %3 records and its "
    "title takes.";
}  // namespace data_file_message

// The bytes of a data file. Characters of the title that Windows-1252 cannot
// hold are written as '?'.
std::vector<std::uint8_t> EncodeDataFile(std::uint8_t id, std::span<const SampleRecord> records,
                                         std::string_view titleUtf8);

// Decodes a whole data file held in memory. On failure `out` is left as it was;
// `pathForMessages` fills the "%1" of the messages.
FileResult ParseDataFile(std::span<const std::uint8_t> bytes, DataFileContents& out, std::string_view pathForMessages);

// Replaces `path` safely: an existing file survives any failure untouched.
FileResult WriteDataFile(const std::filesystem::path& path, std::uint8_t id, std::span<const SampleRecord> records,
                         std::string_view titleUtf8);

// Reads regular files of at most kMaxDataFileSize only. On failure `out` is
// left as it was.
FileResult ReadDataFile(const std::filesystem::path& path, DataFileContents& out);

// Saves the current data set; the file's ID is that of its first record (0 for
// an empty data set), as the file has always recorded it.
FileResult SaveCurrentDataSet(const std::filesystem::path& path, const RecordingStore& store,
                              std::string_view titleUtf8);

// Makes a data file the current data set: CurrentId, CurrentSampleCount and the
// records from index 0; records past the new count are left as they were. The
// file is read completely first, so on any failure the store and `titleOut`
// are exactly as they were.
FileResult LoadDataFileIntoStore(const std::filesystem::path& path, RecordingStore& store, std::string& titleOut);

}  // namespace quenda
