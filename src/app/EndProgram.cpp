#include "app/EndProgram.h"

#include <unistd.h>

#include <cstdio>
#include <map>

namespace trovander {
namespace {
std::map<const void*, std::function<void()>>& commits() {
    static std::map<const void*, std::function<void()>> m;
    return m;
}
EndHandler& handler() {
    static EndHandler h;
    return h;
}
bool ending = false;
}  // namespace

void EndProgramNow(int status) {
    ending = true;
    for (auto& [owner, commit] : commits()) {
        try {
            commit();
        } catch (...) {
            // Leaving anyway: the file keeps its last commit, which is what a kill would leave.
        }
    }
    if (handler()) {
        handler()(status);
        return;
    }
    std::fflush(nullptr);
    ::_exit(status);
}

bool programEnding() { return ending; }
void resetProgramEnding() { ending = false; }
void registerCommitOnEnd(const void* owner, std::function<void()> commit) { commits()[owner] = std::move(commit); }
void unregisterCommitOnEnd(const void* owner) { commits().erase(owner); }
void setEndHandler(EndHandler h) { handler() = std::move(h); }

}  // namespace trovander
