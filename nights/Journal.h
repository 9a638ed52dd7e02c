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
//   <unix time> add <night> <id> <start> <samples> <source file>
//   <unix time> note <night> <id> <start> <samples> <text>
//   <unix time> remove <night> <id> <start> <samples>
//   <unix time> exclude <night> <id> <start> <samples> <first>-<last>,...   (empty: none)
//   <unix time> shift <night> <id> <start> <samples> <seconds>      the night's whole clock shift
//   <unix time> unshift <night> <id> <start> <samples>
//   <unix time> merge <night> <id> <start> <samples> <second night> <second start>
//   <unix time> unmerge <night> <id> <start> <samples>
//   <unix time> split <night> <id> <start> <samples> <index> <second night>
//   <unix time> unsplit <night> <id> <start> <samples>
//   <unix time> scoring 0 <id> <first onset's second> <scoring>    a sleep study's (ScoringText)
//
// <start> is SampleSeconds of the night's first sample as recorded (never
// shifted), and <samples> is "<count> <digest>": how many samples the night
// held then and their NightDigest, as recorded. Together with the ID they name
// the night even when its number is lost, and tell apart two recordings of
// one ID that started at the same second. Lines written before <samples> was
// journalled lack it (one field fewer): they name a night by ID and start
// alone, and are read as they always were. The last field of merge and split
// holds two numbers split by a space. Lines that do not read are skipped on
// replay (a line cut short by a crash among them, or a kind a later Quenda
// added).
enum class JournalKind { Add, Note, Remove, Exclusions, Shift, Unshift, Merge, Unmerge, Split, Unsplit, Scoring };

struct JournalEntry {
    std::int64_t time = 0;
    JournalKind kind = JournalKind::Add;
    NightNumber night = 0;
    int id = 0;
    std::int64_t start = 0;
    std::string text;  // source file, note, spans, seconds or the two numbers
    // The night's samples when the line was written; 0 and 0 in a line
    // written before they were journalled.
    std::int32_t samples = 0;
    std::int64_t digest = 0;

    bool operator==(const JournalEntry&) const = default;
};

std::string JournalLine(const JournalEntry& entry);  // with its LF
bool ParseJournalLine(std::string_view line, JournalEntry& entry);

// Adds the entries at the end, replacing the file safely (temporary, sync,
// rename); the file is made 0600.
bool AppendJournal(const std::filesystem::path& file, std::span<const JournalEntry> entries, std::string& error);
// A missing journal reads as empty.
bool ReadJournal(const std::filesystem::path& file, std::vector<JournalEntry>& entries, std::string& error);

// Whether lines of `kind` carry a text field.
bool HasText(JournalKind kind);

// "<first>-<last>,..." and back.
std::string SpansText(std::span<const SampleSpan> spans);
bool ParseSpans(std::string_view text, std::vector<SampleSpan>& spans);

// "<a> <b>", the text of merge and split lines, and back.
std::string PairText(std::int64_t a, std::int64_t b);
bool ParsePair(std::string_view text, std::int64_t& a, std::int64_t& b);

}  // namespace quenda
