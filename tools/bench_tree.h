// A deterministic tree for the benchmark: N entries, about one folder in ten, depth up to 12, names with
// blanks, apostrophes and non-ASCII letters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trovander::bench {

// Patterns whose hit counts the generator makes predictable: the selective word stands in about one name
// in 10,000 (about 100 hits per million entries), the broad one in about one name in ten.
constexpr const char* kSelectiveWord = "quasar";
constexpr const char* kBroadWord = "report";

struct TreeInfo {
    std::string root;
    uint64_t entries = 0;  // files and folders below the root, the root itself not counted
};

// Makes the tree under dir (or reuses one the same call made before, recognised by its marker file).
TreeInfo generateTree(const std::string& dir, uint64_t entries);
// The tree a stage runs on: treeDir itself when it is a tree of the caller's own, else the generated tree of
// that many entries under treeDir (or the default place), made when it is not there yet.
TreeInfo obtainTree(const std::string& treeDir, uint64_t entries);
// A default place for a tree of that size, outside any build folder.
std::string defaultTreeDir(uint64_t entries);
// Counts the entries below root without following links.
uint64_t countEntries(const std::string& root);

// Runs a shell-free command (argv), output to /dev/null; returns the wall time in seconds, or -1.
double timeCommand(const std::vector<std::string>& argv);
double median(std::vector<double> values);
// Peak resident set size of this process so far, in MiB.
double peakRssMb();
bool haveProgram(const std::string& name);

}  // namespace trovander::bench
