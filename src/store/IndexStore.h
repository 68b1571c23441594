// The index database: its schema and the six statements the program sends. Nobody else writes SQL.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "store/RecordSet.h"
#include "store/Sqlite.h"

namespace trovander {

constexpr std::string_view kDatabaseFileName = "Main.mdb";
constexpr std::string_view kDatabasePassword = "wr3m7xdb";

// The index records are the view tblFiles (FilePath, FileName, FileType). Underneath, each folder path is
// stored once in tblFolders and each entry in tblEntries with its name first: a search scans a quarter of
// the bytes a row with its whole path would take, and reads each name from the start of its row.
//
// A rebuild writes tables of its own (tblFolders_new, tblEntries_new) in batches while every reader goes on
// with the live ones; when it has got through, one transaction puts the new tables in place of the old
// ones together with the new stamp. A rebuild that is killed, ended or failed leaves the live tables and
// their stamps exactly as they were.
//
// The six statements, and every other text the store sends: the schema, the table check, the pragmas and
// the transaction statements. Values are bound, never spliced into the text.
namespace sql {
// An index opens only when all four are there (the answer is their count).
constexpr std::string_view kCountTables =
    "SELECT count(*) FROM sqlite_master WHERE (type='table' AND name IN "
    "('tblFolders','tblEntries','tblDated')) OR (type='view' AND name='tblFiles')";
constexpr std::string_view kTableCount = "4";

// Given on every open, in this order. 4 KiB cipher pages: a quarter of the per-page overhead of 1 KiB
// pages, and the page size SQLCipher 4 uses by default; it has to come before the first read, which
// proves the key.
constexpr std::string_view kCipherPageSize = "PRAGMA cipher_page_size = 4096";
constexpr std::string_view kProveKey = "SELECT count(*) FROM sqlite_master";
constexpr std::string_view kConnectionPragmas[] = {
    // Space freed by clearing the index need not be overwritten with zeros: the pages are encrypted
    // anyway, and overwriting them doubles the cost of a rebuild's first statement.
    "PRAGMA secure_delete = OFF",
    "PRAGMA temp_store = MEMORY",
};
// Followed by a number: a negative cache_size counts KiB rather than pages.
constexpr std::string_view kCacheSizeKiB = "PRAGMA cache_size = -";
constexpr std::string_view kIntegrityCheck = "PRAGMA integrity_check";

constexpr std::string_view kBegin = "BEGIN";
// IMMEDIATE: a write lock that cannot be had fails at the start, not half-way through a batch.
constexpr std::string_view kBeginImmediate = "BEGIN IMMEDIATE";
constexpr std::string_view kBeginExclusive = "BEGIN EXCLUSIVE";
constexpr std::string_view kCommit = "COMMIT";
constexpr std::string_view kRollback = "ROLLBACK";

// 1: a rebuild starts on empty tables of its own; anything a rebuild cut short left there goes first.
constexpr std::string_view kNewTables[] = {
    "DROP TABLE IF EXISTS tblEntries_new",
    "DROP TABLE IF EXISTS tblFolders_new",
    "CREATE TABLE tblFolders_new(FolderId INTEGER PRIMARY KEY, FilePath TEXT NOT NULL)",
    "CREATE TABLE tblEntries_new(FileName TEXT NOT NULL, FileType TEXT NOT NULL, FolderId INTEGER NOT NULL)",
};
constexpr std::string_view kCountNewTables =
    "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('tblFolders_new','tblEntries_new')";
constexpr std::string_view kInsertFolder =
    "INSERT INTO tblFolders_new(FolderId,FilePath) VALUES(?1,?2)";  // 2, 3
constexpr std::string_view kInsertFile =
    "INSERT INTO tblEntries_new(FileName,FileType,FolderId) VALUES(?1,?2,?3)";  // 2, 3
// The view is dropped around the renames, so that no engine version has to rewrite it.
constexpr std::string_view kReplaceTables[] = {
    "DROP VIEW main.tblFiles",
    "DROP TABLE tblEntries",
    "DROP TABLE tblFolders",
    "ALTER TABLE tblFolders_new RENAME TO tblFolders",
    "ALTER TABLE tblEntries_new RENAME TO tblEntries",
};
// CROSS JOIN keeps the entries as the outer loop: a search scans names in the order they were written
// and looks up the folder of a hit only.
constexpr std::string_view kCreateView =
    "CREATE VIEW main.tblFiles AS SELECT tblFolders.FilePath AS FilePath, tblEntries.FileName AS FileName, "
    "tblEntries.FileType AS FileType FROM tblEntries CROSS JOIN tblFolders "
    "ON tblFolders.FolderId = tblEntries.FolderId";
// An empty index: the live tables and the view over them, made in one transaction.
constexpr std::string_view kSchema[] = {
    "CREATE TABLE tblFolders(FolderId INTEGER PRIMARY KEY, FilePath TEXT NOT NULL)",
    "CREATE TABLE tblEntries(FileName TEXT NOT NULL, FileType TEXT NOT NULL, FolderId INTEGER NOT NULL)",
    kCreateView,
    "CREATE TABLE tblDated(Dated TEXT NOT NULL)",
};
// A live index with a damaged page cannot give its tables up (dropping them reads every page), so a
// rebuild that meets one copies its own tables into a fresh file, which then takes the damaged one's place.
constexpr std::string_view kReadNewFolders = "SELECT FolderId, FilePath FROM tblFolders_new";
constexpr std::string_view kReadNewEntries = "SELECT FileName, FileType, FolderId FROM tblEntries_new";
constexpr std::string_view kReadStamps = "SELECT Dated FROM tblDated ORDER BY rowid";
constexpr std::string_view kInsertLiveFolder = "INSERT INTO tblFolders(FolderId,FilePath) VALUES(?1,?2)";
constexpr std::string_view kInsertLiveEntry =
    "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES(?1,?2,?3)";
// A record straight into the live index: its folder's id, or the next one after the largest.
constexpr std::string_view kFindFolder = "SELECT FolderId FROM tblFolders WHERE FilePath = ?1";
constexpr std::string_view kNextFolderId = "SELECT coalesce(max(FolderId), 0) + 1 FROM tblFolders";
constexpr std::string_view kInsertStamp = "INSERT INTO [tblDated](Dated) VALUES(?1)";  // 4
// The newest stamp first: stamps accumulate, and the age of the index is the age of the last rebuild.
constexpr std::string_view kSelectStamps = "SELECT * FROM [tblDated] ORDER BY rowid DESC";           // 5
constexpr std::string_view kSearchFiles = "SELECT * FROM tblFiles WHERE tblFiles.FileName LIKE ?1";  // 6
// The names in memory are read in the order the view gives its rows: entries by rowid, each with its folder;
// a slice of rows at a time, from ?1 on, at most ?2 rows.
constexpr std::string_view kReadFolders =
    "SELECT FolderId, FilePath FROM tblFolders WHERE FolderId >= ?1 ORDER BY FolderId LIMIT ?2";
constexpr std::string_view kReadEntries =
    "SELECT rowid, FileName, FileType, FolderId FROM tblEntries WHERE rowid >= ?1 ORDER BY rowid LIMIT ?2";
// Statement 6 names tblFiles; once the names are in memory, a table of this connection's own answers it
// (see NameTable.h), which reads the stored view by its full name whenever the names are not current.
constexpr std::string_view kCreateNameTable = "CREATE VIRTUAL TABLE temp.tblFiles USING trovander_names";
constexpr std::string_view kReadStoredView = "SELECT FilePath, FileName, FileType FROM main.tblFiles";
constexpr std::string_view kSearchStoredView =
    "SELECT FilePath, FileName, FileType FROM main.tblFiles WHERE FileName LIKE ?1";
constexpr std::string_view kDataVersion = "PRAGMA main.data_version";

// Only the fault tests and the benchmark send these: an index that lost a table, and a row that another
// program's writer holds uncommitted.
constexpr std::string_view kDropEntries = "DROP TABLE tblEntries";
constexpr std::string_view kDropStamps = "DROP TABLE tblDated";
constexpr std::string_view kPendingEntry =
    "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES('pending','0',0)";
}  // namespace sql

enum class EntryType : char { File = '0', Folder = '1' };

class NameTable;
class RebuildLock;

class IndexStore {
  public:
    // A rebuild's batches commit after this many rows or bytes, whichever comes first: the tables it
    // writes are its own until it gets through, so a batch may end anywhere, and the engine's cache of
    // pages not yet written stays small whatever the tree.
    static constexpr size_t kBatchRows = 10000;
    static constexpr size_t kBatchBytes = size_t(16) << 20;

