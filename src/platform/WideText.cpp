#include "platform/WideText.h"

#include "platform/Utf8.h"

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
        char32_t cp = 0;
        const size_t len = decodeUtf8Sequence(bytes, i, cp);
        if (len == 0) return std::nullopt;
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
