#include "bench_tree.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace trovander::bench {
namespace {

struct SplitMix64 {
    uint64_t state;
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t n) { return next() % n; }
};

// Ten words, each about a tenth of the names; kBroadWord among them.
const char* const kWords[] = {"report", "photo", "setup",   "notes",  "Über",
                              "café",   "don't", "my file", "résumé", "Ærø data"};
const char* const kExtensions[] = {".txt", ".jpg", ".exe", ".pdf", ".doc", ".tar.gz", "", ".cfg"};

std::string makeName(SplitMix64& rng, uint64_t serial, bool folder) {
    std::string name = kWords[rng.below(std::size(kWords))];
    if (rng.below(10000) == 0) name += std::string(" ") + kSelectiveWord;
    name += (rng.below(2) ? " " : "_") + std::to_string(serial);
    if (!folder) name += kExtensions[rng.below(std::size(kExtensions))];
    return name;
}

}  // namespace

std::string defaultTreeDir(uint64_t entries) {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/var/tmp") + "/trovander-bench-tree-" + std::to_string(entries);
}

TreeInfo generateTree(const std::string& dir, uint64_t entries) {
    namespace fs = std::filesystem;
    TreeInfo info{dir + "/tree", entries};
    const std::string marker = dir + "/complete-" + std::to_string(entries);
    if (fs::exists(marker)) return info;
    fs::remove_all(dir);
    fs::create_directories(info.root);

    SplitMix64 rng{42};
    struct Folder {
        std::string path;
        int depth;
    };
    std::vector<Folder> folders{{info.root, 0}};
    std::vector<size_t> openFolders{0};  // folders shallow enough to take subfolders
    const uint64_t folderCount = entries / 10;
    for (uint64_t i = 0; i < folderCount; ++i) {
        // Prefer recent folders so the tree gets deep, as real disks are.
        const size_t pick =
            rng.below(4) == 0
                ? openFolders[rng.below(openFolders.size())]
                : openFolders[openFolders.size() - 1 - rng.below(std::min<size_t>(openFolders.size(), 50))];
        const Folder parent = folders[pick];
        Folder f{parent.path + "/" + makeName(rng, i, true), parent.depth + 1};
        if (::mkdir(f.path.c_str(), 0755) != 0) throw std::runtime_error("cannot make " + f.path);
        folders.push_back(f);
        if (f.depth < 12) openFolders.push_back(folders.size() - 1);
    }
    for (uint64_t i = folderCount; i < entries; ++i) {
        const std::string path = folders[rng.below(folders.size())].path + "/" + makeName(rng, i, false);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) throw std::runtime_error("cannot make " + path);
        if (i % 7 == 0) {
            const std::string content(static_cast<size_t>(rng.below(5000)), 'x');
            if (::write(fd, content.data(), content.size()) < 0)
                throw std::runtime_error("cannot write " + path);
        }
        ::close(fd);
    }
    std::ofstream(marker) << entries << "\n";
    return info;
}

TreeInfo obtainTree(const std::string& treeDir, uint64_t entries) {
    namespace fs = std::filesystem;
    if (!treeDir.empty() && fs::exists(treeDir) && !fs::exists(treeDir + "/tree"))
        return {treeDir, countEntries(treeDir)};
    const std::string dir = treeDir.empty() ? defaultTreeDir(entries) : treeDir;
    std::fprintf(stderr, "tree of %llu entries under %s ...\n", static_cast<unsigned long long>(entries),
                 dir.c_str());
    return generateTree(dir, entries);
}

uint64_t countEntries(const std::string& root) {
    uint64_t n = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != decltype(it)(); ++it) ++n;
    return n;
}

double timeCommand(const std::vector<std::string>& argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double peakRssMb() {
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

bool haveProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= p.size()) {
        size_t colon = p.find(':', start);
        if (colon == std::string::npos) colon = p.size();
        if (::access((p.substr(start, colon - start) + "/" + name).c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

}  // namespace trovander::bench
