#include "base/AtomicFile.h"
#include "store/DataFile.h"
#include "store/RecordingStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace quenda {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> DirectoryEntries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every field distinct per record, so a swapped or shifted field shows.
std::vector<SampleRecord> Records(int count, std::uint8_t id = 9) {
    std::vector<SampleRecord> records(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto& r = records[static_cast<std::size_t>(i)];
        r = {id,
             26,
             11,
             30,
             23,
             static_cast<std::uint8_t>(i % 60),
             static_cast<std::uint8_t>((i + 7) % 60),
             static_cast<std::uint8_t>(80 + i % 20),
             static_cast<std::uint8_t>(200 + i % 50),
             static_cast<std::uint16_t>(0x1FF - i % 512)};
    }
    return records;
}

TEST(DataFile, WritesTheDocumentedLayoutAndReadsItBack) {
    test::TempDir dir;
    const auto records = Records(3);
    ASSERT_TRUE(WriteDataFile(dir / "a.dat", 9, records, "Report Title").ok);

    const auto bytes = ReadBytes(dir / "a.dat");
    ASSERT_EQ(bytes.size(), 5u + 11 * 3 + 1 + 12);
    EXPECT_EQ(bytes[0], 9);
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 1, bytes.begin() + 5)),
              (std::vector<std::uint8_t>{3, 0, 0, 0}));
    // Record 1 (second) at offset 16: the nine bytes in field order, then auxValue low byte first.
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 16, bytes.begin() + 27)),
              (std::vector<std::uint8_t>{9, 26, 11, 30, 23, 1, 8, 81, 201, 0xFE, 0x01}));
    EXPECT_EQ(bytes[38], 12);
    EXPECT_EQ(std::string(bytes.begin() + 39, bytes.end()), "Report Title");

    DataFileContents contents;
    ASSERT_TRUE(ReadDataFile(dir / "a.dat", contents).ok);
    EXPECT_EQ(contents.id, 9);
    EXPECT_EQ(contents.records, records);
    EXPECT_EQ(contents.title, "Report Title");
}

TEST(DataFile, SavingTheCurrentDataSetTakesTheIdOfItsFirstRecord) {
    test::TempDir dir;
    RecordingStore store;
    const auto records = Records(4, 42);
    std::copy(records.begin(), records.end(), store.CurrentDataSet().begin());
    store.CurrentSampleCount = 2;  // the two records past the count must not be written
    store.CurrentId = 7;           // the file has always recorded the records' ID, not this
    ASSERT_TRUE(SaveCurrentDataSet(dir / "s.dat", store, "").ok);
    const auto bytes = ReadBytes(dir / "s.dat");
    ASSERT_EQ(bytes.size(), 5u + 11 * 2 + 1);
    EXPECT_EQ(bytes[0], 42);
    EXPECT_EQ(bytes.back(), 0);  // an empty title still has its length byte

    store.CurrentSampleCount = 0;
    ASSERT_TRUE(SaveCurrentDataSet(dir / "e.dat", store, "").ok);
    EXPECT_EQ(ReadBytes(dir / "e.dat"), (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0}));
}

TEST(DataFile, LoadingReplacesCountIdAndLeadingRecordsOnly) {
    test::TempDir dir;
    RecordingStore store;
    const auto old = Records(5, 3);
    std::copy(old.begin(), old.end(), store.CurrentDataSet().begin());
    store.CurrentSampleCount = 5;
    store.CurrentId = 3;
    const auto fresh = Records(2, 77);
    ASSERT_TRUE(WriteDataFile(dir / "l.dat", 77, fresh, "Größe").ok);

    std::string title = "before";
    ASSERT_TRUE(LoadDataFileIntoStore(dir / "l.dat", store, title).ok);
    EXPECT_EQ(store.CurrentId, 77);
    EXPECT_EQ(store.CurrentSampleCount, 2);
    EXPECT_EQ(store.CurrentDataSet()[1], fresh[1]);
    EXPECT_EQ(store.CurrentDataSet()[2], old[2]);
    EXPECT_EQ(title, "Größe");
}

TEST(DataFile, AFullDataSetRoundTrips) {
    test::TempDir dir;
    const auto records = Records(kMaxSamples);
    ASSERT_TRUE(WriteDataFile(dir / "full.dat", 9, records, "x").ok);
    RecordingStore store;
    std::string title;
    ASSERT_TRUE(LoadDataFileIntoStore(dir / "full.dat", store, title).ok);
    EXPECT_EQ(store.CurrentSampleCount, kMaxSamples);
    EXPECT_TRUE(std::equal(records.begin(), records.end(), store.CurrentDataSet().begin()));
}

