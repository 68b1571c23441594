// Windows: GetFileAttributesExW on the full path. Names are UTF-8 at this boundary and wide inside, so a
// name outside the ANSI code page is found too. There is no folder-relative look-up, so entering a folder
// only remembers nothing.
#include <windows.h>

#include <string>

#include "platform/FileInfo.h"
#include "platform/FolderSeparator.h"

namespace trovander {

namespace {
// UTF-8 to UTF-16; false for bytes that are not UTF-8 (no such name can be on the disk then).
bool toWide(const std::string& utf8, std::wstring& wide) {
    wide.clear();
    if (utf8.empty()) return true;
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                        static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<size_t>(n));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                 wide.data(), n) == n;
}

// FILETIME counts 100-nanosecond steps from 1601-01-01 UTC; the Unix epoch is 11644473600 s later.
int64_t unixSeconds(const FILETIME& t) {
    const uint64_t ticks = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}
}  // namespace

void FileInfo::enterFolder(std::string_view) { leaveFolder(); }

void FileInfo::leaveFolder() { folderHandle_ = -1; }

bool FileInfo::lookUp(std::string_view folder, std::string_view name, FileFacts& facts) {
    path_.assign(folder);
    // A drive root "c:\" already ends in its separator.
    if (path_.empty() || path_.back() != kFolderSeparator) path_.push_back(kFolderSeparator);
    path_.append(name);
    std::wstring wide;
    if (!toWide(path_, wide)) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    facts.sizeBytes =
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    facts.modifiedSecs = unixSeconds(data.ftLastWriteTime);
    return true;
}

}  // namespace trovander
