// Ending the program at once: no window handler runs, but what the index holds open is committed first.
#pragma once

#include <functional>

namespace trovander {

// Commits every registered open batch, then ends the process with status (through the end handler).
void EndProgramNow(int status = 0);
// True once EndProgramNow has been called; a running rebuild stops at its next yield.
bool programEnding();

// The store registers its batch commit here; owner is only a key.
void registerCommitOnEnd(const void* owner, std::function<void()> commit);
void unregisterCommitOnEnd(const void* owner);

// Tests replace the process exit with a recorder. The default leaves with _exit(status).
using EndHandler = std::function<void(int status)>;
void setEndHandler(EndHandler handler);
// Clears programEnding() (for tests that end the program more than once).
void resetProgramEnding();

}  // namespace trovander
