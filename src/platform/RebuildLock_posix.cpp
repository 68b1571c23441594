#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/RebuildLock.h"

namespace trovander {
namespace {

// An open-file-description lock: unlike a classic POSIX lock it belongs to this descriptor alone, so the
// engine closing its own descriptors of the same file never drops it, and a second open in this process
// conflicts with it as another process would.
class PosixRebuildLock final : public RebuildLock {
  public:
    explicit PosixRebuildLock(int fd) : fd_(fd) {}
    ~PosixRebuildLock() override { ::close(fd_); }  // closing the descriptor releases the lock

  private:
    int fd_;
};

}  // namespace

RebuildLock::Attempt RebuildLock::tryAcquire(const std::string& path) {
    Attempt attempt;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        attempt.error = errno;
        return attempt;
    }
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(kRebuildLockOffset);
    range.l_len = 1;
    if (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
        attempt.error = errno;
        ::close(fd);
        attempt.outcome =
            attempt.error == EAGAIN || attempt.error == EACCES ? Outcome::HeldElsewhere : Outcome::Failed;
        return attempt;
    }
    attempt.outcome = Outcome::Acquired;
    attempt.lock = std::make_unique<PosixRebuildLock>(fd);
    return attempt;
}

}  // namespace trovander
