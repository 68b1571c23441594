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

#include "indexer/RecordWriter.h"
#include "platform/FolderReader.h"
#include "store/IndexStore.h"

namespace trovander {

// What a rebuild tells whoever runs it, and how it hears that it must stop. Every call has a default that
// does nothing, so a runner says only what it shows.
class RebuildReport {
  public:
    virtual ~RebuildReport() = default;
    // DoEvents: once per drive probed, three times after each folder.
    virtual void yield() {}
    // True once the program is ending: the rebuild stops at its next step and is dropped.
    virtual bool stopRequested() { return false; }
    // The probe is over; the walk over the drives found begins now.
    virtual void walkBegins() {}
    // Label1's caption as each drive's walk begins ("Scanning ... drive. please wait...").
    virtual void status(const QString& /*text*/) {}
    // The records written so far, after each folder, before its yields; for a display, which decides
    // itself how often to redraw (called often: keep it to a clock read).
    virtual void progress(uint64_t /*records*/) {}
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

// The walk and the write of one rebuild over a given drive list; the rebuild use case (Rebuild.h) probes
// the drives and runs it.
class IndexBuilder {
  public:
    // now gives the local date and time the stamp records.
    IndexBuilder(IndexStore& store, FolderReader& reader, std::function<QDateTime()> now);

    // Statement 1, every drive's walk in the given order, statement 4, as one replacement of the index:
    // until it gets through, every reader sees the index as it was, and a rebuild that does not get
    // through leaves it so. A fault of the store (another rebuild running, a lock, a full disk, a damaged
    // file) ends it with StoreError; a drive root that cannot be read, or a folder that cannot be opened
    // for lack of resources, with WalkError. A rebuild stopped because the report asks it to is dropped
    // and throws nothing; stopped() then says so.
    void scanDrives(const std::vector<std::string>& drives, RebuildReport& report);
    bool stopped() const { return stopped_; }
    // Records a folder's files, then each subfolder's record and its contents, depth-first, on a stack of
    // its own. A folder that fails gives up only its own contents, except as scanDrives says.
    void folderFiles(const std::string& path);

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
    FolderReader& reader_;
    std::function<QDateTime()> now_;
    RebuildReport* report_ = nullptr;  // set while a rebuild runs
    bool stopped_ = false;
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
