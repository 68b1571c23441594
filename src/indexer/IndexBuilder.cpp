#include "indexer/IndexBuilder.h"

#include <QDateTime>
#include <cerrno>

#include "app/EndProgram.h"
#include "platform/DriveNames.h"

namespace trovander {

QString stampText(const QDateTime& localTime) { return localTime.toString(Qt::ISODate); }

struct IndexBuilder::Frame {
    int handle = -1;          // closed (-1) once its last subfolder is open
    size_t pathLength = 0;    // this folder's path is path_.substr(0, pathLength)
    std::vector<FolderEntry> subfolders;
    size_t next = 0;
};

IndexBuilder::IndexBuilder(IndexStore& store, RebuildHooks hooks, std::unique_ptr<FolderReader> reader)
    : store_(store), hooks_(std::move(hooks)), reader_(reader ? std::move(reader) : makeSystemFolderReader()) {
    raiseOpenFolderLimit();
    if (!hooks_.now) hooks_.now = [] { return stampText(QDateTime::currentDateTime()); };
}

IndexBuilder::~IndexBuilder() { unregisterCommitOnEnd(this); }

void IndexBuilder::ScanDrives() {
    storeFault_.reset();
    store_.deleteAllFiles();
    {
        RecordWriter writer(store_);
        writer_ = &writer;
        // Ending the program mid-walk writes what the walk has handed over before the store commits.
        registerCommitOnEnd(this, [&writer] { writer.drain(); });
        const int32_t last = static_cast<int32_t>(Drives.size()) - 1;
        for (DriveIndex = 1; DriveIndex <= last && !stopping(); ++DriveIndex) {
            if (hooks_.setStatus)
                hooks_.setStatus(QStringLiteral("Scanning ") +
                                 QString::fromStdString(driveCaption(Drives[DriveIndex])) +
                                 QStringLiteral(" drive. please wait..."));
            walk(driveRoot(Drives[DriveIndex]));
        }
        writer.drain();
        if (!storeFault_) storeFault_ = writer.fault();
        unregisterCommitOnEnd(this);
        writer_ = nullptr;
    }
    if (programEnding() && !storeFault_) {
        store_.commitBatch();
        return;
    }
    if (storeFault_) {
        // Keep what earlier batches committed; the batch the fault hit is rolled back with it.
        try {
            store_.commitBatch();
        } catch (const StoreError&) {
        }
        throw *storeFault_;
    }
    store_.insertStamp(hooks_.now().toStdString());
}

bool IndexBuilder::stopping() const {
    return storeFault_.has_value() || (writer_ && writer_->failed()) || programEnding();
}

void IndexBuilder::yieldThree() {
    for (int i = 0; i < 3 && hooks_.yield; ++i) hooks_.yield();
}

void IndexBuilder::failFolder(int error) {
    ++counts_.failed;
    if (isRefusedAccess(error)) {
        ++counts_.refused;
        yieldThree();
    }
}

std::string IndexBuilder::joined(const std::string& name) const {
    std::string p = path_;
    if (p.empty() || p.back() != reader_->separator()) p.push_back(reader_->separator());
    return p + name;
}

// Lists the folder at path_ and writes its file records; pushes its frame when it has subfolders to walk or
// yields to give. Returns false when the folder was given up.
bool IndexBuilder::enterFolder(int handle, std::vector<Frame>& stack) {
    const int err = reader_->list(handle, listing_);
    if (err != 0) {
        reader_->close(handle);
        failFolder(err);
        return false;
    }
    ++counts_.folders;
    Frame frame;
    frame.handle = handle;
    frame.pathLength = path_.size();
    for (FolderEntry& e : listing_) {
        if (e.isFolder) {
            frame.subfolders.push_back(std::move(e));
        } else {
            writer_->add(path_, e.name, EntryType::File);
            ++counts_.records;
        }
    }
    if (frame.subfolders.empty()) {
        reader_->close(handle);
        frame.handle = -1;
    }
    stack.push_back(std::move(frame));
    return true;
}

void IndexBuilder::FolderFiles(const std::string& path) {
    if (writer_) return walk(path);
    RecordWriter writer(store_);
    writer_ = &writer;
    walk(path);
    writer.drain();
    writer_ = nullptr;
    if (!storeFault_) storeFault_ = writer.fault();
}

void IndexBuilder::walk(const std::string& rootPath) {
    path_ = rootPath;
    const int root = reader_->openRoot(path_);
    if (root < 0) {
        failFolder(-root);
        return;
    }
    std::vector<Frame> stack;
    if (!enterFolder(root, stack)) return;

    while (!stack.empty() && !storeFault_) {
        Frame& top = stack.back();
        path_.resize(top.pathLength);
        if (top.next < top.subfolders.size()) {
            const FolderEntry& sub = top.subfolders[top.next++];
            writer_->add(path_, sub.name, EntryType::Folder);
            ++counts_.records;
            if (!sub.descend) continue;
            const int child = reader_->openChild(top.handle, sub.name);
            const std::string name = sub.name;
            if (top.next == top.subfolders.size()) {
                // The last subfolder is open: this folder's handle is no longer needed, so a deep chain of
                // folders holds one open handle, not one per level.
                reader_->close(top.handle);
                top.handle = -1;
                top.subfolders.clear();
                top.subfolders.shrink_to_fit();
                top.next = 0;
            }
            if (child == -EXDEV) continue;  // another mount: a drive of its own
            if (child < 0) {
                failFolder(-child);
                if (stopping()) break;
                continue;
            }
            path_ = joined(name);
            enterFolder(child, stack);
            if (stopping()) break;
            continue;
        }
        // Every subfolder is walked: the folder is done.
        if (top.handle >= 0) reader_->close(top.handle);
        stack.pop_back();
        writer_->folderBoundary();
        yieldThree();
        if (stopping()) break;
    }
    for (Frame& f : stack)
        if (f.handle >= 0) reader_->close(f.handle);
}

}  // namespace trovander
