// trovander-bench deep [--depth N]... [--runs K]: a chain of N nested folders against a flat folder of N
// subfolders, each rebuilt by trovander-index in a child process: wall time, peak memory, index size.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench.h"
#include "bench_tree.h"
#include "store/IndexStore.h"

namespace {

namespace fs = std::filesystem;

// Made level by level from the handle of the level above, as a path this deep cannot be opened whole.
void makeChain(const fs::path& root, int depth) {
    fs::create_directories(root);
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        ::mkdirat(fd, "d", 0755);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd < 0) throw std::runtime_error("cannot make a chain under " + root.string());
    ::close(fd);
}

void makeFlat(const fs::path& root, int folders) {
    fs::create_directories(root);
    for (int i = 0; i < folders; ++i) fs::create_directory(root / ("d" + std::to_string(i)));
}

struct Run {
    double seconds = 0, peakRssMb = 0, indexMb = 0;
};

// One rebuild by the tool in a child, so that its peak memory is its own.
Run rebuildInChild(const std::string& indexTool, const fs::path& work, const fs::path& tree) {
    const std::string db = (work / "Main.mdb").string();
    fs::remove(db);
    trovander::IndexStore::createEmpty(db);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, STDOUT_FILENO);
        ::execl(indexTool.c_str(), indexTool.c_str(), db.c_str(), tree.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("trovander-index failed on " + tree.string());
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.peakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    r.indexMb = static_cast<double>(fs::file_size(db)) / (1024.0 * 1024.0);
    return r;
}

Run medianRun(std::vector<Run> runs) {
    std::vector<double> s, m, i;
    for (const Run& r : runs) {
        s.push_back(r.seconds);
        m.push_back(r.peakRssMb);
        i.push_back(r.indexMb);
    }
    return {trovander::bench::median(s), trovander::bench::median(m), trovander::bench::median(i)};
}

}  // namespace

int runDeepBench(int argc, char** argv) {
    std::vector<int> depths;
    int runs = 3;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--depth" && i + 1 < argc)
            depths.push_back(std::max(1, std::atoi(argv[++i])));
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
    }
    if (depths.empty()) depths = {5000, 20000};
    const std::string indexTool =
        (fs::read_symlink("/proc/self/exe").parent_path() / "trovander-index").string();
    const fs::path work = fs::temp_directory_path() / ("trovander-bench-deep-" + std::to_string(::getpid()));
    for (int depth : depths) {
        fs::remove_all(work);
        fs::create_directories(work);
        makeChain(work / "chain", depth);
        makeFlat(work / "flat", depth);
        std::vector<Run> chain, flat;
        for (int run = 0; run < runs; ++run) {
            flat.push_back(rebuildInChild(indexTool, work, work / "flat"));
            chain.push_back(rebuildInChild(indexTool, work, work / "chain"));
        }
        const Run c = medianRun(chain), f = medianRun(flat);
        std::printf(
            "deep depth=%d chain_s=%.3f chain_peak_mb=%.1f chain_index_mb=%.1f flat_s=%.3f flat_peak_mb=%.1f "
            "flat_index_mb=%.1f ratio_time=%.2f ratio_peak=%.2f ratio_index=%.2f\n",
            depth, c.seconds, c.peakRssMb, c.indexMb, f.seconds, f.peakRssMb, f.indexMb,
            c.seconds / f.seconds, c.peakRssMb / f.peakRssMb, c.indexMb / f.indexMb);
        std::fflush(stdout);
        // rm walks by handle, so the chain's depth is no limit to it.
        const std::string rm = "rm -rf '" + work.string() + "'";
        if (std::system(rm.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", work.c_str());
    }
    return 0;
}
