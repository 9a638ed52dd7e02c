#include "base/Settings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quenda {
namespace {

namespace fs = std::filesystem;

// The program's default file name is relative; tests move into a directory of their own.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(old_); }

private:
    fs::path old_;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const fs::path& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

TEST(Settings, WithoutAFileEveryKeyHasItsDefault) {
    test::TempDir dir;
    InDirectory here(dir.Path());
    const Settings settings;
    EXPECT_EQ(settings.File(), fs::path(".//Quenda.ini"));
    EXPECT_EQ(settings.ReadInt(settings_key::kSaturationsHigh, settings_default::kSaturationsHigh), 94);
    EXPECT_EQ(settings.ReadInt(settings_key::kSaturationsLow, settings_default::kSaturationsLow), 88);
    EXPECT_EQ(settings.ReadInt(settings_key::kPrHigh, settings_default::kPrHigh), 150);
    EXPECT_EQ(settings.ReadInt(settings_key::kPrLow, settings_default::kPrLow), 60);
    EXPECT_EQ(settings.ReadInt(settings_key::kDesaturationsEvent, settings_default::kDesaturationsEvent), 4);
    EXPECT_EQ(settings.ReadInt(settings_key::kPulseEvent, settings_default::kPulseEvent), 6);
    EXPECT_EQ(settings.ReadInt(settings_key::kUnitSetup, settings_default::kUnitSetup), 0);
    EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, settings_default::kDefaultCom, kDefaultComBuffer), "");
    EXPECT_FALSE(fs::exists("Quenda.ini"));  // reading never creates the file
}

TEST(Settings, HandEditedValuesAreReadLikeTheProfileFunctionsDid) {
    test::TempDir dir;
    WriteText(dir / "q.ini",
              "; thresholds tuned by hand\r\n"
              "  [ SETUP ]  \r\n"
              "unitsetup=2\r\n"
              "  PrHigh =  77  \r\n"
              "PrLow=abc\r\n"
              "SaturationsLow=-5\r\n"
              "SaturationsHigh=12abc\r\n"
              "PulseEvent=\"9\"\r\n"
              "DesaturationsEvent=99999999999\r\n"
              ";DefaultCOM=COM9\r\n"
              "port='COM 3'\r\n"
              "UnitSetup=5\r\n");  // a second entry of a key is not seen
    const Settings settings(dir / "q.ini");
    EXPECT_EQ(settings.ReadInt("UnitSetup", 0), 2);  // taken as metric: readers don't check ranges
    EXPECT_EQ(settings.ReadInt("PrHigh", 150), 77);
    EXPECT_EQ(settings.ReadInt("PrLow", 60), 60);
    EXPECT_EQ(settings.ReadInt("SaturationsLow", 88), -5);
    EXPECT_EQ(settings.ReadInt("SaturationsHigh", 94), 12);
    EXPECT_EQ(settings.ReadInt("PulseEvent", 6), 9);
    EXPECT_EQ(settings.ReadInt("DesaturationsEvent", 4), 2147483647);
    EXPECT_EQ(settings.ReadString("DefaultCOM", "none", 10), "none");  // commented out
    EXPECT_EQ(settings.ReadString("PORT", "", 64), "COM 3");
}

TEST(Settings, StringsAreCutToTheBuffer) {
    test::TempDir dir;
    Settings settings(dir / "q.ini");
    // The remembered port comes back whole, whatever device path it is, up
    // to the longest path there can be.
    const std::string longest(PATH_MAX - 1, 'p');
    for (const std::string& port : {std::string("/dev/ttyUSB10"), std::string("/dev/pts/1"), longest}) {
        ASSERT_TRUE(settings.WriteString(settings_key::kDefaultCom, port));
        EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, "", kDefaultComBuffer), port);
    }
    ASSERT_TRUE(settings.WriteString(settings_key::kDefaultCom, longest + "q"));
    EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, "", kDefaultComBuffer), longest);
    EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, "", 10), "ppppppppp");
    EXPECT_EQ(settings.ReadString("missing", "defaultvalue", 5), "defa");  // defaults too
    EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, "", 1), "");
    EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, "", 0), "");
}

