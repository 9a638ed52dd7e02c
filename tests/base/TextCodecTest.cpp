// What quenda-cli's listings and messages make of outside text: always UTF-8,
// no control character reaching the terminal, columns by display width.
#include "base/TextCodec.h"

#include <gtest/gtest.h>

namespace quenda {
namespace {

TEST(TextCodec, MalformedUtf8BecomesOneReplacementPerBrokenSequence) {
    const struct {
        std::string in;
        bool valid;
        std::string out;
    } cases[] = {
        {"Åsa \xE6\x9D\xB1 \xF0\x9F\x98\x80", true, "Åsa \xE6\x9D\xB1 \xF0\x9F\x98\x80"},
        {"\xF4\x8F\xBF\xBF", true, "\xF4\x8F\xBF\xBF"},           // U+10FFFF, the last code point
        {"\xF4\x90\x80\x80", false, "\uFFFD\uFFFD\uFFFD\uFFFD"},  // one past it
        {"\xC0\xAF", false, "\uFFFD\uFFFD"},                      // overlong "/"
        {"\xED\xA0\x80", false, "\uFFFD\uFFFD\uFFFD"},            // a surrogate
        {"caf\xE9", false, "caf\uFFFD"},                          // Latin-1, as a Windows file holds it
        {"a\xE6\x9D", false, "a\uFFFD"},                          // cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidUtf8(c.in), c.valid) << c.in;
        EXPECT_EQ(ValidUtf8(c.in), c.out) << c.in;
    }
}

TEST(TextCodec, TerminalTextMakesEveryControlCharacterVisible) {
    EXPECT_EQ(TerminalText("\x1b[2Jname\x07"), "\\x1b[2Jname\\x07");
    EXPECT_EQ(TerminalText(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(TerminalText("\x1f \x20 \x7e \x7f"), "\\x1f   ~ \\x7f");
    EXPECT_EQ(TerminalText("\xC2\x80\xC2\x9B[0m\xC2\x9F\xC2\xA0"),
              "\\u0080\\u009b[0m\\u009f\xC2\xA0");  // C1, then NBSP
    EXPECT_EQ(TerminalText("line\r\n\tend"), "line\\x0d\\x0a\\x09end");
    EXPECT_EQ(TerminalText("line\r\n\tend", "\t\n"), "line\\x0d\n\tend");
    EXPECT_EQ(TerminalText("\x9b"
                           "31m"),
              "\uFFFD"
              "31m");  // a lone C1 byte is no character
}

TEST(TextCodec, ColumnsAreCountedAsATerminalDrawsThem) {
    EXPECT_EQ(DisplayWidth("Åsa Öberg"), 9u);
    EXPECT_EQ(DisplayWidth("e\xCC\x81"), 1u);                 // e and a combining acute
    EXPECT_EQ(DisplayWidth("\xE5\xB1\xB1\xE7\x94\xB0"), 4u);  // 山田, two wide
    EXPECT_EQ(FitToWidth("Åsa Öberg", 12), "Åsa Öberg   ");
    EXPECT_EQ(FitToWidth("Åsa Öberg", 9), "Åsa Öberg");
    EXPECT_EQ(FitToWidth("Åsa Öberg", 8), "Åsa Öber");
    // A wide character that would straddle the edge is left out whole.
    EXPECT_EQ(FitToWidth("a\xE5\xB1\xB1\xE7\x94\xB0", 4), "a\xE5\xB1\xB1 ");
    EXPECT_EQ(FitToWidth("a\xE5\xB1\xB1\xE7\x94\xB0", 5), "a\xE5\xB1\xB1\xE7\x94\xB0");
    EXPECT_EQ(FitToWidth("", 3), "   ");
}

}  // namespace
}  // namespace quenda
