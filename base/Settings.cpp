#include "base/Settings.h"

#include "base/AtomicFile.h"
#include "base/InputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <vector>

namespace quenda {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view TrimStart(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    return first == std::string_view::npos ? std::string_view{} : s.substr(first);
}

std::string_view Trim(std::string_view s) {
    s = TrimStart(s);
    const auto last = s.find_last_not_of(kBlanks);
    return last == std::string_view::npos ? std::string_view{} : s.substr(0, last + 1);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// Hand-edited files often quote values; the quotes are not part of the value.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\n", "\r\n" or empty for a last line without one
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    while (!content.empty()) {
        const auto newline = content.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(content), {}});
            break;
        }
        std::size_t end = newline;
        if (end > 0 && content[end - 1] == '\r') --end;
        lines.push_back({std::string(content.substr(0, end)), std::string(content.substr(end, newline + 1 - end))});
        content.remove_prefix(newline + 1);
    }
    return lines;
}

// "[name]" gives the trimmed name; anything else is not a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = TrimStart(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const auto close = line.rfind(']');
    if (close == 0 || close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct KeyValue {
    std::string_view key;
    std::string_view value;
};

// "key = value" with both sides trimmed; comments and other lines give nothing.
std::optional<KeyValue> KeyLine(std::string_view line) {
    line = TrimStart(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return KeyValue{Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

// Where the key sits. Like the profile functions the file format comes from,
// only the first section of the name counts, and the first line of the key in it.
struct Location {
    std::optional<std::size_t> header;
    std::size_t sectionEnd = 0;  // index of the next section header, or the line count
    std::optional<std::size_t> keyLine;
    KeyValue entry;
};

Location Locate(const std::vector<Line>& lines, std::string_view key) {
    Location location;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionName(lines[i].text)) {
            if (location.header) {
                location.sectionEnd = i;
                return location;
            }
            if (EqualsIgnoreCase(*name, Settings::kSection)) location.header = i;
            continue;
        }
        if (!location.header || location.keyLine) continue;
        if (const auto entry = KeyLine(lines[i].text); entry && EqualsIgnoreCase(entry->key, key)) {
            location.keyLine = i;
            location.entry = *entry;
        }
    }
    location.sectionEnd = lines.size();
    return location;
}

enum class LoadResult { Loaded, Missing, Failed };

LoadResult LoadText(const std::filesystem::path& file, std::string& content, std::string& why) {
    InputFile in(file, Settings::kMaxFileSize);
    if (in.ReadAll(content)) return LoadResult::Loaded;
    why = in.Why();
    const bool missing = in.Problem() == InputProblem::CantOpen && (in.Error() == ENOENT || in.Error() == ENOTDIR);
    content.clear();
    return missing ? LoadResult::Missing : LoadResult::Failed;
}

// The value as stored, quotes removed; nothing when the file or key is missing.
std::optional<std::string> ReadValue(const std::filesystem::path& file, std::string_view key) {
    std::string content;
    std::string why;
    if (LoadText(file, content, why) != LoadResult::Loaded) return std::nullopt;
    return SettingsValue(content, key);
}

}  // namespace

std::optional<int> LeadingInt(std::string_view text) {
    text = TrimStart(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(kLimit, magnitude * 10 + (text[i] - '0'));
    }
    const long long value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

namespace {

// A line break would split the entry, '=' would move the split between key and
// value, and a leading '[' or ';' would turn the line into a header or a comment.
std::string InvalidEntry(std::string_view key, std::string_view value) {
    if (key.empty()) return "empty settings key";
    if (key.find_first_of("=\r\n") != std::string_view::npos || key.front() == '[' || key.front() == ';') {
        return "settings key \"" + std::string(key) + "\" can't be stored";
    }
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        return "value of settings key \"" + std::string(key) + "\" contains a line break";
    }
    return {};
}

std::size_t InsertionPoint(const std::vector<Line>& lines, const Location& location) {
    // After the section's last entry, so blank lines before the next section stay there.
    for (std::size_t i = location.sectionEnd; i > *location.header + 1; --i) {
        if (!Trim(lines[i - 1].text).empty()) return i;
    }
    return *location.header + 1;
}

}  // namespace

std::optional<std::string> SettingsValue(std::string_view content, std::string_view key) {
    if (content.starts_with(kUtf8Bom)) content.remove_prefix(kUtf8Bom.size());
    const auto lines = SplitLines(content);
    const auto location = Locate(lines, Trim(key));
    if (!location.keyLine) return std::nullopt;
    return std::string(Unquote(location.entry.value));
}

std::string SettingsWithEntry(std::string_view content, std::string_view key, std::string_view value) {
    std::string_view body = content;
    const bool hasBom = body.starts_with(kUtf8Bom);
    if (hasBom) body.remove_prefix(kUtf8Bom.size());
    auto lines = SplitLines(body);
    // New lines follow the file's own convention; a new file gets Unix line ends.
    std::string newline = "\n";
    for (const auto& line : lines) {
        if (!line.ending.empty()) {
            newline = line.ending;
            break;
        }
    }

    const auto location = Locate(lines, key);
    if (location.keyLine) {
        // The key keeps the spelling it has in the file.
        lines[*location.keyLine].text = std::string(location.entry.key) + "=" + std::string(value);
    } else if (location.header) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(InsertionPoint(lines, location)),
                     Line{std::string(key) + "=" + std::string(value), newline});
    } else {
        if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back({"", newline});
        lines.push_back({"[" + std::string(Settings::kSection) + "]", newline});
        lines.push_back({std::string(key) + "=" + std::string(value), newline});
    }

    std::string out = hasBom ? std::string(kUtf8Bom) : std::string();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].text;
        // A last line without a line end gets one once something follows it.
        out += (lines[i].ending.empty() && i + 1 < lines.size()) ? newline : lines[i].ending;
    }
    return out;
}

Settings::Settings(std::filesystem::path file) : file_(std::move(file)) {}

int Settings::ReadInt(std::string_view key, int defaultValue) const {
    const auto value = ReadValue(file_, key);
    if (!value) return defaultValue;
    return LeadingInt(*value).value_or(defaultValue);
}

std::string Settings::ReadString(std::string_view key, std::string_view defaultValue, std::size_t bufferSize) const {
    const auto value = ReadValue(file_, key);
    std::string text = value ? *value : std::string(defaultValue);
    // The buffer keeps its last byte for the terminator.
    text.resize(std::min(text.size(), bufferSize == 0 ? 0 : bufferSize - 1));
    return text;
}

bool Settings::WriteString(std::string_view key, std::string_view value) {
    lastError_.clear();
    key = Trim(key);
    if (auto invalid = InvalidEntry(key, value); !invalid.empty()) {
        lastError_ = std::move(invalid);
        return false;
    }
    std::string content;
    std::string why;
    if (LoadText(file_, content, why) == LoadResult::Failed) {
        // Writing anyway would replace whatever the file holds with this one key.
        lastError_ = "can't read " + file_.string() + ": " + why;
        return false;
    }
    const std::string out = SettingsWithEntry(content, key, value);
    std::string writeError;
    if (!WriteFileAtomically(file_, out, writeError)) {
        lastError_ = std::move(writeError);
        return false;
    }
    return true;
}

bool Settings::WriteInt(std::string_view key, int value) { return WriteString(key, std::to_string(value)); }

}  // namespace quenda
