// The nights journal is plain text beside the library that a user may edit or
// a crash may cut: any line must read without undefined behaviour, and a line
// that reads must write back to the same entry.
#include "nights/Journal.h"

#include <cstdlib>
#include <string_view>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t at = 0;
    while (at <= text.size()) {
        const auto end = text.find('\n', at);
        const std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        JournalEntry entry;
        if (ParseJournalLine(line, entry)) {
            const std::string again = JournalLine(entry);
            JournalEntry back;
            if (!ParseJournalLine(std::string_view(again).substr(0, again.size() - 1), back) || !(back == entry))
                std::abort();
            if (entry.kind == JournalKind::Exclusions) {
                std::vector<SampleSpan> spans;
                if (ParseSpans(entry.text, spans)) {
                    std::vector<SampleSpan> reread;
                    if (!ParseSpans(SpansText(spans), reread) || reread != spans) std::abort();
                }
            }
        }
        if (end == std::string_view::npos) break;
        at = end + 1;
    }
    return 0;
}
