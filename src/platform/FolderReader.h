// Reading folders for the walk: names are bytes, links are never followed, and a walk stays on its mount.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace trovander {

struct FolderEntry {
    std::string name;       // the entry's own name, bytes as the file system gives them
    bool isFolder = false;  // a folder, or a link that points to one
    bool descend = false;   // a real subfolder the walk goes into (not a link)
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
    // The separator between a folder's path and an entry's name.
    virtual char separator() const = 0;
};

// The platform's own reader (POSIX: openat/fdopendir/readdir, d_type, fstatat when unknown).
std::unique_ptr<FolderReader> makeSystemFolderReader();

// Lets the process hold as many open folders as the system allows: a walk keeps one open for each level
// that still has subfolders to visit, which a deep and bushy tree can make many.
void raiseOpenFolderLimit();

// True for the failures that mean "access refused" (EACCES, EPERM on POSIX).
bool isRefusedAccess(int error);

}  // namespace trovander
