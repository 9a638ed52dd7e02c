#include "nights/Journal.h"

#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace quenda {

namespace {

constexpr std::string_view kHeader = "quenda-nights-journal 1\n";

struct KindName {
    JournalKind kind;
    std::string_view name;
};
constexpr KindName kKinds[] = {{JournalKind::Add, "add"},       {JournalKind::Note, "note"},
                               {JournalKind::Remove, "remove"}, {JournalKind::Exclusions, "exclude"},
                               {JournalKind::Shift, "shift"},   {JournalKind::Unshift, "unshift"},
                               {JournalKind::Merge, "merge"},   {JournalKind::Unmerge, "unmerge"},
                               {JournalKind::Split, "split"},   {JournalKind::Unsplit, "unsplit"},
                               {JournalKind::Scoring, "scoring"}};

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: return false;
        }
    }
    return true;
}

template <typename T>
bool Number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::string JournalLine(const JournalEntry& e) {
    std::string kind;
    for (const auto& k : kKinds)
        if (k.kind == e.kind) kind = k.name;
    std::string line = std::to_string(e.time) + '\t' + kind + '\t' + std::to_string(e.night) + '\t' +
                       std::to_string(e.id) + '\t' + std::to_string(e.start);
    if (e.samples > 0) line += '\t' + PairText(e.samples, e.digest);
    if (HasText(e.kind)) line += '\t' + Escape(e.text);
    return line + '\n';
}

bool ParseJournalLine(std::string_view line, JournalEntry& entry) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (true) {
        const auto tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string_view::npos ? std::string_view::npos : tab - at));
        if (tab == std::string_view::npos) break;
        at = tab + 1;
    }
    if (fields.size() < 5) return false;
    JournalEntry e;
    bool known = false;
    for (const auto& k : kKinds) {
        if (k.name == fields[1]) {
            e.kind = k.kind;
            known = true;
        }
    }
    if (!known || !Number(fields[0], e.time) || !Number(fields[2], e.night) || !Number(fields[3], e.id) ||
        !Number(fields[4], e.start)) {
        return false;
    }
    // One field more when the line names the night's samples.
    const std::size_t text = HasText(e.kind) ? 1 : 0;
    if (fields.size() == 6 + text) {
        std::int64_t samples = 0;
        if (!ParsePair(fields[5], samples, e.digest) || samples <= 0 || samples > INT32_MAX) return false;
        e.samples = static_cast<std::int32_t>(samples);
    } else if (fields.size() != 5 + text) {
        return false;
    }
    if (text && !Unescape(fields.back(), e.text)) return false;
    entry = std::move(e);
    return true;
}

bool AppendJournal(const std::filesystem::path& file, std::span<const JournalEntry> entries, std::string& error) {
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        if (in) {
            std::ostringstream all;
            all << in.rdbuf();
            bytes = all.str();
        }
    }
    if (bytes.empty()) bytes = kHeader;
    // A line a crash cut short stays as it is, but is ended so that the
    // next one reads.
    if (bytes.back() != '\n') bytes += '\n';
    for (const JournalEntry& e : entries) bytes += JournalLine(e);
    // A new journal is made 0600 first, so the replacement takes that mode
    // from it and is never readable by others, not even for a moment.
    if (const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600); fd >= 0) ::close(fd);
    return WriteFileAtomically(file, bytes, error);
}

bool ReadJournal(const std::filesystem::path& file, std::vector<JournalEntry>& entries, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "can't read " + file.string();
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        JournalEntry e;
        if (ParseJournalLine(line, e)) entries.push_back(std::move(e));
    }
    return true;
}

bool HasText(JournalKind kind) {
    return kind != JournalKind::Remove && kind != JournalKind::Unshift && kind != JournalKind::Unmerge &&
           kind != JournalKind::Unsplit;
}

std::string PairText(std::int64_t a, std::int64_t b) { return std::to_string(a) + ' ' + std::to_string(b); }

bool ParsePair(std::string_view text, std::int64_t& a, std::int64_t& b) {
    const auto space = text.find(' ');
    return space != std::string_view::npos && Number(text.substr(0, space), a) && Number(text.substr(space + 1), b);
}

std::string SpansText(std::span<const SampleSpan> spans) {
    std::string text;
    for (const SampleSpan& s : spans) {
        if (!text.empty()) text += ',';
        text += std::to_string(s.first) + '-' + std::to_string(s.last);
    }
    return text;
}

bool ParseSpans(std::string_view text, std::vector<SampleSpan>& spans) {
    std::vector<SampleSpan> out;
    while (!text.empty()) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const auto dash = item.find('-');
        SampleSpan s;
        if (dash == std::string_view::npos || !Number(item.substr(0, dash), s.first) ||
            !Number(item.substr(dash + 1), s.last)) {
            return false;
        }
        out.push_back(s);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    spans = std::move(out);
    return true;
}

}  // namespace quenda
