// trovander-mkdb [--if-missing] FILE: makes an empty index database (both tables) at FILE.
// It never overwrites a file; with --if-missing an existing file is left alone and counts as success.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/IndexStore.h"

int main(int argc, char** argv) {
    bool ifMissing = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--if-missing") == 0)
            ifMissing = true;
        else
            path = argv[i];
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: trovander-mkdb [--if-missing] FILE\n");
        return 2;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (ifMissing) return 0;
        std::fprintf(stderr, "trovander-mkdb: %s already exists; it is left as it is.\n", path.c_str());
        return 1;
    }
    try {
        trovander::IndexStore::createEmpty(path);
    } catch (const trovander::StoreError& e) {
        std::fprintf(stderr, "trovander-mkdb: %s\n", e.what());
        return 1;
    }
    return 0;
}
