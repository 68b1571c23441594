#include "search/ResultRows.h"

#include <algorithm>
#include <functional>

namespace trovander {

void ResultRows::reserve(size_t rows, size_t bytes) {
    entries_.reserve(rows);
    bytes_.reserve(bytes);
}

std::string_view ResultRows::folderAt(uint32_t index) const {
    const Span& f = folders_[index];
    return std::string_view(bytes_).substr(f.offset, f.length);
}

void ResultRows::rehashFolders(size_t slots) {
    folderSlots_.assign(slots, kNoFolder);
    for (uint32_t i = 0; i < folders_.size(); ++i) {
        size_t at = std::hash<std::string_view>()(folderAt(i)) & (slots - 1);
        while (folderSlots_[at] != kNoFolder) at = (at + 1) & (slots - 1);
        folderSlots_[at] = i;
    }
}

uint32_t ResultRows::folderFor(std::string_view folder) {
    // Records come folder by folder, so the last folder is the likely one; the table catches a folder whose
    // subfolders came in between, so each folder is stored once.
    if (!folders_.empty() && folderAt(static_cast<uint32_t>(folders_.size() - 1)) == folder)
        return static_cast<uint32_t>(folders_.size() - 1);
    // At most half full, so probe runs stay short.
    if (folderSlots_.size() < 2 * (folders_.size() + 1))
        rehashFolders(std::max<size_t>(64, 4 * folders_.size()));
    const size_t mask = folderSlots_.size() - 1;
    size_t at = std::hash<std::string_view>()(folder) & mask;
    for (; folderSlots_[at] != kNoFolder; at = (at + 1) & mask) {
        if (folderAt(folderSlots_[at]) == folder) return folderSlots_[at];
    }
    const auto index = static_cast<uint32_t>(folders_.size());
    folders_.push_back({bytes_.size(), static_cast<uint32_t>(folder.size())});
    bytes_.append(folder);
    folderSlots_[at] = index;
    return index;
}

void ResultRows::add(std::string_view name, std::string_view folder, int64_t sizeBytes,
                     int64_t modifiedSecs) {
    const uint32_t folderIndex = folderFor(folder);
    const uint64_t nameOffset = bytes_.size();
    bytes_.append(name);
    entries_.push_back(
        {nameOffset, static_cast<uint32_t>(name.size()), folderIndex, sizeBytes, modifiedSecs});
}

void ResultRows::addFile(std::string_view name, std::string_view folder) { add(name, folder, kNotFound, 0); }

void ResultRows::addFolder(std::string_view name, std::string_view folder) { add(name, folder, kFolder, 0); }

std::string_view ResultRows::name(size_t row) const {
    const Entry& e = entries_[row];
    return std::string_view(bytes_).substr(e.nameOffset, e.nameLength);
}

std::string_view ResultRows::folder(size_t row) const { return folderAt(entries_[row].folder); }

void ResultRows::setFound(size_t row, int64_t sizeBytes, int64_t modifiedSecs) {
    Entry& e = entries_[row];
    e.sizeBytes = sizeBytes < 0 ? 0 : sizeBytes;
    e.modifiedSecs = modifiedSecs;
}

}  // namespace trovander
