// trovander-mkdb [--if-missing] FILE: makes an empty index database (both tables) at FILE.
// It never overwrites a file; with --if-missing an existing file is left alone and counts as success.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "store/IndexStore.h"

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
    // A link counts as there even when it points nowhere. The path is UTF-8, as the store opens it.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::u8string(path.begin(), path.end()), error);
    if (std::filesystem::exists(status)) {
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
