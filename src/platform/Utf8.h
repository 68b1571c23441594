// One UTF-8 sequence read from bytes: the one decoder the name folding and the Windows names share.
#pragma once

#include <cstddef>
#include <string_view>

namespace trovander {

// Decodes the sequence at text[i] into cp and returns its length in bytes; 0 when the bytes there are not
// one (a stray continuation byte, a lead byte of no length, a cut-off or overlong sequence, a value above
// U+10FFFF). A surrogate's three-byte form is decoded: whether it may stand is the caller's rule.
inline size_t decodeUtf8Sequence(std::string_view text, size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    size_t len = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF) return 0;
    return len;
}

}  // namespace trovander
