// Windows: the wide API, the UTF-8 path converted at this boundary, so that a name outside the ANSI code
// page is found too.
#include <windows.h>

#include <string>

#include "platform/FileAccess.h"

namespace trovander {

namespace {
// UTF-8 to UTF-16; empty for bytes that are not UTF-8 (no such name can be on the disk then).
std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                        static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                              out.data(), n) != n)
        return {};
    return out;
}
}  // namespace

bool pathExists(const std::string& path) {
    const std::wstring w = wide(path);
    return !w.empty() && ::GetFileAttributesW(w.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool pathReadable(const std::string& path) {
    const std::wstring w = wide(path);
    if (w.empty()) return false;
    // Opening for reading, sharing everything, is the only answer that holds for ACLs as well.
    const HANDLE h =
        ::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool pathWritable(const std::string& path) {
    const std::wstring w = wide(path);
    if (w.empty()) return false;
    // As for reading: opening is the answer that holds for ACLs; backup semantics let a folder be opened.
    const HANDLE h =
        ::CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

bool removeFile(const std::string& path) {
    const std::wstring w = wide(path);
    return !w.empty() && ::DeleteFileW(w.c_str()) != 0;
}

}  // namespace trovander
