// Test fixtures: a temporary tree, a temporary Main.mdb, counters for yields.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "indexer/Rebuild.h"
#include "search/ResultRows.h"
#include "store/IndexStore.h"

namespace trovander {
class ResultsModel;
}

namespace trovander::testing {

// Below root: a chain of depth folders d0/d1/..., each level also holding siblings empty folders
// s<level>_<k>. Made relative to each level's handle, so the chain may go deeper than a path can be long.
// Returns the number of entries made; removeDeepTree takes it away again (the temporary folder's clean-up
// cannot).
size_t makeDeepTree(const std::string& root, int depth, int siblings);
void removeDeepTree(const std::string& root);

// A temporary folder that goes away with the fixture.
class TempTree {
  public:
    TempTree();
    // Removes names Qt cannot spell (bytes that are not UTF-8) before the folder itself goes.
    ~TempTree();
    const std::string& root() const { return root_; }
    // Creates a file (with parent folders) at a path relative to the root; names are bytes.
    std::string file(std::string_view relative, std::string_view content = {});
    std::string folder(std::string_view relative);
    std::string path(std::string_view relative) const;

  private:
    QTemporaryDir dir_;
    std::string root_;
};

// An empty index database in a temporary folder, opened.
class TempIndex {
  public:
    TempIndex();
    IndexStore& store() { return *store_; }
    const std::string& path() const { return path_; }
    void reopen();
    void close() { store_.reset(); }
    // Every record as (FilePath, FileName, FileType), in stored order.
    std::vector<std::tuple<std::string, std::string, std::string>> records();
    std::vector<std::string> stamps();

  private:
    QTemporaryDir dir_;
    std::string path_;
    std::unique_ptr<IndexStore> store_;
};

// A file's bytes, or "<unreadable>" when it cannot be opened; for checks that a file was left alone.
QByteArray fileBytes(const std::string& path);
// Writes content as the whole file at path.
void writeFileBytes(const std::string& path, const QByteArray& content);
// Overwrites four bytes in the middle of the file at path, as a failing disk or a stray write would.
void damageMiddle(const std::string& path);

// Runs a tool from build/tools with arguments; returns its exit status (-1 when it could not start or was
// killed). With openFileLimit > 0 the tool runs with at most that many file descriptors (soft and hard).
int runTool(const std::string& tool, const std::vector<std::string>& args, std::string* output = nullptr,
            int openFileLimit = 0);
std::string toolPath(const std::string& tool);

// Statement 6 as a search runs it (readSearch): the rows whose name matches pattern ("%" inside it as
// typed), in the index's order.
ResultRows searchRows(IndexStore& store, std::string_view pattern);

// One row into the list as a search puts it there: a file the look-up found with its size and time, or a
// folder record.
void appendFound(ResultsModel& list, std::string_view name, std::string_view folder, int64_t sizeBytes,
                 int64_t modifiedSecs = 0);
void appendFolder(ResultsModel& list, std::string_view name, std::string_view folder);

// A rebuild over the given folders as the drives, through the program's rebuild use case: the system's
// folder reader unless one is given, a report that does nothing unless one is given, the current time.
// Returns the counts of the walk; faults come as the rebuild throws them.
IndexBuilder::Counts rebuildOver(IndexStore& store, const std::vector<std::string>& roots,
                                 FolderReader* reader = nullptr, RebuildReport* report = nullptr);

}  // namespace trovander::testing
