#include "store/FoldingLike.h"

#include <QChar>
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "platform/Utf8.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TROVANDER_SSE2 1
#endif

namespace trovander {
namespace {

constexpr char32_t kInvalidByteBase = 0x110000;  // above every code point

unsigned char asciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the bytes there are not valid UTF-8
// (an encoded surrogate is not).
size_t decodeOne(std::string_view text, size_t i, char32_t& cp) {
    const size_t len = decodeUtf8Sequence(text, i, cp);
    return len != 0 && (cp < 0xD800 || cp > 0xDFFF) ? len : 0;
}

char32_t foldCodePoint(char32_t cp) {
    if (cp < 0x80) return asciiLower(static_cast<unsigned char>(cp));
    return QChar::toCaseFolded(cp);
}

// Finds seg in text at or after from; '_' in seg matches any one unit.
template <typename Unit, typename Seq>
size_t findSegment(const Unit* text, size_t textLen, size_t from, const Seq& seg, bool hasAnyOne,
                   Unit anyOne) {
    const size_t n = seg.size();
    if (n == 0) return from;
    if (textLen < n) return SIZE_MAX;
    for (size_t pos = from; pos + n <= textLen; ++pos) {
        size_t k = 0;
        if (hasAnyOne) {
            while (k < n && (seg[k] == anyOne || seg[k] == text[pos + k])) ++k;
        } else {
            while (k < n && seg[k] == text[pos + k]) ++k;
        }
        if (k == n) return pos;
    }
    return SIZE_MAX;
}

template <typename Unit, typename Seq>
bool segmentAt(const Unit* text, size_t textLen, size_t pos, const Seq& seg, Unit anyOne) {
    if (pos + seg.size() > textLen) return false;
    for (size_t k = 0; k < seg.size(); ++k)
        if (seg[k] != anyOne && seg[k] != text[pos + k]) return false;
    return true;
}

}  // namespace

size_t findBytes(std::string_view text, std::string_view needle) {
    const size_t k = needle.size();
    if (k < 2 || text.size() < k) return text.find(needle);
    const char* hay = text.data();
    const size_t n = text.size();
    size_t i = 0;
#if TROVANDER_SSE2
    // The needle's first and last bytes against sixteen places at once; the rest only where both agree.
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[k - 1]);
    for (; i + k - 1 + 16 <= n; i += 16) {
        const __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i));
        const __m128i atLast = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hay + i + k - 1));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(atFirst, first), _mm_cmpeq_epi8(atLast, last))));
        while (mask != 0) {
            const size_t at = i + static_cast<size_t>(std::countr_zero(mask));
            if (std::memcmp(hay + at + 1, needle.data() + 1, k - 2) == 0) return at;
            mask &= mask - 1;
        }
    }
#endif
    const size_t at = text.substr(i).find(needle);
    return at == std::string_view::npos ? at : i + at;
}

void foldUtf8(std::string_view text, std::vector<char32_t>& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t len = decodeOne(text, i, cp);
        if (len == 0) {
            out.push_back(kInvalidByteBase + static_cast<unsigned char>(text[i]));
            ++i;
        } else {
            out.push_back(foldCodePoint(cp));
            i += len;
        }
    }
}

void foldUtf8Bytes(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t len = decodeOne(text, i, cp);
        if (len == 0) {
            out.push_back(text[i]);
            ++i;
            continue;
        }
        i += len;
        cp = foldCodePoint(cp);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
}

LikePattern::LikePattern(std::string_view pattern) {
    std::vector<char32_t> units;
    foldUtf8(pattern, units);
    asciiPattern_ = std::all_of(pattern.begin(), pattern.end(), [](char c) { return (c & 0x80) == 0; });
    anchoredStart_ = units.empty() || units.front() != U'%';
    anchoredEnd_ = units.empty() || units.back() != U'%';
    Segment current;
    auto flush = [&] {
        if (!current.units.empty() || segments_.empty()) segments_.push_back(std::move(current));
        current = Segment{};
    };
    for (char32_t u : units) {
        if (u == U'%') {
            flush();
            continue;
        }
        if (u == U'_') {
            current.units.push_back(kAnyOne);
            current.hasAnyOne = true;
        } else {
            current.units.push_back(u);
        }
    }
    flush();
    // Drop empty segments a run of '%' made; an all-'%' pattern keeps one empty segment.
    segments_.erase(
        std::remove_if(segments_.begin(), segments_.end(), [](const Segment& s) { return s.units.empty(); }),
        segments_.end());
    if (units.empty()) segments_.push_back(Segment{});
    for (const Segment& s : segments_) hasAnyOne_ |= s.hasAnyOne;
    if (asciiPattern_) {
        for (Segment& s : segments_)
            for (char32_t u : s.units) s.ascii.push_back(u == kAnyOne ? '\0' : static_cast<char>(u));
    }
}

