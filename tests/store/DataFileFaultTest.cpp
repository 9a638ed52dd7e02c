// Saving a data file under the worst a machine does: the saving process
// killed outright at any moment, and a disk that fills up halfway (the
// exports too).
#include "store/DataFile.h"
#include "formats/Export.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// A full 144-hour data set (about 5.7 MB on disk), every record stamped with
// the ID, so two versions of the file differ in every record.
std::vector<SampleRecord> FullDataSet(std::uint8_t id) {
    std::vector<SampleRecord> records(kMaxSamples);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i] = {id,
                      26,
                      3,
                      1,
                      static_cast<std::uint8_t>(i / 3600 % 24),
                      static_cast<std::uint8_t>(i / 60 % 60),
                      static_cast<std::uint8_t>(i % 60),
                      static_cast<std::uint8_t>(90 + id),
                      70,
                      0};
    }
    return records;
}

// The file is one whole version: every record of one ID.
void ExpectWholeVersion(const fs::path& file, int round) {
    DataFileContents read;
    const FileResult result = ReadDataFile(file, read);
    ASSERT_TRUE(result.ok) << "round " << round << ": " << result.message << " " << result.detail;
    ASSERT_TRUE(read.id == 1 || read.id == 2) << "round " << round;
    ASSERT_EQ(read.records.size(), static_cast<std::size_t>(kMaxSamples)) << "round " << round;
    ASSERT_EQ(read.title, read.id == 1 ? "first" : "second") << "round " << round;
    for (const SampleRecord& r : read.records) ASSERT_EQ(r.id, read.id) << "round " << round;
}

TEST(DataFileFaults, KillingTheSaverAtAnyMomentLeavesAWholeFile) {
    const test::TempDir dir("quenda-kill");
    const fs::path file = dir.Path() / "night.dat";
    const auto first = FullDataSet(1);
    const auto second = FullDataSet(2);
    ASSERT_TRUE(WriteDataFile(file, 1, first, "first").ok);

    // The child saves the two versions in turn, without end; the parent kills
    // it at a different moment each round and reads what is on disk.
    constexpr int kRounds = 40;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0) << std::strerror(errno);
        if (child == 0) {
            for (int n = 0;; ++n) {
                const bool odd = (n + round) % 2 != 0;
                if (!WriteDataFile(file, odd ? 2 : 1, odd ? second : first, odd ? "second" : "first")) _exit(3);
            }
        }
        // 0 to 117 ms: from before the first byte to several saves in.
        usleep(static_cast<useconds_t>(round * 3000));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the saver stopped by itself";
        ExpectWholeVersion(file, round);
    }
}

// Mounts a small RAM disk for the test, when the test may.
class TinyDisk {
public:
    explicit TinyDisk(const fs::path& mountPoint, const char* size) : mountPoint_(mountPoint) {
        const std::string options = std::string("size=") + size + ",mode=0700";
        mounted_ = geteuid() == 0 && mount("quenda-test", mountPoint.c_str(), "tmpfs", 0, options.c_str()) == 0;
        if (!mounted_) why_ = geteuid() != 0 ? "not root" : std::strerror(errno);
    }
    ~TinyDisk() {
        if (mounted_) umount2(mountPoint_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    fs::path mountPoint_;
    bool mounted_ = false;
    std::string why_;
};

std::string Bytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every writer of the program, each saving a short version first and then a
// full data set that cannot fit: the data file and the four exports.
TEST(DataFileFaults, AFullDiskIsReportedAndLeavesTheOldFileAndNoPartialOne) {
    const test::TempDir dir("quenda-full");
    const TinyDisk disk(dir.Path(), "1m");
    if (!disk.Mounted())
        GTEST_SKIP() << "a full disk needs a 1 MB tmpfs, which could not be mounted (" << disk.Why()
                     << "); run as root to include this test";

    auto small = FullDataSet(1);
    small.resize(3600);
    const auto full = FullDataSet(2);
    auto exportOf = [](ExportKind kind) {
        return [kind](const fs::path& file, std::span<const SampleRecord> samples) {
            ExportRequest request;
            request.samples = samples;
            request.currentId = samples.front().id;
            return ExportDataSet(kind, file, request);
        };
    };
    const struct {
        const char* name;
        std::function<FileResult(const fs::path&, std::span<const SampleRecord>)> write;
    } rows[] = {
        {"night.dat",
         [](const fs::path& file, std::span<const SampleRecord> samples) {
             return WriteDataFile(file, samples.front().id, samples, "title");
         }},
        {"night.txt", exportOf(ExportKind::Text)},
        {"night.xlsx", exportOf(ExportKind::Workbook)},
        {"night.edf", exportOf(ExportKind::Edf)},
        {"night.csv", exportOf(ExportKind::Csv)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path file = dir.Path() / row.name;
        const FileResult first = row.write(file, small);
        ASSERT_TRUE(first.ok) << first.message << " " << first.detail;
        const std::string before = Bytes(file);

        const FileResult failed = row.write(file, full);
        EXPECT_FALSE(failed.ok);
        EXPECT_FALSE(failed.message.empty());
        EXPECT_NE(failed.detail.find(std::strerror(ENOSPC)), std::string::npos) << failed.detail;

        // The old file as it was, and nothing else left on the disk.
        EXPECT_TRUE(Bytes(file) == before) << "the old file changed";
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{row.name});
        fs::remove(file);
    }
}

}  // namespace
}  // namespace quenda
