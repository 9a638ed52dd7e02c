// Scoring XML files come from sleep labs and public cohorts: any bytes must be
// refused with the line at fault or read into annotations the scoring can hold.
#include "formats/Scoring.h"

#include <cstdlib>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ScoringXml read = ReadScoringXml(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!read.ok) {
        if (!read.message.starts_with("line ") || !read.annotations.empty()) std::abort();
        return 0;
    }
    for (const ScoredAnnotation& a : read.annotations) {
        if (a.onsetMs < 0 || a.durationMs < 0 || a.text.empty()) std::abort();
        if ((a.kind == AnnotationKind::Stage) != (a.stage != SleepStage::None)) std::abort();
    }
    return 0;
}
