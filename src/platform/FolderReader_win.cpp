// Windows reader: FindFirstFileW/FindNextFileW under a path kept per handle; reparse points (junctions,
// links) are recorded and never walked, as the POSIX reader treats links.
#include <windows.h>

#include <map>

#include "platform/FolderReader.h"

namespace trovander {
namespace {

std::wstring widen(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}
std::string narrow(const wchar_t* w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    return s;
}

class WinFolderReader final : public FolderReader {
  public:
    int openRoot(const std::string& path) override { return add(path); }
    int openChild(int parent, const std::string& name) override {
        const std::string& p = paths_.at(parent);
        return add(p.back() == '\\' ? p + name : p + "\\" + name);
    }
    int list(int handle, std::vector<FolderEntry>& out) override {
        out.clear();
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(widen(paths_.at(handle) + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_ACCESS_DENIED ? 13 : 5;
        do {
            if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
            const bool dir = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
            const bool reparse = fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
            out.push_back({narrow(fd.cFileName), dir, dir && !reparse});
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        return 0;
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
        const DWORD attrs = GetFileAttributesW(widen(path).c_str());
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
