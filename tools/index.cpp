// trovander-index FILE ROOT...: rebuilds the index in FILE over the given folders as its drives, through the
// program's own walk, with the event-loop yields. Exits 0 when the rebuild got through,
// 1 when it did not (the index is then left as it was).
//   --end-after-folders N   end the program at once during the yields after the N-th folder, as the start
//                           window's Exit does (for tests of what a cut-short rebuild leaves)
//   --pause-after-folders N write "paused" after the N-th folder and wait for a line on standard input
//                           before going on (for tests of what others see while a rebuild runs)
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "platform/ProgramEnd.h"
#include "indexer/IndexBuilder.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    long endAfterFolders = -1, pauseAfterFolders = -1;
    std::string file;
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--end-after-folders") == 0 && i + 1 < argc) {
            endAfterFolders = std::strtol(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--pause-after-folders") == 0 && i + 1 < argc) {
            pauseAfterFolders = std::strtol(argv[++i], nullptr, 10);
        } else if (file.empty()) {
            file = argv[i];
        } else {
            roots.emplace_back(argv[i]);
        }
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: trovander-index FILE ROOT...\n");
        return 2;
    }
    try {
        auto store = trovander::IndexStore::open(file);
        long yields = 0;
        trovander::RebuildHooks hooks;
        hooks.yield = [&] {
            QCoreApplication::processEvents();
            ++yields;
            if (endAfterFolders >= 0 && yields == 3 * endAfterFolders) trovander::EndProgramNow(3);
            if (pauseAfterFolders >= 0 && yields == 3 * pauseAfterFolders) {
                std::printf("paused\n");
                std::fflush(stdout);
                char line[8];
                if (!std::fgets(line, sizeof line, stdin)) {
                    // Nobody will say go on; carry on all the same.
                }
            }
        };
        trovander::IndexBuilder builder(*store, hooks);
        builder.Drives.insert(builder.Drives.end(), roots.begin(), roots.end());
        builder.ScanDrives();
        const auto& c = builder.counts();
        std::printf("records=%llu folders=%llu refused=%llu failed=%llu\n",
                    static_cast<unsigned long long>(c.records), static_cast<unsigned long long>(c.folders),
                    static_cast<unsigned long long>(c.refused), static_cast<unsigned long long>(c.failed));
    } catch (const trovander::StoreError& e) {
        std::fprintf(stderr, "trovander-index: %s\n", e.what());
        return 1;
    } catch (const trovander::WalkError& e) {
        std::fprintf(stderr, "trovander-index: %s\n", e.what());
        return 1;
    }
    return 0;
}
