// trovander-lock FILE reserved|exclusive: holds a lock on an index database until killed, for fault tests.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "store/IndexStore.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    try {
        const trovander::Connection held = trovander::IndexStore::holdWriteLock(
            argv[1], /*exclusive=*/std::strcmp(argv[2], "exclusive") == 0);
        std::printf("locked\n");
        std::fflush(stdout);
        for (;;) ::pause();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trovander-lock: %s\n", e.what());
        return 1;
    }
}