    // Opens an existing index (never creates one). Throws StoreError naming the file and the cause.
    static std::unique_ptr<IndexStore> open(const std::string& path);
    // Makes an empty index (both tables) at path; refuses when any file is there (AlreadyThere). Only the
    // tests give another key, to make a file this program cannot open.
    static void createEmpty(const std::string& path, std::string_view key = kDatabasePassword);
    // For the fault tests and the benchmark: what another program's writer looks like from here. The
    // connection holds the write lock with one row written and not committed (so the journal exists), or,
    // with `exclusive`, the lock that keeps readers out as well, until it is destroyed.
    static Connection holdWriteLock(const std::string& path, bool exclusive);

    ~IndexStore();
    IndexStore(const IndexStore&) = delete;
    IndexStore& operator=(const IndexStore&) = delete;

    const std::string& path() const { return conn_.path(); }

    // A rebuild. beginRebuild takes the file for this rebuild alone (StoreFault::Rebuilding when another
    // rebuild holds it, StoreFault::Locked at once when another program writes it) and starts empty tables
    // of its own (statement 1). addFolder and addEntry write into them (statements 2 and 3): the caller
    // numbers the folders from 1 and gives each folder's path once, before its first entry. finishRebuild
    // puts them in place of the live tables and writes the stamp (statement 4), in one commit.
    // abandonRebuild drops the rebuild and leaves the live index as it was; so does the destructor.
    void beginRebuild();
    void addFolder(int64_t folderId, std::string_view folderPath);
    void addEntry(int64_t folderId, std::string_view name, EntryType type);
    void finishRebuild(std::string_view stamp);
    void abandonRebuild() noexcept;
    bool rebuilding() const { return rebuildLock_ != nullptr; }

