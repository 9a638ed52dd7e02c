#include "store/DataFile.h"
#include "base/TextCodec.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

// An empty data set, so the title's length prefix starts at offset 5.
std::vector<std::uint8_t> EmptyDataSetWithTitle(std::vector<std::uint8_t> title) {
    title.insert(title.begin(), {3, 0, 0, 0, 0});
    return title;
}

std::string ParsedTitle(const std::vector<std::uint8_t>& bytes) {
    DataFileContents contents;
    const auto result = ParseDataFile(bytes, contents, "t.dat");
    EXPECT_TRUE(result.ok) << result.message;
    return contents.title;
}

std::vector<std::uint8_t> Prefix(const std::vector<std::uint8_t>& bytes, std::size_t size) {
    return {bytes.begin() + 5, bytes.begin() + 5 + static_cast<std::ptrdiff_t>(size)};
}

TEST(DataFileTitle, LengthPrefixGrowsWithTheTitle) {
    struct Case {
        std::size_t length;
        std::vector<std::uint8_t> prefix;
    };
    const Case cases[] = {
        {0, {0}},
        {254, {254}},
        {255, {0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0x2C, 0x01}},
        {65533, {0xFF, 0xFD, 0xFF}},
        // 65534 as a 16-bit length would read as the wide marker.
        {65534, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string title(c.length, 'x');
        const auto bytes = EncodeDataFile(3, {}, title);
        EXPECT_EQ(bytes.size(), 5 + c.prefix.size() + c.length);
        EXPECT_EQ(Prefix(bytes, c.prefix.size()), c.prefix);
        EXPECT_EQ(ParsedTitle(bytes), title);
    }
}

TEST(DataFileTitle, WideTitlesFromOtherWritersAreRead) {
    // "Größe" in UTF-16LE behind the wide marker, then a one-byte length of 5 units.
    EXPECT_EQ(ParsedTitle(EmptyDataSetWithTitle({0xFF, 0xFE, 0xFF, 5, 'G', 0, 'r', 0, 0xF6, 0, 0xDF, 0, 'e', 0})),
              "Größe");
    // Wide with a 16-bit length (and 0xFFFE is no marker there), and with a 32-bit one.
    std::vector<std::uint8_t> longWide{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01};
    for (int i = 0; i < 300; ++i) longWide.insert(longWide.end(), {0xAC, 0x20});  // '€'
    std::string euros;
    for (int i = 0; i < 300; ++i) euros += "€";
    EXPECT_EQ(ParsedTitle(EmptyDataSetWithTitle(longWide)), euros);
    EXPECT_EQ(
        ParsedTitle(EmptyDataSetWithTitle({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE})),
        "\U0001F600");
    // A narrow title in the 32-bit form, even though a shorter form would do.
    EXPECT_EQ(ParsedTitle(EmptyDataSetWithTitle({0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 'a', 'b', 'c'})), "abc");
}

TEST(DataFileTitle, TitleIsWindows1252OnDiskAndUtf8InMemory) {
    const auto bytes = EncodeDataFile(3, {}, "Größe 5 €");
    EXPECT_EQ(Prefix(bytes, 10), (std::vector<std::uint8_t>{9, 'G', 'r', 0xF6, 0xDF, 'e', ' ', '5', ' ', 0x80}));
    EXPECT_EQ(ParsedTitle(bytes), "Größe 5 €");
    // Characters 1252 lacks are written as '?', one per character.
    EXPECT_EQ(ParsedTitle(EncodeDataFile(3, {}, "Ω≈\U0001F600!")), "\?\?\?!");
}

TEST(TextCodec, EveryWindows1252ByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
    EXPECT_EQ(Windows1252ToUtf8("\x80\x9F\xA0\xFF"), "€Ÿ\u00A0ÿ");
    // Unassigned bytes map to the C1 controls, as on Windows.
    EXPECT_EQ(Windows1252ToUtf8("\x81"), "\u0081");
}

TEST(TextCodec, MalformedInputBecomesOneReplacementPerSequence) {
    EXPECT_EQ(Utf8ToWindows1252("a\xC3"), "a?");  // cut short at the end
    EXPECT_EQ(Utf8ToWindows1252("\xE2\x82"
                                "A"),
              "?A");                                           // cut short before a letter
    EXPECT_EQ(Utf8ToWindows1252("\xC0\xAF"), "??");            // overlong '/'
    EXPECT_EQ(Utf8ToWindows1252("\xED\xA0\x80"), "???");       // an encoded surrogate
    EXPECT_EQ(Utf8ToWindows1252("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
    EXPECT_EQ(Utf8ToWindows1252("\xFF"
                                "b"),
              "?b");
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800"
                          "b"),
              "a?b");  // unpaired high surrogate
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xDC00')), "?");
}

}  // namespace
}  // namespace quenda