TEST(DataFile, BytesAfterTheTitleAreIgnored) {
    auto bytes = EncodeDataFile(1, Records(1), "t");
    bytes.insert(bytes.end(), {0xFF, 0x00, 0x12});
    DataFileContents contents;
    ASSERT_TRUE(ParseDataFile(bytes, contents, "f").ok);
    EXPECT_EQ(contents.title, "t");
}

struct BadFile {
    const char* name;
    std::vector<std::uint8_t> bytes;  // empty: no file at all
    std::string message;              // "%1" stands for the path
};

std::vector<BadFile> BadFiles() {
    const auto good = EncodeDataFile(5, Records(2), "abc");  // 5 + 22 + 1 + 3 = 31 bytes
    auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(good.begin(), good.begin() + size); };
    auto withCount = [&](std::uint32_t count) {
        auto bytes = good;
        for (int i = 0; i < 4; ++i) bytes[1 + i] = static_cast<std::uint8_t>(count >> (8 * i));
        return bytes;
    };
    const std::string pastEnd = "Attempted to access %1 past its end.";
    return {
        {"missing", {}, "can't open the file"},
        {"in the ID", std::vector<std::uint8_t>{}, pastEnd},  // an empty file
        {"in the count", cut(3), pastEnd},
        {"in the records", cut(5 + 11 + 4), pastEnd},
        {"before the title", cut(27), pastEnd},
        {"in the title", cut(30), pastEnd},
        {"in a long title prefix", {0, 0, 0, 0, 0, 0xFF, 0x2C}, pastEnd},
        {"in a huge title", {0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, pastEnd},
        {"in a wide title", {0, 0, 0, 0, 0, 0xFF, 0xFE, 0xFF, 2, 'a', 0, 'b'}, pastEnd},
        {"negative count", withCount(0xFFFFFFFF),
         "The file %1 is not a valid data file: it claims -1 records, but a data file holds 0 to 518400."},
        {"count above capacity", withCount(518'401),
         "The file %1 is not a valid data file: it claims 518401 records, but a data file holds 0 to 518400."},
    };
}

TEST(DataFile, ABadFileIsReportedAndLeavesTheStoreAsItWas) {
    test::TempDir dir;
    for (const auto& bad : BadFiles()) {
        SCOPED_TRACE(bad.name);
        const auto path = dir / "bad.dat";
        fs::remove(path);
        if (std::string(bad.name) != "missing") WriteBytes(path, bad.bytes);

        RecordingStore store;
        const auto old = Records(3, 4);
        std::copy(old.begin(), old.end(), store.CurrentDataSet().begin());
        store.CurrentSampleCount = 3;
        store.CurrentId = 4;
        std::string title = "kept";

        const auto result = LoadDataFileIntoStore(path, store, title);
        EXPECT_FALSE(result.ok);
        std::string expected = bad.message;
        if (auto at = expected.find("%1"); at != std::string::npos) expected.replace(at, 2, path.string());
        EXPECT_EQ(result.message, expected);
        EXPECT_EQ(store.CurrentSampleCount, 3);
        EXPECT_EQ(store.CurrentId, 4);
        EXPECT_TRUE(std::equal(old.begin(), old.end(), store.CurrentDataSet().begin()));
        EXPECT_EQ(title, "kept");
    }
}

TEST(DataFile, OnlyARegularFileCanBeOpened) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.dat").c_str(), 0600), 0);
    const struct {
        fs::path path;
        const char* detail;
    } cases[] = {
        {dir.Path(), "Is a directory"},
        {dir / "fifo.dat", "Not a regular file (a FIFO, a device or a socket)"},
        {"/dev/zero", "Not a regular file (a FIFO, a device or a socket)"},
    };
    for (const auto& c : cases) {
        DataFileContents contents;
        const FileResult result = ReadDataFile(c.path, contents);
        EXPECT_EQ(result.message, "can't open the file");
        EXPECT_EQ(result.detail, c.detail);
    }
}

