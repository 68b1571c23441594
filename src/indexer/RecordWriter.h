// Writes a walk's records on a thread of its own, in the walk's order, so that reading folders and
// encrypting pages run on two cores at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "store/IndexStore.h"

namespace trovander {

class RecordWriter {
  public:
    // While the writer lives, the store belongs to its thread; touch the store again only after drain().
    explicit RecordWriter(IndexStore& store);
    ~RecordWriter();

    // A folder's path, once, before the first entry that lies in it.
    void addFolder(int64_t folderId, std::string_view folderPath);
    void add(int64_t folderId, std::string_view name, EntryType type);
    // Hands everything added so far to the writer thread and waits until it is written.
    void drain();
    // Set once a record could not be written (a fault of the store); everything after it is dropped.
    bool failed() const;
    std::optional<StoreError> fault() const;

  private:
    struct Chunk {
        std::string bytes;
        struct Record {
            int64_t folderId;
            size_t offset, length;  // the folder's path or the entry's name, in bytes
            EntryType type;
            bool isFolderPath;
        };
        std::vector<Record> records;
    };
    void hand();
    void run();

    IndexStore& store_;
    Chunk filling_;
    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_, room_;
    std::deque<Chunk> queue_;
    bool busy_ = false, stop_ = false;
    std::optional<StoreError> fault_;
    std::thread thread_;
};

}  // namespace trovander
