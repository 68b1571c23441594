// A file's size and time of last change as the disk has them now, looked up by folder and name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trovander {

struct FileFacts {
    int64_t sizeBytes = 0;
    int64_t modifiedSecs = 0;  // seconds since the epoch
};

// One look-up thread's state: the folder it stands in, so that files of one folder are looked up relative
// to it instead of walking the folder's path for each (POSIX), and a path buffer. Links are followed.
// Not shared between threads; one per thread.
class FileInfo {
  public:
    FileInfo() = default;
    ~FileInfo() { leaveFolder(); }
    FileInfo(const FileInfo&) = delete;
    FileInfo& operator=(const FileInfo&) = delete;

    // Later look-ups in this folder go through it; a folder that cannot be entered leaves them by path.
    // Pays only when more than one file of the folder follows.
    void enterFolder(std::string_view folder);
    void leaveFolder();
    // The facts of the file name in folder (the folder given to enterFolder, if entered). False when
    // nothing is there, it cannot be read, or it is a folder: a folder is not the file the index recorded.
    bool lookUp(std::string_view folder, std::string_view name, FileFacts& facts);

  private:
    intptr_t folderHandle_ = -1;  // an open folder (POSIX: an O_PATH descriptor); -1 when none
    std::string name_, path_;
};

}  // namespace trovander
