// Reading folders for the walk: names are bytes, links are never followed, and a walk stays on its mount.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace trovander {

struct FolderEntry {
    std::string name;       // the entry's own name, bytes as the file system gives them
    bool isFolder = false;  // a folder, or a link that points to one
    bool descend = false;   // a real subfolder the walk goes into (not a link)
};

// Which folder a handle stands on, to check that a folder reached again is the one that was left.
struct FolderIdentity {
    uint64_t device = 0, inode = 0;
    bool known = false;  // false where the platform gives no such numbers: nothing to compare then
    bool operator==(const FolderIdentity&) const = default;
};

// Handles are small non-negative numbers; failures are negative errno values.
class FolderReader {
  public:
    virtual ~FolderReader() = default;
    // Opens a drive root. The walk that starts here stays on the root's mount.
    virtual int openRoot(const std::string& path) = 0;
    // Opens a subfolder of an open folder. -EXDEV when the subfolder is the root of another mount.
    virtual int openChild(int parent, const std::string& name) = 0;
    // Lists an open folder in the platform's order; 0 or an errno.
    virtual int list(int handle, std::vector<FolderEntry>& out) = 0;
    virtual void close(int handle) = 0;
    // Opens the folder that holds an open folder, for a walk that gave up the parent's handle to keep its
    // open handles few. The caller checks the identity.
    virtual int openParent(int handle) = 0;
    virtual FolderIdentity identity(int handle) = 0;
};

// The platform's own reader (POSIX: openat/fdopendir/readdir, d_type, fstatat when unknown).
std::unique_ptr<FolderReader> makeSystemFolderReader();

// True for the failures that mean "access refused" (EACCES, EPERM on POSIX).
bool isRefusedAccess(int error);
// True for the failures that mean the process ran out of something (open files, memory): the folder is
// not at fault, and a walk that skipped it would drop a subtree that is there.
bool isOutOfResources(int error);

}  // namespace trovander
