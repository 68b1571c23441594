// Small owners of the SQLCipher C API handles. Values only ever reach SQL as bound parameters.
#pragma once

#include <sqlcipher/sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace trovander {

// How long a statement waits for another connection's lock: waiting a little beats failing a search, a
// start-up or a rebuild's batch commit at once.
constexpr int kBusyWaitMs = 3000;

// Why the index store failed, so that callers can say what to do about it.
enum class StoreFault {
    Missing,        // no file at the path
    NotAFile,       // the path is a folder or something else
    NotReadable,    // the file cannot be opened for reading
    WrongKey,       // wrong password, or not an index database at all
    MissingTables,  // opens with the password but lacks tblFiles/tblDated
    Locked,         // another process holds a lock and did not let go in time
    ReadOnly,       // the file or its folder cannot be written
    DiskFull,       // no space left for the journal or the data
    Corrupt,        // the file is damaged
    Io,             // the disk failed to read or write
    Sql,            // a statement was rejected (a fault of the caller's SQL or pattern)
    Rebuilding,     // another rebuild of the same file is running
    AlreadyThere,   // a new index was asked for where a file already is; that file is left alone
};

class StoreError : public std::runtime_error {
  public:
    StoreError(StoreFault fault, std::string path, std::string detail);
    StoreFault fault() const { return fault_; }
    const std::string& path() const { return path_; }
    const std::string& detail() const { return detail_; }

  private:
    StoreFault fault_;
    std::string path_;
    std::string detail_;
};

// Maps an engine result code to the fault a user can act on.
StoreFault faultFromCode(int code);
// One sentence for the user: what is wrong, where, and what to do.
std::string describeFault(StoreFault fault, const std::string& path);

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};

class Statement {
  public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql, const std::string& path);

    void bindText(int index, std::string_view value);  // index counts from 1
    void bindInt64(int index, int64_t value);
    // Returns true while a row is available; throws StoreError on failure.
    bool step();
    void reset();
    int columnCount() const { return sqlite3_column_count(stmt_.get()); }
    std::string_view columnName(int col) const;
    std::string_view columnText(int col) const;
    bool columnIsInteger(int col) const { return sqlite3_column_type(stmt_.get(), col) == SQLITE_INTEGER; }
    bool columnIsText(int col) const { return sqlite3_column_type(stmt_.get(), col) == SQLITE_TEXT; }
    int64_t columnInt64(int col) const { return sqlite3_column_int64(stmt_.get(), col); }

  private:
    sqlite3* db_ = nullptr;
    std::string path_;
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> stmt_;
};

// A page cache that holds a whole index of a million entries: each search then scans decrypted pages
// instead of decrypting the file again.
constexpr int kSearchCacheKiB = 384 * 1024;
// A rebuild only appends: a small cache keeps its memory to the batch, whatever the length of its paths.
constexpr int kRebuildCacheKiB = 8 * 1024;

class IndexStore;

// The one connection to an index file. Only the index store sends statements on it: every SQL text lives
// beside the six statements in IndexStore.h.
class Connection {
  public:
    enum class Mode { OpenExisting, CreateNew };
    // Opens (never creates, with OpenExisting) the encrypted file, applies the key at once and proves it
    // with a read. Throws StoreError naming the file and the cause.
    static Connection open(const std::string& path, std::string_view key, Mode mode);

    // True while a transaction is open (the engine ends one by itself on some failures).
    bool inTransaction() const { return !sqlite3_get_autocommit(db_.get()); }
    // How long a statement waits for another connection's lock before it fails with Locked.
    void setBusyTimeout(int milliseconds) { sqlite3_busy_timeout(db_.get(), milliseconds); }
    // Takes the write lock at once (a lock that cannot be had fails here, not half-way), ends the
    // transaction with its changes, or without them. rollback() is for clean-up paths: it never throws,
    // does nothing when no transaction is open, and says whether the transaction is gone.
    void beginImmediate();
    void commit();
    bool rollback() noexcept;
    // The most decrypted pages the engine keeps, in KiB.
    void setCacheKiB(int kib);
    const std::string& path() const { return path_; }

  private:
    // The store and the names it keeps in memory are the only senders of SQL.
    friend class IndexStore;
    friend class NameArena;
    friend class NameTable;
    void execute(std::string_view sql);  // no values; for schema and pragmas
    // As execute, for clean-up paths that must not throw: false when the statement failed.
    bool tryExecute(std::string_view sql) noexcept;
    Statement prepare(std::string_view sql) { return Statement(db_.get(), sql, path_); }
    [[noreturn]] void fail(int code) const;
    void removeStaleJournal();

    std::unique_ptr<sqlite3, DatabaseCloser> db_;
    std::string path_;
};

}  // namespace trovander
