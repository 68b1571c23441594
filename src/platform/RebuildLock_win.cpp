// Windows: LockFileEx on the same byte. Windows locks are mandatory, which is why the byte lies in the
// engine's lock page: no reader ever reads it.
#include <windows.h>

#include "platform/RebuildLock.h"
#include "platform/WideText.h"

namespace trovander {
namespace {

class WinRebuildLock final : public RebuildLock {
  public:
    explicit WinRebuildLock(HANDLE file) : file_(file) {}
    ~WinRebuildLock() override { CloseHandle(file_); }  // closing the handle releases the lock

  private:
    HANDLE file_;
};

}  // namespace

RebuildLock::Attempt RebuildLock::tryAcquire(const std::string& path) {
    Attempt attempt;
    const std::optional<std::u16string> widePath = widenName(path);
    if (!widePath) {
        attempt.error = ERROR_INVALID_NAME;  // bytes that name no Windows file
        return attempt;
    }
    HANDLE file = CreateFileW(wideChars(*widePath), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        attempt.error = static_cast<int>(GetLastError());
        return attempt;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(kRebuildLockOffset & 0xffffffff);
    at.OffsetHigh = static_cast<DWORD>(kRebuildLockOffset >> 32);
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        attempt.error = static_cast<int>(error);
        attempt.outcome = error == ERROR_LOCK_VIOLATION ? Outcome::HeldElsewhere : Outcome::Failed;
        return attempt;
    }
    attempt.outcome = Outcome::Acquired;
    attempt.lock = std::make_unique<WinRebuildLock>(file);
    return attempt;
}

}  // namespace trovander
