// Every entry of the index in memory, case-folded, for searches that answer in milliseconds.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace trovander {

class Connection;
class LikePattern;

// The rows of tblFiles (FilePath, FileName, FileType) in the order the view gives them, read once from
// the store. Names are kept twice in slots of the same place and size: as stored, and folded as the
// store's LIKE folds them, so that a pattern's longest literal piece is found by a plain byte search over
// all folded names at once. Immutable once loaded, so any number of searches may read it at a time.
class NameArena {
  public:
    // Reads tblEntries and tblFolders through conn, a slice of rows in each read transaction so that no
    // writer waits long, all of one commit (another connection's commit in between gives null). Null
    // also when cancel was set, or
    // when the tables hold something the arena cannot stand for exactly (a value that is not text or an
    // integer where the schema says so, a type other than "0" and "1", a name or path with a NUL, more than
    // 4 GiB of names or paths): searches then go to the tables themselves. Throws StoreError as reads do.
    static std::shared_ptr<const NameArena> load(Connection& conn, const std::atomic<bool>& cancel);

    size_t size() const { return folder_.size(); }
    std::string_view name(size_t entry) const;
    std::string_view folderPath(size_t entry) const;
    bool isFolder(size_t entry) const { return (folder_[entry] & kFolderBit) != 0; }

    // The entries whose name matches pattern as the store's LIKE matches it, in order. Scans on every
    // core for a large arena.
    std::vector<uint32_t> match(std::string_view pattern) const;

    // Bytes held, capacity included.
    size_t bytes() const;

  private:
    static constexpr uint32_t kFolderBit = 0x80000000u;

    template <typename Take>
    static bool readSliced(Connection& conn, std::string_view select, int64_t& version,
                           const std::atomic<bool>& cancel, Take take);
    struct Plan;
    static Plan planFor(std::string_view pattern);
    void matchRange(const Plan& plan, const LikePattern& like, size_t from, size_t to,
                    std::vector<uint32_t>& out) const;
    size_t entryAt(size_t offset, size_t hint) const;

    std::string folded_;               // folded names, each slot padded with NULs
    std::string names_;                // the names as stored, in slots of the same place and size
    std::vector<uint32_t> start_;      // slot of each entry, and one past the last
    std::vector<uint32_t> folder_;     // folder of each entry, kFolderBit for a folder entry
    std::string paths_;                // folder paths back to back
    std::vector<uint32_t> pathStart_;  // start of each path, and one past the last
};

}  // namespace trovander
