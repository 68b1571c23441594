// One rebuild of the index over the drive list: clear, walk every drive depth-first, stamp.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/IndexStore.h"
#include "indexer/RecordWriter.h"
#include "platform/FolderReader.h"

namespace trovander {

struct RebuildHooks {
    std::function<void()> yield;                          // DoEvents; three times after each folder
    std::function<void(const QString&)> setStatus;       // Label1's caption
    std::function<QString()> now;                        // the stamp's local date-time text
};

// The stamp form: local date and time, ISO 8601 with seconds, the same under any regional settings.
QString stampText(const QDateTime& localTime);

class IndexBuilder {
public:
    IndexBuilder(IndexStore& store, RebuildHooks hooks, std::unique_ptr<FolderReader> reader = nullptr);

    // The drive list: element 0 is an empty placeholder, then one drive per element, in walk order.
    std::vector<std::string> Drives{std::string()};
    int32_t DriveIndex = 0;

    // Statement 1, every drive's walk, statement 4. A failure of statement 1 or 4, or a fault of the store
    // itself during the walk (disk full, damaged file), ends the rebuild with StoreError and no stamp.
    // A rebuild stopped because the program is ending writes no stamp and throws nothing.
    void ScanDrives();
    // Records a folder's files, then each subfolder's record and its contents, depth-first, on a stack of
    // its own. Never passes a failure of one folder on; see ScanDrives for faults of the store.
    void FolderFiles(const std::string& path);
    ~IndexBuilder();

    struct Counts {
        uint64_t records = 0, folders = 0, refused = 0, failed = 0;
    };
    const Counts& counts() const { return counts_; }

private:
    struct Frame;
    bool enterFolder(int handle, std::vector<Frame>& stack);
    void walk(const std::string& rootPath);
    void yieldThree();
    void failFolder(int error);
    bool stopping() const;
    std::string joined(const std::string& name) const;

    IndexStore& store_;
    RebuildHooks hooks_;
    std::unique_ptr<FolderReader> reader_;
    Counts counts_;
    std::optional<StoreError> storeFault_;
    RecordWriter* writer_ = nullptr;  // set while a walk runs
    std::string path_;  // the folder being walked; frames keep only its length
    std::vector<FolderEntry> listing_;
};

}  // namespace trovander
