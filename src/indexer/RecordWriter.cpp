#include "indexer/RecordWriter.h"

namespace trovander {

namespace {
// Records per hand-over: large enough that the lock is rare, small enough that the writer starts early.
constexpr size_t kChunkRecords = 4096;
// Bytes per hand-over: a deep tree's folder paths are long, and memory stays bounded by this, not the tree.
constexpr size_t kChunkBytes = size_t(1) << 20;
// Hand-overs waiting for the writer at most: a walk that outruns the writer (long paths to encrypt) waits
// for it rather than queueing the tree in memory.
constexpr size_t kQueuedChunks = 4;
}  // namespace

RecordWriter::RecordWriter(IndexStore& store) : store_(store), thread_([this] { run(); }) {}

RecordWriter::~RecordWriter() {
    drain();
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RecordWriter::addFolder(int64_t folderId, std::string_view folderPath) {
    Chunk& c = filling_;
    c.records.push_back({folderId, c.bytes.size(), folderPath.size(), EntryType::Folder, true});
    c.bytes.append(folderPath);
    if (c.records.size() >= kChunkRecords || c.bytes.size() >= kChunkBytes) hand();
}

void RecordWriter::add(int64_t folderId, std::string_view name, EntryType type) {
    Chunk& c = filling_;
    c.records.push_back({folderId, c.bytes.size(), name.size(), type, false});
    c.bytes.append(name);
    if (c.records.size() >= kChunkRecords || c.bytes.size() >= kChunkBytes) hand();
}

void RecordWriter::hand() {
    if (filling_.records.empty()) return;
    {
        std::unique_lock lock(mutex_);
        room_.wait(lock, [this] { return queue_.size() < kQueuedChunks || fault_; });
        if (!fault_) queue_.push_back(std::move(filling_));
    }
    filling_ = Chunk{};
    wake_.notify_one();
}

void RecordWriter::drain() {
    hand();
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

bool RecordWriter::failed() const {
    std::lock_guard lock(mutex_);
    return fault_.has_value();
}

std::optional<StoreError> RecordWriter::fault() const {
    std::lock_guard lock(mutex_);
    return fault_;
}

void RecordWriter::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty() && stop_) return;
        Chunk chunk = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        room_.notify_one();
        std::optional<StoreError> fault;
        try {
            const std::string_view bytes(chunk.bytes);
            for (const Chunk::Record& r : chunk.records) {
                if (r.isFolderPath)
                    store_.addFolder(r.folderId, bytes.substr(r.offset, r.length));
                else
                    store_.addEntry(r.folderId, bytes.substr(r.offset, r.length), r.type);
            }
        } catch (const StoreError& e) {
            fault = e;
        }
        lock.lock();
        busy_ = false;
        if (fault) {
            fault_ = fault;
            queue_.clear();
            room_.notify_all();
        }
        if (queue_.empty()) idle_.notify_all();
    }
}

}  // namespace trovander
