#include "app/EndProgram.h"

#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <utility>
#include <vector>

namespace trovander {
namespace {
// In registration order; run newest first, so a rebuild drains its writer before the store commits.
std::vector<std::pair<const void*, std::function<void()>>>& commits() {
    static std::vector<std::pair<const void*, std::function<void()>>> v;
    return v;
}
EndHandler& handler() {
    static EndHandler h;
    return h;
}
bool ending = false;
}  // namespace

void EndProgramNow(int status) {
    ending = true;
    const auto hooks = commits();
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
        try {
            it->second();
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
void registerCommitOnEnd(const void* owner, std::function<void()> commit) {
    unregisterCommitOnEnd(owner);
    commits().emplace_back(owner, std::move(commit));
}
void unregisterCommitOnEnd(const void* owner) {
    auto& v = commits();
    v.erase(std::remove_if(v.begin(), v.end(), [owner](const auto& p) { return p.first == owner; }), v.end());
}
void setEndHandler(EndHandler h) { handler() = std::move(h); }

}  // namespace trovander
