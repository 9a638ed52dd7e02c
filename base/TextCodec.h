#pragma once

#include <cstddef>
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

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF): what the program accepts as text from the user.
bool IsValidUtf8(std::string_view text);

// `text` with each malformed sequence replaced by U+FFFD, so what goes out
// (a listing, a JSON or CSV document) is UTF-8 whatever a file or an older
// library held. Valid text passes unchanged.
std::string ValidUtf8(std::string_view text);

// Outside text made safe for a terminal: valid UTF-8 (as ValidUtf8) with
// every control character made visible, C0 and DEL as "\x1b", C1 (U+0080 to
// U+009F) as "\u009b", so a name, a note, a path or a file's content cannot
// move the cursor, clear the screen or retitle the window. The control
// characters in `keep` (say "\t\n" for a CSV field) pass as they are.
std::string TerminalText(std::string_view text, std::string_view keep = {});

// The columns a terminal gives UTF-8 text: one per character, two for the
// wide characters of East Asian scripts, none for combining marks. A
// malformed sequence takes one (it is shown as U+FFFD).
std::size_t DisplayWidth(std::string_view utf8);

// `utf8` cut to at most `width` columns, whole characters only, then padded
// with spaces to exactly `width`: a table's column in a terminal.
std::string FitToWidth(std::string_view utf8, std::size_t width);

}  // namespace quenda
