// Windows reader: FindFirstFileExW/FindNextFileW under a path kept per handle; reparse points (junctions,
// links) are recorded and never walked, as the POSIX reader treats links. Names are UTF-8 (unpaired
// surrogates kept, see WideText.h) and paths go to the system in UTF-16.
#include <windows.h>

#include <cwchar>
#include <map>

#include "platform/FolderReader.h"
#include "platform/WideText.h"

namespace trovander {
namespace {

// A drive root ("c:\") ends in its separator already; every other folder has none at the end.
std::string childPath(const std::string& folder, const std::string& name) {
    return folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

// The errno values the walk knows, for the system's errors.
int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return 13;  // EACCES
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return 12;  // ENOMEM
        case ERROR_TOO_MANY_OPEN_FILES:
            return 24;  // EMFILE
        default:
            return 5;  // EIO
    }
}

class WinFolderReader final : public FolderReader {
  public:
    int openRoot(const std::string& path) override { return add(path); }
    int openChild(int parent, const std::string& name) override {
        return add(childPath(paths_.at(parent), name));
    }
    int list(int handle, std::vector<FolderEntry>& out) override {
        out.clear();
        const std::optional<std::u16string> pattern = widenName(childPath(paths_.at(handle), "*"));
        if (!pattern) return 2;  // ENOENT: bytes that name no Windows folder
        WIN32_FIND_DATAW fd;
        // Basic information only (no 8.3 names) and larger batches: the walk reads every folder once.
        HANDLE h = FindFirstFileExW(wideChars(*pattern), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                    FIND_FIRST_EX_LARGE_FETCH);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // A drive root has no "." or "..": an empty one finds nothing, which is not a failure.
            return error == ERROR_FILE_NOT_FOUND ? 0 : errnoOf(error);
        }
        do {
            if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
            const bool dir = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            const bool reparse = fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            out.push_back({narrowName(fd.cFileName, wcslen(fd.cFileName)), dir, dir && !reparse});
        } while (FindNextFileW(h, &fd));
        const DWORD error = GetLastError();
        FindClose(h);
        // A listing that broke off is a failure, not a shorter folder.
        return error == ERROR_NO_MORE_FILES ? 0 : errnoOf(error);
    }
    void close(int handle) override { paths_.erase(handle); }
    int openParent(int handle) override {
        const std::string& p = paths_.at(handle);
        const size_t cut = p.find_last_of('\\');
        if (cut == std::string::npos) return -2;
        // A drive root keeps its separator ("c:\\"); any other folder has none at the end.
        return add(cut <= 2 ? p.substr(0, cut + 1) : p.substr(0, cut));
    }
    // Paths, not handles: the walk's check has nothing to compare, and a path always names the folder.
    FolderIdentity identity(int) override { return {}; }

  private:
    int add(const std::string& path) {
        const std::optional<std::u16string> widePath = widenName(path);
        if (!widePath || path.empty()) return -2;
        const DWORD attrs = GetFileAttributesW(wideChars(*widePath));
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) return -2;
        paths_[next_] = path;
        return next_++;
    }
    std::map<int, std::string> paths_;
    int next_ = 0;
};

}  // namespace

std::unique_ptr<FolderReader> makeSystemFolderReader() { return std::make_unique<WinFolderReader>(); }
bool isRefusedAccess(int error) { return error == 13; }
bool isOutOfResources(int error) { return error == 24 || error == 12; }  // EMFILE, ENOMEM

}  // namespace trovander
