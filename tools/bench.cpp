// trovander-bench rebuild [--entries N] [--tree DIR] [--runs K] [--no-progress]
// trovander-bench search  [--entries N] [--tree DIR] [--pattern P]...
// trovander-bench deep    [--depth N]... [--runs K]
// trovander-bench open    [--runs K]
#include "bench.h"

#include <sys/stat.h>

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bench_tree.h"
#include "indexer/Rebuild.h"
#include "indexer/RebuildProgress.h"
#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "store/IndexStore.h"

namespace {

struct RebuildOptions {
    uint64_t entries = 1000000;
    std::string treeDir;
    int runs = 3;
    bool progress = true;  // --no-progress: without the start window's progress display, to compare
};

RebuildOptions parse(int argc, char** argv) {
    RebuildOptions o;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--entries" && i + 1 < argc)
            o.entries = std::strtoull(argv[++i], nullptr, 10);
        else if (a == "--tree" && i + 1 < argc)
            o.treeDir = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--no-progress")
            o.progress = false;
    }
    return o;
}

}  // namespace

int runRebuildBench(int argc, char** argv) {
    using namespace trovander;
    namespace fs = std::filesystem;
    const RebuildOptions o = parse(argc, argv);
    const bench::TreeInfo tree = bench::obtainTree(o.treeDir, o.entries);

    const fs::path work = fs::temp_directory_path() / ("trovander-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string dbPath = (work / "Main.mdb").string();
    IndexStore::createEmpty(dbPath);
    auto store = IndexStore::open(dbPath);

    // The progress label the start window shows, updated as the program does.
    QLabel label;
    label.resize(481, 65);
    label.show();
    // The start window's count and time, redrawn as it does.
    QLabel progressLabel;
    progressLabel.show();
    struct BenchReport final : RebuildReport {
        QLabel& label;
        QLabel& progressLabel;
        RebuildProgress shown;
        bool showProgress;
        BenchReport(QLabel& l, QLabel& p, bool show) : label(l), progressLabel(p), showProgress(show) {}
        void yield() override { QCoreApplication::processEvents(); }
        void walkBegins() override { shown.start(); }
        void status(const QString& text) override { label.setText(text); }
        void progress(uint64_t records) override {
            if (showProgress && shown.due()) progressLabel.setText(shown.text(records));
        }
    } report(label, progressLabel, o.progress);
    const auto drives = makeListDriveProbe({tree.root});
    const auto folders = makeSystemFolderReader();

    auto rebuildOnce = [&] {
        Rebuild rebuild(*store, *drives, *folders, [] { return QDateTime::currentDateTime(); });
        const auto start = std::chrono::steady_clock::now();
        rebuild.run(report);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };

    const bool haveUpdatedb = bench::haveProgram("updatedb");
    const std::string plocateDb = (work / "plocate.db").string();
    const std::vector<std::string> findCmd = {"find", tree.root, "-printf", "%h %f %y\\n"};
    const std::vector<std::string> updatedbCmd = {
        "updatedb", "-U",           tree.root, "-o", plocateDb, "--prunepaths", "", "--prunefs",
        "",         "--prunenames", "",        "-l", "no"};
    // Warm the cache and fill the index once, so that every timed rebuild also clears a full index.
    bench::timeCommand(findCmd);
    rebuildOnce();

    std::vector<double> ours, find, updatedb;
    for (int run = 0; run < o.runs; ++run) {
        find.push_back(bench::timeCommand(findCmd));
        if (haveUpdatedb) updatedb.push_back(bench::timeCommand(updatedbCmd));
        ours.push_back(rebuildOnce());
        std::fprintf(stderr, "run %d: trovander %.3f s, find %.3f s, updatedb %.3f s\n", run + 1, ours.back(),
                     find.back(), haveUpdatedb ? updatedb.back() : -1.0);
    }
    const double m = bench::median(ours), mf = bench::median(find);
    const double mu = haveUpdatedb ? bench::median(updatedb) : -1;
    store.reset();
    struct stat st {};
    ::stat(dbPath.c_str(), &st);
    const double bytesPerEntry =
        tree.entries ? static_cast<double>(st.st_size) / static_cast<double>(tree.entries) : 0;

    std::printf("tree %s: %llu entries\n", tree.root.c_str(), static_cast<unsigned long long>(tree.entries));
    std::printf("trovander rebuild: median %.3f s of %d, %.0f entries/s\n", m, o.runs,
                static_cast<double>(tree.entries) / m);
    std::printf("find -printf:      median %.3f s, ratio %.2f\n", mf, m / mf);
    if (haveUpdatedb)
        std::printf("plocate updatedb:  median %.3f s, ratio %.2f\n", mu, m / mu);
    else
        std::printf("plocate updatedb:  not installed\n");
    std::printf("database: %lld bytes, %.1f bytes per entry\n", static_cast<long long>(st.st_size),
                bytesPerEntry);
    std::printf(
        "rebuild entries=%llu median_s=%.3f find_s=%.3f updatedb_s=%s ratio_find=%.2f ratio_updatedb=%s "
        "bytes_per_entry=%.1f\n",
        static_cast<unsigned long long>(tree.entries), m, mf,
        haveUpdatedb ? std::to_string(mu).c_str() : "na", m / mf,
        haveUpdatedb ? std::to_string(m / mu).c_str() : "na", bytesPerEntry);
    fs::remove_all(work);
    return 0;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool known =
        argc >= 2 && (std::strcmp(argv[1], "rebuild") == 0 || std::strcmp(argv[1], "search") == 0 ||
                      std::strcmp(argv[1], "deep") == 0 || std::strcmp(argv[1], "open") == 0);
    if (!known) {
        std::fprintf(stderr,
                     "usage: trovander-bench rebuild [--entries N] [--tree DIR] [--runs K]\n"
                     "       trovander-bench search [--entries N] [--tree DIR] [--pattern P]...\n"
                     "       trovander-bench deep [--depth N]... [--runs K]\n"
                     "       trovander-bench open [--runs K]\n");
        return 2;
    }
    try {
        if (std::strcmp(argv[1], "rebuild") == 0) return runRebuildBench(argc - 2, argv + 2);
        if (std::strcmp(argv[1], "deep") == 0) return runDeepBench(argc - 2, argv + 2);
        if (std::strcmp(argv[1], "open") == 0) return runOpenBench(argc - 2, argv + 2);
        return runSearchBench(argc - 2, argv + 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trovander-bench: %s\n", e.what());
        return 1;
    }
}
