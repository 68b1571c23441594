// One rebuild of the index over the drive list: clear, walk every drive depth-first, stamp.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/IndexStore.h"
#include "indexer/RecordWriter.h"
#include "platform/FolderReader.h"

namespace trovander {

struct RebuildHooks {
    std::function<void()> yield;                    // DoEvents; three times after each folder
    std::function<void(const QString&)> setStatus;  // Label1's caption
    std::function<QString()> now;                   // the stamp's local date-time text
    // The records written so far, after each folder, before its yields; for a display, which decides
    // itself how often to redraw (called often: keep it to a clock read).
    std::function<void(uint64_t records)> progress;
};

// The stamp form: local date and time, ISO 8601 with seconds, the same under any regional settings.
QString stampText(const QDateTime& localTime);

// A rebuild that could not read what it had to: a drive root, or a folder for lack of open files or memory.
// The index keeps what it held before that rebuild began.
class WalkError : public std::runtime_error {
  public:
    enum class Kind { DriveUnreadable, OutOfResources };
    WalkError(Kind kind, std::string path, int error);
    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    int error() const { return error_; }

  private:
    Kind kind_;
    std::string path_;
    int error_;
};

class IndexBuilder {
  public:
    IndexBuilder(IndexStore& store, RebuildHooks hooks, std::unique_ptr<FolderReader> reader = nullptr);

    // The drive list: element 0 is an empty placeholder, then one drive per element, in walk order.
    std::vector<std::string> Drives{std::string()};
    int32_t DriveIndex = 0;

    // Statement 1, every drive's walk, statement 4, as one replacement of the index: until it gets through,
    // every reader sees the index as it was, and a rebuild that does not get through leaves it so. A fault of
    // the store (another rebuild running, a lock, a full disk, a damaged file) ends it with StoreError; a
    // drive root that cannot be read, or a folder that cannot be opened for lack of resources, with
    // WalkError. A rebuild stopped because the program is ending is dropped and throws nothing.
    void ScanDrives();
    // Records a folder's files, then each subfolder's record and its contents, depth-first, on a stack of
    // its own. A folder that fails gives up only its own contents, except as ScanDrives says.
    void FolderFiles(const std::string& path);

    struct Counts {
        uint64_t records = 0, folders = 0, refused = 0, failed = 0;
    };
    const Counts& counts() const { return counts_; }

  private:
    struct Frame;
    bool enterFolder(int handle, std::vector<Frame>& stack);
    int64_t folderIdOf(Frame& frame);
    int reopen(std::vector<Frame>& stack, size_t index, int& carry, size_t& carryIndex);
    void yieldThree();
    void failFolder(int error, const std::string& path);
    bool stopping() const;
    std::string joined(const std::string& name) const;

    IndexStore& store_;
    RebuildHooks hooks_;
    std::unique_ptr<FolderReader> reader_;
    Counts counts_;
    std::optional<StoreError> storeFault_;
    std::optional<WalkError> walkFault_;
    int64_t lastFolderId_ = 0;
    int listError_ = 0;
    RecordWriter* writer_ = nullptr;  // set while a walk runs
    std::string path_;                // the folder being walked; frames keep only its length
    std::vector<FolderEntry> listing_;
};

}  // namespace trovander
