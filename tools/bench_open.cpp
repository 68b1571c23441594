// trovander-bench open [--runs K]: how long opening an index takes while another connection writes it
// (a write transaction open, its journal on disk), side by side with opening it idle.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "bench_tree.h"
#include "store/IndexStore.h"

namespace {
double timeOpen(const std::string& db) {
    const auto start = std::chrono::steady_clock::now();
    auto store = trovander::IndexStore::open(db);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int runOpenBench(int argc, char** argv) {
    namespace fs = std::filesystem;
    using namespace trovander;
    int runs = 20;
    for (int i = 0; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[++i]));
    const fs::path work = fs::temp_directory_path() / ("trovander-bench-open-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string db = (work / "Main.mdb").string();
    IndexStore::createEmpty(db);
    {
        auto store = IndexStore::open(db);
        for (int i = 0; i < 10000; ++i)
            store->insertRecord("/some/folder", "entry " + std::to_string(i), EntryType::File);
        store->commitBatch();
    }
    std::vector<double> idle, besideWriter;
    for (int run = 0; run < runs; ++run) {
        idle.push_back(timeOpen(db));
        const Connection writer = IndexStore::holdWriteLock(db, /*exclusive=*/false);
        besideWriter.push_back(timeOpen(db));
    }
    const double mi = bench::median(idle), mw = bench::median(besideWriter);
    std::printf("open runs=%d idle_ms=%.2f beside_writer_ms=%.2f extra_ms=%.2f\n", runs, mi, mw, mw - mi);
    fs::remove_all(work);
    return 0;
}
