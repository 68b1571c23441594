#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileInfo.h"
#include "platform/FolderSeparator.h"

namespace trovander {

void FileInfo::enterFolder(std::string_view folder) {
    leaveFolder();
    if (folder.empty()) return;
    path_.assign(folder);
    // O_PATH needs no read permission on the folder, only the search permission a path look-up needs too.
    folderHandle_ = ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

void FileInfo::leaveFolder() {
    if (folderHandle_ >= 0) ::close(static_cast<int>(folderHandle_));
    folderHandle_ = -1;
}

bool FileInfo::lookUp(std::string_view folder, std::string_view name, FileFacts& facts) {
    struct stat st {};
    int rc = -1;
    if (folderHandle_ >= 0) {
        name_.assign(name);
        rc = ::fstatat(static_cast<int>(folderHandle_), name_.c_str(), &st, 0);
    } else {
        // The full path: folder, separator, name; a root folder "/" gives "//name", which names the same.
        path_.assign(folder).append(1, kFolderSeparator).append(name);
        rc = ::stat(path_.c_str(), &st);
    }
    if (rc != 0 || S_ISDIR(st.st_mode)) return false;
    facts.sizeBytes = static_cast<int64_t>(st.st_size);
    facts.modifiedSecs = static_cast<int64_t>(st.st_mtim.tv_sec);
    return true;
}

}  // namespace trovander
