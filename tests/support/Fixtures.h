// Test fixtures: a temporary tree, a temporary Main.mdb, counters for yields.
#pragma once

#include <QTemporaryDir>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/IndexStore.h"

namespace trovander::testing {

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

// Runs a tool from build/tools with arguments; returns its exit status (-1 when it could not start).
int runTool(const std::string& tool, const std::vector<std::string>& args, std::string* output = nullptr);
std::string toolPath(const std::string& tool);

}  // namespace trovander::testing