TEST(Settings, WritesKeepEveryOtherLineAndTheKeysSpelling) {
    test::TempDir dir;
    WriteText(dir / "q.ini",
              "; kept\n"
              "[other]\n"
              "PrHigh=1\n"
              "\n"
              "[Setup]\n"
              "prhigh = 120\n"
              "; a note\n"
              "PrLow=50\n"
              "\n"
              "[tail]\n"
              "x=y");
    Settings settings(dir / "q.ini");
    ASSERT_TRUE(settings.WriteInt("PRHIGH", 130));
    ASSERT_TRUE(settings.WriteInt(settings_key::kUnitSetup, 1));
    ASSERT_TRUE(settings.WriteString("tailnote", "z"));
    EXPECT_EQ(ReadText(dir / "q.ini"),
              "; kept\n"
              "[other]\n"
              "PrHigh=1\n"
              "\n"
              "[Setup]\n"
              "prhigh=130\n"
              "; a note\n"
              "PrLow=50\n"
              "UnitSetup=1\n"
              "tailnote=z\n"
              "\n"
              "[tail]\n"
              "x=y");
    EXPECT_EQ(settings.ReadInt("PrHigh", 0), 130);
    EXPECT_EQ(settings.LastError(), "");
}

TEST(Settings, AFileWithoutTheSectionGetsItAppended) {
    test::TempDir dir;
    WriteText(dir / "q.ini", "[other]\r\na=1");
    Settings settings(dir / "q.ini");
    ASSERT_TRUE(settings.WriteInt(settings_key::kPulseEvent, -3));
    EXPECT_EQ(ReadText(dir / "q.ini"), "[other]\r\na=1\r\n\r\n[setup]\r\nPulseEvent=-3\r\n");
    EXPECT_EQ(settings.ReadInt(settings_key::kPulseEvent, 6), -3);
}

TEST(Settings, EachWorkingDirectoryHasItsOwnFile) {
    test::TempDir first, second;
    Settings settings;  // one object, used from two directories
    {
        InDirectory here(first.Path());
        ASSERT_TRUE(settings.WriteString(settings_key::kDefaultCom, "ttyS0")) << settings.LastError();
    }
    {
        InDirectory here(second.Path());
        EXPECT_EQ(settings.ReadString(settings_key::kDefaultCom, "", kDefaultComBuffer), "");
        ASSERT_TRUE(settings.WriteString(settings_key::kDefaultCom, "ttyS1"));
    }
    EXPECT_EQ(ReadText(first / "Quenda.ini"), "[setup]\nDefaultCOM=ttyS0\n");
    EXPECT_EQ(ReadText(second / "Quenda.ini"), "[setup]\nDefaultCOM=ttyS1\n");
}

TEST(Settings, AFailedWriteIsReportedAndChangesNothing) {
    test::TempDir dir;
    // The directory does not exist.
    Settings missing(dir / "gone" / "q.ini");
    EXPECT_FALSE(missing.WriteInt("UnitSetup", 1));
    EXPECT_NE(missing.LastError().find("No such file"), std::string::npos) << missing.LastError();

    // The settings path is taken by a directory.
    fs::create_directory(dir / "q.ini");
    Settings taken(dir / "q.ini");
    EXPECT_FALSE(taken.WriteInt("UnitSetup", 1));
    EXPECT_FALSE(taken.LastError().empty());
    EXPECT_TRUE(fs::is_directory(dir / "q.ini"));

    // Entries that would corrupt the file are refused; the file stays as it was.
    WriteText(dir / "ok.ini", "[setup]\nport=COM1\n");
    Settings settings(dir / "ok.ini");
    EXPECT_FALSE(settings.WriteString("port", "COM2\n[setup]"));
    EXPECT_FALSE(settings.WriteString("a=b", "1"));
    EXPECT_FALSE(settings.WriteString(" ", "1"));
    EXPECT_FALSE(settings.LastError().empty());
    EXPECT_EQ(ReadText(dir / "ok.ini"), "[setup]\nport=COM1\n");
    ASSERT_TRUE(settings.WriteString("port", "COM2"));
    EXPECT_EQ(settings.LastError(), "");
}

// A FIFO would block the reader and a device or a huge file never end: each
// reads as an unreadable file, and a write leaves it as it is.
TEST(Settings, OnlyARegularFileOfAtMostAMegabyteIsRead) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    WriteText(dir / "huge.ini", "[setup]\nUnitSetup=1\n");
    fs::resize_file(dir / "huge.ini", Settings::kMaxFileSize + 1);
    const struct {
        fs::path file;
        const char* why;
    } cases[] = {
        {dir / "fifo.ini", "Not a regular file"},
        {"/dev/zero", "Not a regular file"},
        {dir / "huge.ini", "File too large (more than 1048576 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Settings settings(c.file);
        EXPECT_EQ(settings.ReadInt(settings_key::kUnitSetup, 7), 7);
        EXPECT_FALSE(settings.WriteInt(settings_key::kUnitSetup, 0));
        EXPECT_NE(settings.LastError().find(c.why), std::string::npos) << settings.LastError();
    }
    EXPECT_EQ(fs::status(dir / "fifo.ini").type(), fs::file_type::fifo);
    EXPECT_EQ(fs::file_size(dir / "huge.ini"), Settings::kMaxFileSize + 1);
}

}  // namespace
}  // namespace quenda
