// trovander-index FILE ROOT...: rebuilds the index in FILE over the given folders as its drives, through the
// program's own walk, with the event-loop yields. Exits 0 when the rebuild got through,
// 1 when it did not (the index is then left as it was).
//   --end-after-folders N   end the program at once during the yields after the N-th folder, as the start
//                           window's Exit does (for tests of what a cut-short rebuild leaves)
//   --pause-after-folders N write "paused" after the N-th folder and wait for a line on standard input
//                           before going on (for tests of what others see while a rebuild runs)
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <cstring>

#include "indexer/Rebuild.h"
#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "platform/ProgramEnd.h"
#include "store/IndexStore.h"

namespace {
// The event-loop yields, with the two test switches counted in folders (three yields each).
class ToolReport final : public trovander::RebuildReport {
  public:
    ToolReport(trovander::ProgramEnd& end, long endAfterFolders, long pauseAfterFolders)
        : end_(end), endAfterFolders_(endAfterFolders), pauseAfterFolders_(pauseAfterFolders) {}

    bool stopRequested() override { return end_.ending(); }
    void walkBegins() override { walking_ = true; }
    void yield() override {
        QCoreApplication::processEvents();
        // The probe's yields come before the walk and are not counted.
        if (!walking_) return;
        ++yields_;
        if (endAfterFolders_ >= 0 && yields_ == 3 * endAfterFolders_) end_.endNow(3);
        if (pauseAfterFolders_ >= 0 && yields_ == 3 * pauseAfterFolders_) {
            std::printf("paused\n");
            std::fflush(stdout);
            char line[8];
            if (!std::fgets(line, sizeof line, stdin)) {
                // Nobody will say go on; carry on all the same.
            }
        }
    }

  private:
    trovander::ProgramEnd& end_;
    long endAfterFolders_, pauseAfterFolders_;
    long yields_ = 0;
    bool walking_ = false;
};
}  // namespace

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
        const auto drives = trovander::makeListDriveProbe(roots);
        const auto folders = trovander::makeSystemFolderReader();
        trovander::ProgramEnd end;
        ToolReport report(end, endAfterFolders, pauseAfterFolders);
        trovander::Rebuild rebuild(*store, *drives, *folders, [] { return QDateTime::currentDateTime(); });
        rebuild.run(report);
        const auto& c = rebuild.counts();
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
