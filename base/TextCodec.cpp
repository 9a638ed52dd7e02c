#include "base/TextCodec.h"

#include <array>
#include <cstdint>

namespace quenda {

namespace {

// Code points of bytes 0x80..0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98..9F
};

constexpr char kReplacement = '?';

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Byte for a code point, or the replacement when 1252 has none.
char ToWindows1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) return static_cast<char>(0x80 + i);
    }
    return kReplacement;
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one code point at `pos` and advances past it. A malformed sequence
// yields kInvalid and advances past its longest valid-looking start only, so the
// byte that broke it is decoded afresh (one replacement per broken sequence).
char32_t DecodeUtf8(std::string_view s, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(s[pos++]);
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return kInvalid;
    }
    for (int i = 0; i < extra; ++i) {
        if (pos >= s.size()) return kInvalid;
        const auto c = static_cast<unsigned char>(s[pos]);
        if (c < low || c > high) return kInvalid;
        low = 0x80;
        high = 0xBF;
        cp = (cp << 6) | (c & 0x3F);
        ++pos;
    }
    return cp;
}

// The ASCII letter of U+00C0 … U+017F, one per code point; '*' sends the code
// point to kTwoLetters, '?' marks a character that is no letter (× and ÷).
constexpr std::string_view kLatinLetters =
    "AAAAAA*CEEEEIIII"  // U+00C0
    "DNOOOOO?OUUUUY**"  // U+00D0
    "aaaaaa*ceeeeiiii"  // U+00E0
    "dnooooo?ouuuuy*y"  // U+00F0
    "AaAaAaCcCcCcCcDd"  // U+0100
    "DdEeEeEeEeEeGgGg"  // U+0110
    "GgGgHhHhIiIiIiIi"  // U+0120
    "Ii**JjKkkLlLlLlL"  // U+0130
    "lLlNnNnNnnNnOoOo"  // U+0140
    "Oo**RrRrRrSsSsSs"  // U+0150
    "SsTtTtTtUuUuUuUu"  // U+0160
    "UuUuWwYyYZzZzZzs";  // U+0170

struct TwoLetters {
    char32_t cp;
    const char* ascii;
};
constexpr TwoLetters kTwoLetters[] = {{0xC6, "AE"}, {0xDE, "TH"},  {0xDF, "ss"},  {0xE6, "ae"},  {0xFE, "th"},
                                      {0x132, "IJ"}, {0x133, "ij"}, {0x152, "OE"}, {0x153, "oe"}, {0x1E9E, "SS"}};

constexpr char32_t kReplacementCharacter = 0xFFFD;

struct CodeRange {
    char32_t first;
    char32_t last;
};

// The wide (two-column) characters: Hangul Jamo, the CJK blocks, Hangul
// syllables, full-width forms and the pictographs terminals draw wide.
constexpr CodeRange kWide[] = {
    {0x1100, 0x115F}, {0x231A, 0x231B}, {0x2329, 0x232A}, {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF}, {0xA000, 0xA4CF}, {0xA960, 0xA97F}, {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},
    {0xFE30, 0xFE6F}, {0xFF00, 0xFF60}, {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
};

// Characters that take no column of their own: combining marks and the
// zero-width joiners and direction marks.
constexpr CodeRange kZeroWidth[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F},
};

template <std::size_t N>
bool InRanges(const CodeRange (&ranges)[N], char32_t cp) {
    for (const CodeRange& r : ranges) {
        if (cp >= r.first && cp <= r.last) return true;
    }
    return false;
}

std::size_t Columns(char32_t cp) {
    if (cp < 0x300) return 1;  // the common case, quickly
    if (InRanges(kZeroWidth, cp)) return 0;
    return InRanges(kWide, cp) ? 2 : 1;
}

}  // namespace

std::string Utf8ToAsciiLetters(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = DecodeUtf8(utf8, pos);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        char letter = kReplacement;
        if (cp != kInvalid && cp >= 0xC0 && cp < 0xC0 + kLatinLetters.size()) letter = kLatinLetters[cp - 0xC0];
        if (letter == '*' || cp == 0x1E9E) {
            for (const TwoLetters& two : kTwoLetters) {
                if (two.cp == cp) out += two.ascii;
            }
        } else {
            out += letter;
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (DecodeUtf8(text, pos) == kInvalid) return false;
    }
    return true;
}

std::string ValidUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t cp = DecodeUtf8(text, pos);
        AppendUtf8(out, cp == kInvalid ? kReplacementCharacter : cp);
    }
    return out;
}

std::string TerminalText(std::string_view text, std::string_view keep) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t at = pos;
        const char32_t cp = DecodeUtf8(text, pos);
        if (cp == kInvalid) {
            AppendUtf8(out, kReplacementCharacter);
        } else if ((cp < 0x20 || cp == 0x7F) && keep.find(static_cast<char>(cp)) == std::string_view::npos) {
            out += "\\x";
            out += kHex[cp >> 4];
            out += kHex[cp & 0xF];
        } else if (cp >= 0x80 && cp <= 0x9F) {
            out += "\\u00";
            out += kHex[cp >> 4];
            out += kHex[cp & 0xF];
        } else {
            out.append(text.substr(at, pos - at));
        }
    }
    return out;
}

std::size_t DisplayWidth(std::string_view utf8) {
    std::size_t width = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = DecodeUtf8(utf8, pos);
        width += cp == kInvalid ? 1 : Columns(cp);
    }
    return width;
}

std::string FitToWidth(std::string_view utf8, std::size_t width) {
    std::string out;
    out.reserve(width + 8);
    std::size_t used = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t decoded = DecodeUtf8(utf8, pos);
        const char32_t cp = decoded == kInvalid ? kReplacementCharacter : decoded;
        const std::size_t columns = Columns(cp);
        if (used + columns > width) break;
        AppendUtf8(out, cp);
        used += columns;
    }
    out.append(width - used, ' ');
    return out;
}

std::string Windows1252ToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F) {
            AppendUtf8(out, kHighControls[byte - 0x80]);
        } else {
            AppendUtf8(out, byte);
        }
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = DecodeUtf8(utf8, pos);
        out += cp == kInvalid ? kReplacement : ToWindows1252(cp);
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        if (unit < 0xD800 || unit > 0xDFFF) {
            AppendUtf8(out, unit);
        } else if (unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else {
            out += kReplacement;
        }
    }
    return out;
}

}  // namespace quenda
