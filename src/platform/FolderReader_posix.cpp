#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FolderReader.h"

namespace trovander {
namespace {

// Identifies the mount a folder lies on. statx's mount id tells a bind mount of the same file system apart,
// which the device number cannot; older kernels without it fall back to the device number.
struct MountKey {
    unsigned long long id = 0;
    bool isMountId = false;
    bool operator==(const MountKey&) const = default;
};

MountKey mountOf(int fd) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_MNT_ID, &sx) == 0 &&
        (sx.stx_mask & STATX_MNT_ID))
        return {sx.stx_mnt_id, true};
    struct stat st {};
    if (::fstat(fd, &st) == 0) return {static_cast<unsigned long long>(st.st_dev), false};
    return {};
}

class PosixFolderReader final : public FolderReader {
  public:
    int openRoot(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return -errno;
        rootMount_ = mountOf(fd);
        return fd;
    }

    int openChild(int parent, const std::string& name) override {
        // O_NOFOLLOW: a name that became a link since it was listed is refused, never followed.
        const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) return -errno;
        if (!(mountOf(fd) == rootMount_)) {
            ::close(fd);
            return -EXDEV;
        }
        return fd;
    }

    int list(int handle, std::vector<FolderEntry>& out) override {
        out.clear();
        const int fd = ::dup(handle);
        if (fd < 0) return errno;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            const int err = errno;
            ::close(fd);
            return err;
        }
        ::rewinddir(dir);
        int err = 0;
        for (;;) {
            errno = 0;
            const dirent* d = ::readdir(dir);
            if (!d) {
                err = errno;
                break;
            }
            const char* n = d->d_name;
            if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
            FolderEntry e;
            e.name = n;
            unsigned char type = d->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st {};
                if (::fstatat(handle, n, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                    type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
                }
            }
            if (type == DT_DIR) {
                e.isFolder = true;
                e.descend = true;
            } else if (type == DT_LNK) {
                // Recorded as a folder when it points to one, and never walked.
                struct stat st {};
                e.isFolder = ::fstatat(handle, n, &st, 0) == 0 && S_ISDIR(st.st_mode);
            }
            out.push_back(std::move(e));
        }
        ::closedir(dir);
        return err;
    }

    void close(int handle) override { ::close(handle); }

    int openParent(int handle) override {
        const int fd = ::openat(handle, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return fd < 0 ? -errno : fd;
    }

    FolderIdentity identity(int handle) override {
        struct stat st {};
        if (::fstat(handle, &st) != 0) return {};
        return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), true};
    }

  private:
    MountKey rootMount_;
};

}  // namespace

std::unique_ptr<FolderReader> makeSystemFolderReader() { return std::make_unique<PosixFolderReader>(); }

bool isRefusedAccess(int error) { return error == EACCES || error == EPERM; }
bool isOutOfResources(int error) { return error == EMFILE || error == ENFILE || error == ENOMEM; }

}  // namespace trovander
