#pragma once

#include <string>
#include <string_view>

namespace quenda {

// Text in memory is UTF-8. Files the program shares with Windows machines (the
// data file's title, the text exports) carry text in Windows-1252, the ANSI code
// page those machines use for English.

// Every byte has a meaning: the five bytes 1252 leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) become the C1 control characters of the same value, as
// Windows itself maps them, so any byte string survives a round trip.
std::string Windows1252ToUtf8(std::string_view ansi);

// Characters that Windows-1252 cannot hold become '?', as they do when Windows
// converts to its ANSI code page; so does each malformed UTF-8 sequence.
std::string Utf8ToWindows1252(std::string_view utf8);

// UTF-16 (host order code units) to UTF-8; an unpaired surrogate becomes '?'.
std::string Utf16ToUtf8(std::u16string_view utf16);

// The nearest ASCII of UTF-8 text, for formats whose text is ASCII only (the
// EDF header): a Latin letter with a mark loses the mark ("ö" → "o", "é" →
// "e"), a ligature or a letter English writes with two becomes two ("ß" →
// "ss", "Æ" → "AE", "þ" → "th"). Anything else outside ASCII, and each
// malformed sequence, becomes '?'. ASCII passes unchanged.
std::string Utf8ToAsciiLetters(std::string_view utf8);

}  // namespace quenda
