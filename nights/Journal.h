#pragma once

#include "nights/Night.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quenda {

// The journal beside the library: one UTF-8 line per change, fields split by
// TAB, a TAB, LF, CR or backslash inside a field written as \t, \n, \r, \\:
//
//   quenda-nights-journal 1                      first line
//   <unix time> add <night> <id> <start> <source file>
//   <unix time> note <night> <id> <start> <text>
//   <unix time> remove <night> <id> <start>
//   <unix time> exclude <night> <id> <start> <first>-<last>,...   (empty: none)
//
// <start> is SampleSeconds of the night's first sample: with the ID it names
// the night even when its number is lost. Lines that do not read are skipped
// on replay (a line cut short by a crash among them).
enum class JournalKind { Add, Note, Remove, Exclusions };

struct JournalEntry {
    std::int64_t time = 0;
    JournalKind kind = JournalKind::Add;
    NightNumber night = 0;
    int id = 0;
    std::int64_t start = 0;
    std::string text;  // source file, note, or spans

    bool operator==(const JournalEntry&) const = default;
};

std::string JournalLine(const JournalEntry& entry);  // with its LF
bool ParseJournalLine(std::string_view line, JournalEntry& entry);

// Adds the entries at the end, replacing the file safely (temporary, sync,
// rename); the file is made 0600.
bool AppendJournal(const std::filesystem::path& file, std::span<const JournalEntry> entries, std::string& error);
// A missing journal reads as empty.
bool ReadJournal(const std::filesystem::path& file, std::vector<JournalEntry>& entries, std::string& error);

// "<first>-<last>,..." and back.
std::string SpansText(std::span<const SampleSpan> spans);
bool ParseSpans(std::string_view text, std::vector<SampleSpan>& spans);

}  // namespace quenda
