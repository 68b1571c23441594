#include "indexer/IndexBuilder.h"

#include <QDateTime>
#include <cerrno>
#include <cstring>

#include "platform/DriveNames.h"
#include "platform/FolderSeparator.h"

namespace trovander {

namespace {
// Levels of the walk that keep their folder open while the walk is below them. Deeper levels give their
// handle up and reach their folder again through "..", so a walk holds at most this many folders open
// (and a few more on the way back up) whatever the depth of the tree or the process's limit.
constexpr size_t kOpenLevels = 32;

std::string walkErrorText(WalkError::Kind kind, const std::string& path, int error) {
    const std::string cause = std::strerror(error);
    if (kind == WalkError::Kind::DriveUnreadable)
        return "The drive " + path + " could not be read (" + cause + "); the index was left as it was.";
    return "The folder " + path + " could not be opened (" + cause +
           "): the system ran out of resources. The index was left as it was; close some programs and scan "
           "again.";
}
}  // namespace

WalkError::WalkError(Kind kind, std::string path, int error)
    : std::runtime_error(walkErrorText(kind, path, error)),
      kind_(kind),
      path_(std::move(path)),
      error_(error) {}

QString stampText(const QDateTime& localTime) { return localTime.toString(Qt::ISODate); }

struct IndexBuilder::Frame {
    int handle = -1;          // -1 once given up: after its last subfolder is open, or to keep handles few
    FolderIdentity identity;  // taken when the handle is given up with subfolders still to walk
    size_t pathLength = 0;    // this folder's path is path_.substr(0, pathLength)
    int64_t folderId = 0;     // 0 until the folder's path is written
    std::vector<FolderEntry> subfolders;
    size_t next = 0;
};

IndexBuilder::IndexBuilder(IndexStore& store, FolderReader& reader, std::function<QDateTime()> now)
    : store_(store), reader_(reader), now_(std::move(now)) {}

void IndexBuilder::scanDrives(const std::vector<std::string>& drives, RebuildReport& report) {
    storeFault_.reset();
    walkFault_.reset();
    counts_ = Counts();
    lastFolderId_ = 0;
    stopped_ = false;
    report_ = &report;
    struct Unset {
        RebuildReport*& report;
        ~Unset() { report = nullptr; }
    } unset{report_};
    // Takes the index for this rebuild alone; a refusal here has changed nothing.
    store_.beginRebuild();
    try {
        {
            RecordWriter writer(store_);
            writer_ = &writer;
            for (size_t d = 0; d < drives.size() && !stopping(); ++d) {
                report.status(QStringLiteral("Scanning ") + QString::fromStdString(driveCaption(drives[d])) +
                              QStringLiteral(" drive. please wait..."));
                folderFiles(driveRoot(drives[d]));
            }
            writer.drain();
            if (!storeFault_) storeFault_ = writer.fault();
            writer_ = nullptr;
        }
        if (report.stopRequested()) {
            stopped_ = true;
            store_.abandonRebuild();
            return;
        }
        if (storeFault_) throw *storeFault_;
        if (walkFault_) throw *walkFault_;
        store_.finishRebuild(stampText(now_()).toStdString());
    } catch (...) {
        writer_ = nullptr;
        store_.abandonRebuild();
        throw;
    }
}

bool IndexBuilder::stopping() const {
    return storeFault_.has_value() || walkFault_.has_value() || (writer_ && writer_->failed()) ||
           (report_ && report_->stopRequested());
}

void IndexBuilder::yieldThree() {
    if (!report_) return;
    report_->progress(counts_.records);
    for (int i = 0; i < 3; ++i) report_->yield();
}

void IndexBuilder::failFolder(int error, const std::string& path) {
    ++counts_.failed;
    if (isOutOfResources(error)) {
        // Skipping the folder would drop a subtree that is there: the rebuild fails instead.
        if (!walkFault_) walkFault_.emplace(WalkError::Kind::OutOfResources, path, error);
        return;
    }
    if (isRefusedAccess(error)) {
        ++counts_.refused;
        yieldThree();
    }
}

std::string IndexBuilder::joined(const std::string& name) const {
    std::string p = path_;
    if (p.empty() || p.back() != kFolderSeparator) p.push_back(kFolderSeparator);
    return p + name;
}

int64_t IndexBuilder::folderIdOf(Frame& frame) {
    if (frame.folderId == 0) {
        frame.folderId = ++lastFolderId_;
        writer_->addFolder(frame.folderId, std::string_view(path_).substr(0, frame.pathLength));
    }
    return frame.folderId;
}

// Lists the folder at path_ and writes its file records, then pushes its frame with the handle open.
// Returns false when the folder was given up (listError_ says why).
bool IndexBuilder::enterFolder(int handle, std::vector<Frame>& stack) {
    const int err = reader_.list(handle, listing_);
    if (err != 0) {
        reader_.close(handle);
        listError_ = err;
        failFolder(err, path_);
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
            writer_->add(folderIdOf(frame), e.name, EntryType::File);
            ++counts_.records;
        }
    }
    stack.push_back(std::move(frame));
    return true;
}

