#include "platform/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace trovander {

ProgramEnd::ProgramEnd(Exit exit) : exit_(std::move(exit)) {}

void ProgramEnd::endNow(int status) {
    ending_ = true;
    if (exit_) {
        exit_(status);
        return;
    }
    // Nothing is committed on the way out: an open rebuild batch dies with the process, as with a kill,
    // and the engine rolls its journal back on the next open.
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace trovander