bool LikePattern::matchAscii(std::string_view folded) const {
    const auto* text = reinterpret_cast<const unsigned char*>(folded.data());
    const size_t len = folded.size();
    size_t pos = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        const auto* seg = reinterpret_cast<const unsigned char*>(s.ascii.data());
        const std::basic_string_view<unsigned char> segView(seg, s.ascii.size());
        const bool first = i == 0, last = i + 1 == segments_.size();
        if (last && anchoredEnd_) {
            if (len < pos + segView.size()) return false;
            const size_t at = len - segView.size();
            if (first && anchoredStart_ && at != 0) return false;
            return segmentAt<unsigned char>(text, len, at, segView, 0);
        }
        if (first && anchoredStart_) {
            if (!segmentAt<unsigned char>(text, len, 0, segView, 0)) return false;
            pos = segView.size();
            continue;
        }
        size_t at;
        if (!s.hasAnyOne && !segView.empty()) {
            const size_t hit = findBytes(folded.substr(pos), s.ascii);
            at = hit == std::string_view::npos ? SIZE_MAX : pos + hit;
        } else {
            at = findSegment<unsigned char>(text, len, pos, segView, s.hasAnyOne, 0);
        }
        if (at == SIZE_MAX) return false;
        pos = at + segView.size();
    }
    return !anchoredEnd_ || pos == len;
}

bool LikePattern::matchUnits(const std::vector<char32_t>& textUnits) const {
    const char32_t* text = textUnits.data();
    const size_t len = textUnits.size();
    size_t pos = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        const auto& seg = segments_[i].units;
        const bool first = i == 0, last = i + 1 == segments_.size();
        if (last && anchoredEnd_) {
            if (len < pos + seg.size()) return false;
            const size_t at = len - seg.size();
            if (first && anchoredStart_ && at != 0) return false;
            return segmentAt<char32_t>(text, len, at, seg, kAnyOne);
        }
        if (first && anchoredStart_) {
            if (!segmentAt<char32_t>(text, len, 0, seg, kAnyOne)) return false;
            pos = seg.size();
            continue;
        }
        const size_t at = findSegment<char32_t>(text, len, pos, seg, segments_[i].hasAnyOne, kAnyOne);
        if (at == SIZE_MAX) return false;
        pos = at + seg.size();
    }
    return !anchoredEnd_ || pos == len;
}

namespace {

// The few code points above ASCII whose case folding is an ASCII letter (KELVIN SIGN to k, LONG S to s),
// found once from the folding tables themselves, keyed by their UTF-8 lead byte.
struct FoldsToAscii {
    bool leadByte[256] = {};
    std::vector<std::pair<char32_t, char>> points;
    FoldsToAscii() {
        for (char32_t cp = 0x80; cp <= 0x10FFFF; ++cp) {
            if (cp >= 0xD800 && cp <= 0xDFFF) continue;
            const char32_t f = QChar::toCaseFolded(cp);
            if (f >= 0x80) continue;
            points.emplace_back(cp, static_cast<char>(f));
            leadByte[cp < 0x800     ? 0xC0 | (cp >> 6)
                     : cp < 0x10000 ? 0xE0 | (cp >> 12)
                                    : 0xF0 | (cp >> 18)] = true;
        }
    }
};
const FoldsToAscii& foldsToAscii() {
    static const FoldsToAscii table;
    return table;
}

}  // namespace

bool LikePattern::matches(std::string_view text) const {
    if (asciiPattern_ && !hasAnyOne_) {
        // Fast path: an ASCII pattern with no '_' can only ever match ASCII bytes, so the text is folded
        // byte by byte; other bytes stay as they are and can match nothing, except the few letters that
        // fold to ASCII, which become that letter. No decoding into code points is needed.
        const FoldsToAscii& table = foldsToAscii();
        char stackBuf[512];
        std::unique_ptr<char[]> heapBuf;
        char* buf = stackBuf;
        if (text.size() > sizeof stackBuf) {
            heapBuf.reset(new char[text.size()]);
            buf = heapBuf.get();
        }
        size_t out = 0;
        for (size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x80) {
                buf[out++] = static_cast<char>(asciiLower(c));
                ++i;
                continue;
            }
            if (table.leadByte[c]) {
                char32_t cp = 0;
                const size_t len = decodeOne(text, i, cp);
                if (len != 0) {
                    const auto hit = std::find_if(table.points.begin(), table.points.end(),
                                                  [cp](const auto& p) { return p.first == cp; });
                    if (hit != table.points.end()) {
                        buf[out++] = hit->second;
                        i += len;
                        continue;
                    }
                }
            }
            buf[out++] = static_cast<char>(c);
            ++i;
        }
        return matchAscii(std::string_view(buf, out));
    }
    if (asciiPattern_ && text.size() <= 512 &&
        std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
        // With '_' a character must be one unit: true of ASCII text byte by byte.
        char buf[512];
        for (size_t i = 0; i < text.size(); ++i)
            buf[i] = static_cast<char>(asciiLower(static_cast<unsigned char>(text[i])));
        return matchAscii(std::string_view(buf, text.size()));
    }
    thread_local std::vector<char32_t> units;
    foldUtf8(text, units);
    return matchUnits(units);
}

namespace {

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return;  // NULL, as the built-in LIKE gives
    auto* compiled = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!compiled) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        compiled = new LikePattern(std::string_view(p ? p : "", sqlite3_value_bytes(argv[0])));
        sqlite3_set_auxdata(ctx, 0, compiled, [](void* c) { delete static_cast<LikePattern*>(c); });
        compiled = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!compiled) {
            sqlite3_result_error_nomem(ctx);
            return;
        }
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const std::string_view text(t ? t : "", sqlite3_value_bytes(argv[1]));
    sqlite3_result_int(ctx, compiled->matches(text) ? 1 : 0);
}

}  // namespace

int registerFoldingLike(sqlite3* db) {
    // SQLITE_DETERMINISTIC lets the engine treat a constant pattern as constant.
    return sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                   nullptr, nullptr);
}

}  // namespace trovander