    // One record straight into the live index, in a batch that commitBatch commits: for tests and tools
    // that set up an index without walking a tree. Not for a rebuild.
    void insertRecord(std::string_view folderPath, std::string_view name, EntryType type);
    // Commits what insertRecord or a rebuild's batch holds open. Safe to call with none open.
    void commitBatch();
    // Statement 4 on its own, outside a rebuild.
    void insertStamp(std::string_view stamp);
    // Statement 5, newest first.
    RecordSet selectStamps() { return OpenQuery(sql::kSelectStamps); }
    // Statement 6 (name LIKE '%' + pattern + '%') row by row, for a caller that keeps its own compact copy
    // of the rows: `row` gets the statement standing on each row in turn. Throws StoreError as OpenQuery
    // does, also part-way.
    void searchFilesEach(std::string_view pattern, const std::function<void(const Statement&)>& row);

    // Has every name read into memory in the background, from now on and after every change, so that
    // statement 6 is answered from there (see NameTable.h). Until a read has got through, and whenever the
    // file has changed since, the stored view answers. Call it from the thread that uses the store.
    void loadNames();
    // The read loadNames started has ended (with the names in memory, or failed and left to the view).
    bool namesLoaded() const;
    // Bytes the names in memory take, 0 when there are none; how many queries they have answered.
    size_t namesBytes() const;
    uint64_t namesAnswered() const;

    bool inBatch() const { return inBatch_; }

    // For tests. The engine's own check of the file: "ok" when it is sound, else its first complaint.
    std::string integrityCheck();
    // True while tables of a rebuild that did not get through are in the file.
    bool hasRebuildTables() noexcept;
    // An index that lost its entries or its stamps, as a damaged or foreign file would be.
    enum class Table { Entries, Stamps };
    void dropTable(Table table);

  private:
    // Runs one of the texts above with bound values; the row count is exact before the first row. Throws
    // on failure.
    RecordSet OpenQuery(std::string_view sqlText, std::initializer_list<std::string_view> values = {});
    explicit IndexStore(Connection conn);
    void beginBatch();
    void countInBatch(size_t bytes);
    void rollbackBatch() noexcept;
    void dropLeftoverRebuild() noexcept;
    static void copyRows(Connection& from, std::string_view select, Connection& to, std::string_view insert);
    // Drops the rebuild's tables where there are any, waiting at most waitMs for another writer.
    void dropRebuildTables(int waitMs) noexcept;
    void replaceDamagedFile(std::string_view stamp);
    void restoreSearchCache() noexcept;
    std::string freshPath() const { return path() + ".rebuild"; }

    Connection conn_;
    std::unique_ptr<NameTable> names_;
    Statement insertFolder_;
    Statement insert_;
    std::unique_ptr<RebuildLock> rebuildLock_;
    bool inBatch_ = false;
    size_t batchRows_ = 0, batchBytes_ = 0;
};

}  // namespace trovander
