// Safe file replacement when the disk refuses the flush. On tmpfs a full disk
// shows in write(), so fsync never fails by itself; this binary is linked with
// fsync and rename wrapped (-Wl,--wrap), so the test can make fsync fail with
// EIO and see the order in which the replacement calls them.
#include "base/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
int __real_fsync(int fd);
int __real_rename(const char* from, const char* to);
}

namespace {

bool failFileSync = false;
// What reached the disk calls, in order: "fsync <bytes in the file>" or
// "rename". A directory's sync is not listed.
std::vector<std::string> calls;

}  // namespace

extern "C" int __wrap_fsync(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        calls.push_back("fsync " + std::to_string(st.st_size));
        if (failFileSync) {
            errno = EIO;
            return -1;
        }
    }
    return __real_fsync(fd);
}

extern "C" int __wrap_rename(const char* from, const char* to) {
    calls.push_back("rename");
    return __real_rename(from, to);
}

namespace quenda {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

TEST(SafeWriteFaults, AFailedFlushIsReportedAndTheOldFileStays) {
    test::TempDir dir("quenda-fsync");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(dir / "night.dat", std::string("old content"), error)) << error;

    // The whole content is in the temporary and flushed before it is renamed.
    calls.clear();
    const std::string content(100'000, 'n');
    ASSERT_TRUE(WriteFileAtomically(dir / "night.dat", content, error)) << error;
    EXPECT_EQ(calls, (std::vector<std::string>{"fsync 100000", "rename"}));
    EXPECT_EQ(Slurp(dir / "night.dat"), content);

    // The disk refuses the flush: reported with the reason, nothing renamed,
    // the old file as it was and no temporary left.
    failFileSync = true;
    calls.clear();
    const bool written = WriteFileAtomically(dir / "night.dat", std::string("new content"), error);
    failFileSync = false;
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("can't flush"), std::string::npos) << error;
    EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
    EXPECT_EQ(calls, (std::vector<std::string>{"fsync 11"}));
    EXPECT_EQ(Slurp(dir / "night.dat"), content);
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"night.dat"}));

    // The same through the streaming interface, for a new file: nothing appears.
    failFileSync = true;
    {
        AtomicFile file(dir / "new.txt");
        ASSERT_TRUE(file.Open());
        ASSERT_TRUE(file.Write(std::string_view("line\n")));
        EXPECT_FALSE(file.Commit());
        EXPECT_NE(file.Error().find("Input/output error"), std::string::npos) << file.Error();
    }
    failFileSync = false;
    EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"night.dat"}));
}

}  // namespace
}  // namespace quenda
