// The index database: its schema and the six statements the program sends. Nobody else writes SQL.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "app/RecordSet.h"
#include "app/Sqlite.h"

namespace trovander {

constexpr std::string_view kDatabaseFileName = "Main.mdb";
constexpr std::string_view kDatabasePassword = "wr3m7xdb";

// The index records are the view tblFiles (FilePath, FileName, FileType). Underneath, each folder path is
// stored once in tblFolders and each entry in tblEntries with its name first: a search scans a quarter of
// the bytes a row with its whole path would take, and reads each name from the start of its row.
//
// The six statements. Values are bound, never spliced into the text.
namespace sql {
constexpr std::string_view kDeleteFiles[] = {"DELETE FROM [tblEntries]", "DELETE FROM [tblFolders]"};  // 1
constexpr std::string_view kInsertFolder = "INSERT INTO [tblFolders](FolderId,FilePath) VALUES(?1,?2)";  // 2, 3
constexpr std::string_view kInsertFile =
    "INSERT INTO [tblEntries](FileName,FileType,FolderId) VALUES(?1,?2,?3)";                          // 2, 3
constexpr std::string_view kInsertStamp = "INSERT INTO [tblDated](Dated) VALUES(?1)";                // 4
// The newest stamp first: stamps accumulate, and the age of the index is the age of the last rebuild.
constexpr std::string_view kSelectStamps = "SELECT * FROM [tblDated] ORDER BY rowid DESC";           // 5
constexpr std::string_view kSearchFiles = "SELECT * FROM tblFiles WHERE tblFiles.FileName LIKE ?1";  // 6
}  // namespace sql

enum class EntryType : char { File = '0', Folder = '1' };

class IndexStore {
public:
    // Rows per transaction during a rebuild; a commit lands only at a folder boundary.
    static constexpr size_t kBatchRows = 10000;

    // Opens an existing index (never creates one). Throws StoreError naming the file and the cause.
    static std::unique_ptr<IndexStore> open(const std::string& path);
    // Makes an empty index (both tables) at path; refuses when any file is there.
    static void createEmpty(const std::string& path);
    // Main.mdb beside the program.
    static std::string defaultPath();

    ~IndexStore();
    IndexStore(const IndexStore&) = delete;
    IndexStore& operator=(const IndexStore&) = delete;

    const std::string& path() const { return conn_.path(); }

    // Runs a query with bound values; the row count is exact before the first row. Throws on failure.
    RecordSet OpenQuery(std::string_view sqlText, std::initializer_list<std::string_view> values = {});

    // Statement 1. Opens the rebuild's first batch, so the old index stays whole until that batch commits.
    void deleteAllFiles();
    // Statements 2 and 3, inside the open batch.
    void insertRecord(std::string_view folderPath, std::string_view name, EntryType type);
    // At a folder boundary: commits the open batch once it holds kBatchRows rows.
    void folderBoundary();
    // Commits whatever the open batch holds. Safe to call with none open.
    void commitBatch();
    // Statement 4: commits the open batch first, then writes the stamp on its own.
    void insertStamp(std::string_view stamp);
    // Statement 5, newest first.
    RecordSet selectStamps() { return OpenQuery(sql::kSelectStamps); }
    // Statement 6: name LIKE '%' + pattern + '%'.
    RecordSet searchFiles(std::string_view pattern);
    // Statement 6 row by row, for a caller that keeps its own compact copy of the rows: `row` gets the
    // statement standing on each row in turn. Throws StoreError as OpenQuery does, also part-way.
    void searchFilesEach(std::string_view pattern, const std::function<void(const Statement&)>& row);

    bool inBatch() const { return inBatch_; }

private:
    explicit IndexStore(Connection conn);
    void beginBatch();
    int64_t folderId(std::string_view folderPath);
    void forgetFolders();

    Connection conn_;
    Statement insertFolder_;
    // Folder ids written by this connection, so that a path is stored once; forgotten whenever a batch
    // may not have reached the file.
    std::unordered_map<std::string, int64_t> folderIds_;
    int64_t lastFolderId_ = -1;  // -1: read the largest id from the file before the next new folder
    std::string lastFolderPath_;
    int64_t lastFolderPathId_ = 0;
    Statement insert_;
    bool inBatch_ = false;
    size_t batchRows_ = 0;
};

}  // namespace trovander
