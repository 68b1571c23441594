#include "platform/ProgramEnd.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace trovander {
namespace {
EndHandler& handler() {
    static EndHandler h;
    return h;
}
bool ending = false;
}  // namespace

void EndProgramNow(int status) {
    ending = true;
    if (handler()) {
        handler()(status);
        return;
    }
    // Nothing is committed on the way out: an open rebuild batch dies with the process, as with a kill,
    // and the engine rolls its journal back on the next open.
    std::fflush(nullptr);
    ::_exit(status);
}

bool programEnding() { return ending; }
void resetProgramEnding() { ending = false; }
void setEndHandler(EndHandler h) { handler() = std::move(h); }

}  // namespace trovander
