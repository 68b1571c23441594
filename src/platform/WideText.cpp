#include "platform/WideText.h"

namespace trovander {

namespace {
bool isLead(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isTrail(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
}  // namespace

std::string narrowName(std::u16string_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t cp = wide[i];
        if (isLead(cp) && i + 1 < wide.size() && isTrail(wide[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(wide[i + 1]) - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {  // an unpaired surrogate lands here too
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::optional<std::u16string> widenName(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    bool afterLead = false;  // the last unit was an unpaired lead surrogate written from three bytes
    for (size_t i = 0; i < bytes.size();) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 == 0) return std::nullopt;
        size_t len = 0;
        char32_t cp = 0, min = 0;
        if (b0 < 0x80) {
            len = 1, cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            len = 2, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4, cp = b0 & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + len > bytes.size()) return std::nullopt;
        for (size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF) return std::nullopt;
        // A pair written as two three-byte forms is a second spelling of a four-byte one: refused, so each
        // name has one spelling.
        if (afterLead && isTrail(cp)) return std::nullopt;
        afterLead = isLead(cp);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        i += len;
    }
    return out;
}

}  // namespace trovander
