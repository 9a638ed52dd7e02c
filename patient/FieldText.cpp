#include "patient/FieldText.h"

namespace quenda {

namespace {

// Length of the UTF-8 sequence starting at utf8[at]; 1 for a byte that starts
// no valid sequence, so every byte is consumed exactly once.
std::size_t SequenceLength(std::string_view utf8, std::size_t at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = lead <= 0xEF ? 3 : 1;
    } else if (lead >= 0xC2) {
        length = 2;
    }
    if (at + length > utf8.size()) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(utf8[at + i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

}  // namespace

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < utf8.size(); at += SequenceLength(utf8, at)) ++count;
    return count;
}

std::string FirstCharacters(std::string_view utf8, std::size_t maxCharacters) {
    std::size_t at = 0;
    for (std::size_t count = 0; count < maxCharacters && at < utf8.size(); ++count) {
        at += SequenceLength(utf8, at);
    }
    return std::string(utf8.substr(0, at));
}

}  // namespace quenda
