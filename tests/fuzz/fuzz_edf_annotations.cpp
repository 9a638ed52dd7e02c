// A sleep study's EDF+ annotations come from other programs: any bytes must
// be refused with a reason or read into annotations the scoring can hold.
#include "formats/Scoring.h"

#include <cstdlib>

using namespace quenda;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const EdfAnnotations read = ReadEdfAnnotations(std::span<const std::uint8_t>(data, size));
    if (!read.ok) {
        if (read.message.empty() || !read.annotations.empty()) std::abort();
        return 0;
    }
    for (const StudyAnnotation& a : read.annotations)
        if (a.text.empty() || a.durationMs < 0 || a.text.find('\0') != std::string::npos) std::abort();
    const ScoredStudy study = StudyFromEdf(read);
    for (std::size_t i = 1; i < study.annotations.size(); ++i)
        if (study.annotations[i].onsetMs < study.annotations[i - 1].onsetMs) std::abort();
    return 0;
}
