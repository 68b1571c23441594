#include "store/NameArena.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>

#include "store/FoldingLike.h"
#include "store/IndexStore.h"
#include "store/Sqlite.h"

namespace trovander {

namespace {

// Offsets are 32-bit: an index with more bytes of names or paths than this is searched in the tables.
constexpr size_t kMaxBytes = std::numeric_limits<uint32_t>::max() - 1;
// Below this many bytes of names a second thread costs more than it saves.
constexpr size_t kBytesPerThread = size_t(1) << 20;
constexpr unsigned kMaxThreads = 8;

}  // namespace

// What a pattern asks of the folded names: its longest literal piece, folded, which every matching name
// contains; and whether containing it is already the whole match ("%piece%" with an ASCII piece, where
// the folded bytes and the matcher's folding agree byte for byte).
struct NameArena::Plan {
    std::string piece;
    bool pieceIsMatch = false;
    bool matchesAll = false;  // only '%': every name matches
};

NameArena::Plan NameArena::planFor(std::string_view pattern) {
    Plan plan;
    std::string folded;
    size_t from = 0;
    for (size_t i = 0; i <= pattern.size(); ++i) {
        if (i < pattern.size() && pattern[i] != '%' && pattern[i] != '_') continue;
        foldUtf8Bytes(pattern.substr(from, i - from), folded);
        if (folded.size() > plan.piece.size()) plan.piece = folded;
        from = i + 1;
    }
    const size_t begin = pattern.find_first_not_of('%');
    plan.matchesAll = !pattern.empty() && begin == std::string_view::npos;
    if (begin != std::string_view::npos && begin > 0) {
        const size_t end = pattern.find_last_not_of('%');
        const std::string_view middle = pattern.substr(begin, end - begin + 1);
        plan.pieceIsMatch =
            end + 1 < pattern.size() && middle.find_first_of("%_") == std::string_view::npos &&
            std::all_of(plan.piece.begin(), plan.piece.end(),
                        [](char c) { return c != '\0' && (static_cast<unsigned char>(c) & 0x80) == 0; });
    }
    return plan;
}

namespace {

// Appends text and NULs up to size bytes.
void appendSlot(std::string& to, std::string_view text, size_t size) {
    to.append(text);
    to.append(size - text.size(), '\0');
}

// Rows of one read: each read is a transaction of its own, short enough that a writer waiting for it to end
// (a rebuild's batch, another copy of the program) never runs out of patience.
constexpr int64_t kSliceRows = 20000;

}  // namespace

// Reads a table a slice at a time in key order, each slice in a read transaction of its own, and gives
// every row to take; false when take refused a row, or when another connection committed between two
// slices (the slices would not be of one index), or when cancel was set.
template <typename Take>
bool NameArena::readSliced(Connection& conn, std::string_view select, int64_t& version,
                           const std::atomic<bool>& cancel, Take take) {
    Statement stmt = conn.prepare(select);
    Statement dataVersion = conn.prepare(sql::kDataVersion);
    int64_t from = std::numeric_limits<int64_t>::min();
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) return false;
        conn.execute(sql::kBegin);
        struct EndRead {
            Connection& conn;
            ~EndRead() { conn.rollback(); }
        } endRead{conn};
        dataVersion.reset();
        if (!dataVersion.step()) return false;
        const int64_t now = dataVersion.columnInt64(0);
        if (version >= 0 && now != version) return false;
        version = now;
        dataVersion.reset();
        stmt.reset();
        stmt.bindInt64(1, from);
        stmt.bindInt64(2, kSliceRows);
        int64_t rows = 0, last = from;
        while (stmt.step()) {
            ++rows;
            last = stmt.columnInt64(0);
            if (!take(stmt)) return false;
        }
        stmt.reset();
        if (rows < kSliceRows || last == std::numeric_limits<int64_t>::max()) return true;
        from = last + 1;
    }
}

