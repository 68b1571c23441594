#include "indexer/RecordWriter.h"

namespace trovander {

namespace {
// Records per hand-over: large enough that the lock is rare, small enough that the writer starts early.
constexpr size_t kChunkRecords = 4096;
}

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

void RecordWriter::add(std::string_view folderPath, std::string_view name, EntryType type) {
    Chunk& c = filling_;
    if (c.records.empty() ||
        folderPath != std::string_view(c.bytes).substr(c.lastPathOffset, c.lastPathLength)) {
        c.lastPathOffset = static_cast<uint32_t>(c.bytes.size());
        c.lastPathLength = static_cast<uint32_t>(folderPath.size());
        c.bytes.append(folderPath);
    }
    const auto nameOffset = static_cast<uint32_t>(c.bytes.size());
    c.bytes.append(name);
    c.records.push_back({c.lastPathOffset, static_cast<uint32_t>(folderPath.size()), nameOffset,
                         static_cast<uint32_t>(name.size()), type, false});
}

void RecordWriter::folderBoundary() {
    if (filling_.records.empty()) return;
    filling_.records.back().boundaryAfter = true;
    if (filling_.records.size() >= kChunkRecords) hand();
}

void RecordWriter::hand() {
    if (filling_.records.empty()) return;
    {
        std::lock_guard lock(mutex_);
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
        std::optional<StoreError> fault;
        try {
            const std::string_view bytes(chunk.bytes);
            for (const Chunk::Record& r : chunk.records) {
                store_.insertRecord(bytes.substr(r.pathOffset, r.pathLength),
                                    bytes.substr(r.nameOffset, r.nameLength), r.type);
                if (r.boundaryAfter) store_.folderBoundary();
            }
        } catch (const StoreError& e) {
            fault = e;
        }
        lock.lock();
        busy_ = false;
        if (fault) {
            fault_ = fault;
            queue_.clear();
        }
        if (queue_.empty()) idle_.notify_all();
    }
}

}  // namespace trovander
