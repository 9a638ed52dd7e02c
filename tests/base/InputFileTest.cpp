// What every reader of a whole file stands on: regular files only, checked on
// the descriptor that is read, and never more than the reader's limit.
#include "base/InputFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

TEST(InputFile, TakesRegularFilesUpToTheLimitOnly) {
    test::TempDir dir;
    std::ofstream(dir / "ten") << "0123456789";
    std::ofstream(dir / "eleven") << "0123456789A";
    fs::create_directory(dir / "folder.csv");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const struct {
        fs::path path;
        InputProblem problem;
        const char* why;
    } cases[] = {
        {dir / "ten", InputProblem::None, ""},
        {dir / "eleven", InputProblem::TooLarge, "File too large (more than 10 bytes)"},
        {dir / "folder.csv", InputProblem::Folder, "Is a directory"},
        {dir / "fifo", InputProblem::NotRegular, "Not a regular file (a FIFO, a device or a socket)"},
        {"/dev/zero", InputProblem::NotRegular, "Not a regular file (a FIFO, a device or a socket)"},
        {dir / "missing", InputProblem::CantOpen, "No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        InputFile file(c.path, 10);
        EXPECT_EQ(file.Problem(), c.problem);
        EXPECT_EQ(file.Why(), c.why);
        std::string bytes = "untouched";
        EXPECT_EQ(file.ReadAll(bytes), c.problem == InputProblem::None);
        EXPECT_EQ(bytes, c.problem == InputProblem::None ? "0123456789" : "untouched");
    }

    // A limit the first bytes set: the file's own length is still allowed, a byte less is not.
    InputFile ten(dir / "ten", 100);
    EXPECT_TRUE(ten.Limit(10));
    EXPECT_FALSE(ten.Limit(9));
    EXPECT_EQ(ten.Problem(), InputProblem::TooLarge);
}

}  // namespace
}  // namespace quenda
