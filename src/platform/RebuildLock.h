// One rebuild of an index file at a time, across processes: an advisory lock on one byte of the file.
#pragma once

#include <memory>
#include <string>

namespace trovander {

// Held while a rebuild runs. The byte lies in the page that the database engine reserves for its own locks
// and never stores data in, past the bytes it locks itself, so this lock neither blocks the engine's readers
// and writers nor is released by them.
class RebuildLock {
  public:
    virtual ~RebuildLock() = default;

    enum class Outcome { Acquired, HeldElsewhere, Failed };
    struct Attempt {
        Outcome outcome = Outcome::Failed;
        int error = 0;  // the system's error number when Failed
        std::unique_ptr<RebuildLock> lock;
    };
    // Never waits: a lock that another process (or another open of the file here) holds is reported at once.
    static Attempt tryAcquire(const std::string& path);
};

// Offset of the locked byte: 1 GiB (the engine's lock page) + 768, past its 510 shared-lock bytes.
constexpr long long kRebuildLockOffset = 0x40000000LL + 768;

}  // namespace trovander
