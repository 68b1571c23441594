// Ending the program at once: no window handler runs. A rebuild that is running is dropped with the
// process, so the index keeps what it held before that rebuild began.
#pragma once

#include <functional>

namespace trovander {

// Ends the process with status (through the end handler).
void EndProgramNow(int status = 0);
// True once EndProgramNow has been called; a running rebuild stops at its next yield.
bool programEnding();

// Tests replace the process exit with a recorder. The default leaves with _exit(status).
using EndHandler = std::function<void(int status)>;
void setEndHandler(EndHandler handler);
// Clears programEnding() (for tests that end the program more than once).
void resetProgramEnding();

}  // namespace trovander
