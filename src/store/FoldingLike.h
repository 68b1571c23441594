// LIKE that ignores case for every letter (é/É, ß/ẞ, Ü/ü), where the engine's own is ASCII-only.
#pragma once

#include <sqlcipher/sqlite3.h>

#include <string>
#include <string_view>
#include <vector>

namespace trovander {

// A LIKE pattern compiled once per statement: '%' any run, '_' exactly one character, everything else
// literal. Text and pattern are UTF-8; a byte that is not part of valid UTF-8 is a character of its own
// that matches only the same byte.
class LikePattern {
  public:
    explicit LikePattern(std::string_view pattern);
    bool matches(std::string_view text) const;

  private:
    static constexpr char32_t kAnyOne = 0xFFFFFFFF;
    struct Segment {
        std::vector<char32_t> units;  // folded code points, kAnyOne for '_'
        std::string ascii;            // the same, as bytes, when the whole pattern is ASCII
        bool hasAnyOne = false;
    };
    bool matchAscii(std::string_view folded) const;
    bool matchUnits(const std::vector<char32_t>& text) const;

    std::vector<Segment> segments_;
    bool anchoredStart_ = true;  // no leading '%'
    bool anchoredEnd_ = true;    // no trailing '%'
    bool asciiPattern_ = true;
    bool hasAnyOne_ = false;
};

// Folded code points of UTF-8 text (invalid bytes kept apart above the Unicode range).
void foldUtf8(std::string_view text, std::vector<char32_t>& out);
// The same folded text as bytes: each folded code point in UTF-8, each invalid byte as it is. Text whose
// folded code points contain a pattern's contain its folded bytes too.
void foldUtf8Bytes(std::string_view text, std::string& out);

// The first place of needle in text, npos when there is none: memmem's work, which not every C library
// has, at memory speed where the processor compares sixteen bytes at once.
size_t findBytes(std::string_view text, std::string_view needle);

// Registers LIKE(pattern, text) on the connection in place of the built-in one. Returns the engine's
// result code: anything but SQLITE_OK leaves the ASCII-only LIKE in place, which the caller must not accept.
int registerFoldingLike(sqlite3* db);

}  // namespace trovander