// The longest file read: a full data set and a wide title of 65,533 units,
// the longest the 16-bit length describes. One byte more is refused unread.
TEST(DataFile, TheLongestDataFileIsReadAndOneByteMoreIsRefused) {
    test::TempDir dir;
    auto bytes = EncodeDataFile(9, Records(kMaxSamples), "");
    bytes.pop_back();  // the empty title's length
    bytes.insert(bytes.end(), {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF});
    bytes.resize(kMaxDataFileSize, 'a');
    WriteBytes(dir / "longest.dat", bytes);
    DataFileContents contents;
    const FileResult longest = ReadDataFile(dir / "longest.dat", contents);
    ASSERT_TRUE(longest) << longest.message;
    EXPECT_EQ(contents.records.size(), static_cast<std::size_t>(kMaxSamples));
    EXPECT_EQ(contents.title.size(), 3u * 65'533);  // U+6161, three bytes in UTF-8

    bytes.push_back(0);  // ignored after the title, but past the limit
    WriteBytes(dir / "longer.dat", bytes);
    DataFileContents untouched;
    EXPECT_EQ(ReadDataFile(dir / "longer.dat", untouched).message,
              "The file " + (dir / "longer.dat").string() +
                  " is not a valid data file: it is longer than 5833477 bytes, the most a data file of 518400 "
                  "records and its title takes.");
    EXPECT_TRUE(untouched.records.empty());
}

TEST(SafeWrite, FailuresReportAndLeaveTheOldFileAndNoLeftovers) {
    test::TempDir dir;
    const auto records = Records(2);
    // A directory that does not exist.
    auto result = WriteDataFile(dir / "missing/x.dat", 9, records, "");
    EXPECT_EQ(result.message, "Can't create the file");
    EXPECT_NE(result.detail.find("No such file"), std::string::npos) << result.detail;

    // A target that is a directory: the rename is refused and the directory stays.
    fs::create_directory(dir / "taken.dat");
    WriteBytes(dir / "taken.dat/inside", {1, 2, 3});
    EXPECT_FALSE(WriteDataFile(dir / "taken.dat", 9, records, "").ok);
    EXPECT_EQ(ReadBytes(dir / "taken.dat/inside"), (std::vector<std::uint8_t>{1, 2, 3}));

    // Running out of space half-way through: the file size limit stands in for a full disk.
    ASSERT_TRUE(WriteDataFile(dir / "old.dat", 1, Records(1), "old").ok);
    const auto oldBytes = ReadBytes(dir / "old.dat");
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit{};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    result = WriteDataFile(dir / "old.dat", 9, Records(200), "new");
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result.message, "Can't create the file");
    EXPECT_EQ(ReadBytes(dir / "old.dat"), oldBytes);

    EXPECT_EQ(DirectoryEntries(dir.Path()), (std::vector<std::string>{"old.dat", "taken.dat"}));
}

TEST(SafeWrite, ReplacingAFileKeepsItsPermissions) {
    test::TempDir dir;
    const auto path = dir / "settings.ini";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("one"), error)) << error;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(WriteFileAtomically(path, std::string_view("two"), error)) << error;
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(SafeWrite, SmallAndLargePiecesArriveInOrder) {
    test::TempDir dir;
    std::string expected;
    AtomicFile file(dir / "pieces");
    ASSERT_TRUE(file.Open()) << file.Error();
    for (int i = 0; i < 20000; ++i) {  // many buffer-fulls of small writes
        const std::string line = std::to_string(i) + "\r\n";
        expected += line;
        ASSERT_TRUE(file.Write(line));
    }
    const std::string big(300'000, 'b');  // larger than the buffer: bypasses it
    expected += big;
    ASSERT_TRUE(file.Write(big));
    expected += "end";
    ASSERT_TRUE(file.Write(std::string_view("end")));
    EXPECT_FALSE(fs::exists(dir / "pieces"));  // nothing visible before the commit
    ASSERT_TRUE(file.Commit()) << file.Error();
    const auto bytes = ReadBytes(dir / "pieces");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected);
    EXPECT_EQ(DirectoryEntries(dir.Path()), std::vector<std::string>{"pieces"});
}

TEST(SafeWrite, AnUncommittedFileLeavesNothingBehind) {
    test::TempDir dir;
    WriteBytes(dir / "keep", {7});
    {
        AtomicFile file(dir / "keep");
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write(std::string_view("replacement")));
    }
    EXPECT_EQ(ReadBytes(dir / "keep"), std::vector<std::uint8_t>{7});
    EXPECT_EQ(DirectoryEntries(dir.Path()), std::vector<std::string>{"keep"});
}

}  // namespace
}  // namespace quenda
