// The rows a search gathers: name, folder, and for a file what the look-up found. Compact: names in one
// byte arena, each distinct folder once, size and time as numbers; the results list formats them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trovander {

// The rows of one search as they are gathered, before they go into the model in one step.
class ResultRows {
  public:
    void reserve(size_t rows, size_t bytes);
    // A file record; its size and date stay empty until setFound.
    void addFile(std::string_view name, std::string_view folder);
    // A folder record: "Folder" in the size cell, no date.
    void addFolder(std::string_view name, std::string_view folder);

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    bool isFile(size_t row) const {
        return entries_[row].sizeBytes == kNotFound || entries_[row].sizeBytes >= 0;
    }
    std::string_view name(size_t row) const;
    std::string_view folder(size_t row) const;
    // Rows that share a folder index share the folder.
    uint32_t folderIndex(size_t row) const { return entries_[row].folder; }
    // The look-up found the file: its size in bytes and its time of last change. Rows are independent,
    // so look-ups of different rows may run on different threads.
    void setFound(size_t row, int64_t sizeBytes, int64_t modifiedSecs);

  private:
    // The list takes the rows over whole and reads them in place.
    friend class ResultsModel;
    static constexpr int64_t kNotFound = -1;
    static constexpr int64_t kFolder = -2;

    struct Span {
        uint64_t offset;
        uint32_t length;
    };
    struct Entry {
        uint64_t nameOffset;
        uint32_t nameLength;
        uint32_t folder;
        int64_t sizeBytes;     // >= 0 for a file found, else one of the markers above
        int64_t modifiedSecs;  // seconds since the epoch for a file found
    };

    static constexpr uint32_t kNoFolder = UINT32_MAX;
    std::string_view folderAt(uint32_t index) const;
    uint32_t folderFor(std::string_view folder);
    void rehashFolders(size_t slots);
    void add(std::string_view name, std::string_view folder, int64_t sizeBytes, int64_t modifiedSecs);

    std::string bytes_;                  // every name and folder, back to back
    std::vector<Span> folders_;          // each distinct folder once
    std::vector<uint32_t> folderSlots_;  // open-addressing table of folder indices, a power of two long
    std::vector<Entry> entries_;
};

}  // namespace trovander