// Reaches the folder of stack[index] again from carry, the open handle of a folder below it that the walk
// has just left: one ".." per level, then a check that it is the folder the walk left.
int IndexBuilder::reopen(std::vector<Frame>& stack, size_t index, int& carry, size_t& carryIndex) {
    if (carry < 0) return -EBADF;
    int handle = carry;
    carry = -1;
    for (size_t level = carryIndex; level > index; --level) {
        const int up = reader_.openParent(handle);
        reader_.close(handle);
        if (up < 0) return up;
        handle = up;
    }
    const FolderIdentity& expected = stack[index].identity;
    if (expected.known && !(reader_.identity(handle) == expected)) {
        // Moved while the walk was below it: what is there now is not the folder whose entries were listed.
        reader_.close(handle);
        return -ENOENT;
    }
    return handle;
}

void IndexBuilder::folderFiles(const std::string& rootPath) {
    path_ = rootPath;
    const int root = reader_.openRoot(path_);
    if (root < 0) {
        ++counts_.failed;
        walkFault_.emplace(WalkError::Kind::DriveUnreadable, rootPath, -root);
        return;
    }
    std::vector<Frame> stack;
    if (!enterFolder(root, stack)) {
        // A drive whose root cannot be listed would leave the index without that drive.
        if (!walkFault_) walkFault_.emplace(WalkError::Kind::DriveUnreadable, rootPath, listError_);
        return;
    }

    int carry = -1;  // the handle of the folder the walk last left, for reaching its parents again
    size_t carryIndex = 0;
    const auto dropCarry = [&] {
        if (carry >= 0) reader_.close(carry);
        carry = -1;
    };
    while (!stack.empty() && !stopping()) {
        const size_t index = stack.size() - 1;
        Frame& top = stack.back();
        path_.resize(top.pathLength);
        if (top.next < top.subfolders.size()) {
            if (top.handle < 0) {
                top.handle = reopen(stack, index, carry, carryIndex);
                if (top.handle < 0) {
                    // The rest of this folder is given up, as for a folder that cannot be listed.
                    failFolder(-top.handle, path_);
                    top.handle = -1;
                    top.subfolders.clear();
                    top.next = 0;
                    continue;
                }
            }
            dropCarry();
            const FolderEntry& sub = top.subfolders[top.next++];
            writer_->add(folderIdOf(top), sub.name, EntryType::Folder);
            ++counts_.records;
            if (!sub.descend) continue;
            const int child = reader_.openChild(top.handle, sub.name);
            if (child == -EXDEV) continue;  // another mount: a drive of its own
            if (child < 0) {
                failFolder(-child, joined(sub.name));
                continue;
            }
            const std::string name = sub.name;
            if (top.next == top.subfolders.size()) {
                // The last subfolder is open: this folder's handle and listing are no longer needed.
                reader_.close(top.handle);
                top.handle = -1;
                top.subfolders.clear();
                top.subfolders.shrink_to_fit();
                top.next = 0;
            } else if (index >= kOpenLevels) {
                top.identity = reader_.identity(top.handle);
                reader_.close(top.handle);
                top.handle = -1;
            }
            if (path_.empty() || path_.back() != kFolderSeparator) path_.push_back(kFolderSeparator);
            path_.append(name);
            enterFolder(child, stack);
            continue;
        }
        // Every subfolder is walked: the folder is done. Its handle leads back up to its parents.
        if (top.handle >= 0) {
            dropCarry();
            carry = top.handle;
            carryIndex = index;
        }
        stack.pop_back();
        yieldThree();
    }
    dropCarry();
    for (Frame& f : stack)
        if (f.handle >= 0) reader_.close(f.handle);
}

}  // namespace trovander