std::shared_ptr<const NameArena> NameArena::load(Connection& conn, const std::atomic<bool>& cancel) {
    std::shared_ptr<NameArena> arena(new NameArena());
    int64_t version = -1;  // the loader's own view of the file's data version, the same for every slice

    std::vector<int64_t> ids;
    bool dense = true;  // folder ids 1, 2, 3...: the id says the place
    arena->pathStart_.push_back(0);
    const bool foldersRead =
        readSliced(conn, sql::kReadFolders, version, cancel, [&](const Statement& folders) {
            if (!folders.columnIsInteger(0) || !folders.columnIsText(1)) return false;
            const int64_t id = folders.columnInt64(0);
            dense = dense && id == static_cast<int64_t>(ids.size()) + 1;
            ids.push_back(id);
            const std::string_view path = folders.columnText(1);
            if (path.find('\0') != std::string_view::npos) return false;
            arena->paths_.append(path);
            // Ended by a NUL, as every name is: the engine takes such text as it is, without a copy.
            arena->paths_.push_back('\0');
            if (arena->paths_.size() > kMaxBytes || ids.size() >= kFolderBit) return false;
            arena->pathStart_.push_back(static_cast<uint32_t>(arena->paths_.size()));
            return true;
        });
    if (!foldersRead) return nullptr;

    arena->start_.push_back(0);
    std::string folded;
    const bool entriesRead =
        readSliced(conn, sql::kReadEntries, version, cancel, [&](const Statement& entries) {
            if (!entries.columnIsText(1) || !entries.columnIsText(2) || !entries.columnIsInteger(3))
                return false;
            const std::string_view name = entries.columnText(1), type = entries.columnText(2);
            if (type != "0" && type != "1") return false;
            if (name.find('\0') != std::string_view::npos) return false;
            // The view joins every entry with its folder; an entry whose folder is not there is not a row.
            const int64_t id = entries.columnInt64(3);
            size_t place = 0;
            if (dense) {
                if (id < 1 || id > static_cast<int64_t>(ids.size())) return true;
                place = static_cast<size_t>(id - 1);
            } else {
                const auto hit = std::lower_bound(ids.begin(), ids.end(), id);
                if (hit == ids.end() || *hit != id) return true;
                place = static_cast<size_t>(hit - ids.begin());
            }
            foldUtf8Bytes(name, folded);
            // One NUL at least after every name: no piece found runs from one name into the next.
            const size_t slot = std::max(folded.size(), name.size()) + 1;
            appendSlot(arena->folded_, folded, slot);
            appendSlot(arena->names_, name, slot);
            if (arena->names_.size() > kMaxBytes || arena->folder_.size() >= kFolderBit) return false;
            arena->start_.push_back(static_cast<uint32_t>(arena->names_.size()));
            arena->folder_.push_back(static_cast<uint32_t>(place) | (type == "1" ? kFolderBit : 0));
            return true;
        });
    if (!entriesRead || cancel.load()) return nullptr;
    arena->folded_.shrink_to_fit();
    arena->names_.shrink_to_fit();
    arena->start_.shrink_to_fit();
    arena->folder_.shrink_to_fit();
    arena->paths_.shrink_to_fit();
    arena->pathStart_.shrink_to_fit();
    return arena;
}

std::string_view NameArena::name(size_t entry) const {
    const char* slot = names_.data() + start_[entry];
    return std::string_view(slot, ::strnlen(slot, start_[entry + 1] - start_[entry]));
}

std::string_view NameArena::folderPath(size_t entry) const {
    const uint32_t place = folder_[entry] & ~kFolderBit;
    return std::string_view(paths_).substr(pathStart_[place], pathStart_[place + 1] - pathStart_[place] - 1);
}

size_t NameArena::bytes() const {
    return sizeof(*this) + folded_.capacity() + names_.capacity() + paths_.capacity() +
           (start_.capacity() + folder_.capacity() + pathStart_.capacity()) * sizeof(uint32_t);
}

size_t NameArena::entryAt(size_t offset, size_t hint) const {
    // Hits come in order: the entry is at the hint or after it.
    const auto from = start_.begin() + static_cast<std::ptrdiff_t>(hint);
    return static_cast<size_t>(std::upper_bound(from, start_.end(), offset) - start_.begin()) - 1;
}

void NameArena::matchRange(const Plan& plan, const LikePattern& like, size_t from, size_t to,
                           std::vector<uint32_t>& out) const {
    if (plan.matchesAll) {
        for (size_t e = from; e < to; ++e) out.push_back(static_cast<uint32_t>(e));
        return;
    }
    if (plan.piece.empty()) {
        for (size_t e = from; e < to; ++e)
            if (like.matches(name(e))) out.push_back(static_cast<uint32_t>(e));
        return;
    }
    const char* base = folded_.data();
    const size_t end = start_[to];
    size_t pos = start_[from], entry = from;
    while (pos < end) {
        const size_t at = findBytes(std::string_view(base + pos, end - pos), plan.piece);
        if (at == std::string_view::npos) break;
        entry = entryAt(pos + at, entry);
        if (plan.pieceIsMatch || like.matches(name(entry))) out.push_back(static_cast<uint32_t>(entry));
        pos = start_[entry + 1];
        ++entry;
    }
}

std::vector<uint32_t> NameArena::match(std::string_view pattern) const {
    // Compiled once for every thread: the matcher is only read while it matches.
    const Plan plan = planFor(pattern);
    const LikePattern like(pattern);
    const size_t n = size();
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t threads =
        std::clamp<size_t>(folded_.size() / kBytesPerThread, 1, std::min(cores, kMaxThreads));
    std::vector<std::vector<uint32_t>> parts(threads);
    auto bound = [&](size_t t) { return n * t / threads; };
    std::vector<std::thread> workers;
    for (size_t t = 1; t < threads; ++t)
        workers.emplace_back([&, t] { matchRange(plan, like, bound(t), bound(t + 1), parts[t]); });
    matchRange(plan, like, 0, bound(1), parts[0]);
    for (std::thread& w : workers) w.join();
    if (threads == 1) return std::move(parts[0]);
    size_t total = 0;
    for (const auto& p : parts) total += p.size();
    std::vector<uint32_t> hits;
    hits.reserve(total);
    for (const auto& p : parts) hits.insert(hits.end(), p.begin(), p.end());
    return hits;
}

}  // namespace trovander
