// Names between the index's bytes and the UTF-16 text of the Windows wide (-W) functions. The index keeps
// UTF-8. Windows names need not be well-formed UTF-16 (NTFS takes an unpaired surrogate), so such a unit is
// kept as the three bytes UTF-8 gives a code point of that value (the WTF-8 form): every name read from the
// system comes back whole when it is handed to the system again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trovander {

// Never fails: every UTF-16 unit sequence has a form.
std::string narrowName(std::u16string_view wide);
// nullopt when bytes are not a form narrowName gives (not UTF-8, an overlong or encoded surrogate pair, a
// value above U+10FFFF), or hold a NUL, which would end the name early in the system's call and reach
// another file.
std::optional<std::u16string> widenName(std::string_view bytes);

// The same text as the -W functions take and give it; only where wchar_t is UTF-16, which is Windows.
template <typename WideChar = wchar_t>
const WideChar* wideChars(const std::u16string& text) {
    static_assert(sizeof(WideChar) == sizeof(char16_t), "the -W functions take UTF-16");
    return reinterpret_cast<const WideChar*>(text.c_str());
}
template <typename WideChar = wchar_t>
WideChar* wideChars(std::u16string& text) {
    static_assert(sizeof(WideChar) == sizeof(char16_t), "the -W functions take UTF-16");
    return reinterpret_cast<WideChar*>(text.data());
}
template <typename WideChar = wchar_t>
std::string narrowName(const WideChar* text, size_t units) {
    static_assert(sizeof(WideChar) == sizeof(char16_t), "the -W functions give UTF-16");
    return narrowName(std::u16string_view(reinterpret_cast<const char16_t*>(text), units));
}

}  // namespace trovander
