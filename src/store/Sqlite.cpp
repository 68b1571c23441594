#include "store/Sqlite.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/FileAccess.h"
#include "store/FoldingLike.h"
#include "store/IndexStore.h"

namespace trovander {

StoreError::StoreError(StoreFault fault, std::string path, std::string detail)
    : std::runtime_error(describeFault(fault, path) + (detail.empty() ? "" : " (" + detail + ")")),
      fault_(fault),
      path_(std::move(path)),
      detail_(std::move(detail)) {}

StoreFault faultFromCode(int code) {
    // A file shorter than its own header says it is has lost pages: damaged, not a failing disk.
    if (code == SQLITE_IOERR_SHORT_READ) return StoreFault::Corrupt;
    switch (code & 0xff) {
        case SQLITE_NOTADB:
            return StoreFault::WrongKey;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return StoreFault::Locked;
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return StoreFault::ReadOnly;
        case SQLITE_FULL:
            return StoreFault::DiskFull;
        case SQLITE_CORRUPT:
            return StoreFault::Corrupt;
        case SQLITE_IOERR:
            return StoreFault::Io;
        case SQLITE_CANTOPEN:
            return StoreFault::NotReadable;
        default:
            return StoreFault::Sql;
    }
}

std::string describeFault(StoreFault fault, const std::string& path) {
    const std::string where = "The index database " + path;
    switch (fault) {
        case StoreFault::Missing:
            return where + " does not exist; put an empty index database there (trovander-mkdb makes one).";
        case StoreFault::NotAFile:
            return where + " is not a file; move it away and put an index database there.";
        case StoreFault::NotReadable:
            return where + " cannot be opened; check that you may read and write it.";
        case StoreFault::WrongKey:
            return where +
                   " is not a Trovander index or was made with another password; replace it with an "
                   "empty index database.";
        case StoreFault::MissingTables:
            return where + " lacks the index tables; replace it with an empty index database.";
        case StoreFault::Locked:
            return where + " is locked by another program; close the other Trovander and try again.";
        case StoreFault::ReadOnly:
            return where + " cannot be written; make the file and its folder writable.";
        case StoreFault::DiskFull:
            return where + " cannot grow: the disk is full. Free some space and scan again.";
        case StoreFault::Corrupt:
            return where + " is damaged; press Scan on the start window to rebuild it.";
        case StoreFault::Io:
            return where + " could not be read or written: the disk reported an error.";
        case StoreFault::Sql:
            return where + " rejected a statement.";
        case StoreFault::Rebuilding:
            return "Another copy of Trovander is rebuilding the index database " + path +
                   "; wait until it has finished, then try again.";
        case StoreFault::AlreadyThere:
            return where + " is already there; it is left as it is. Remove it first to make a new one.";
    }
    return where + " failed.";
}

Statement::Statement(sqlite3* db, std::string_view sql, const std::string& path) : db_(db), path_(path) {
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &raw, nullptr);
    stmt_.reset(raw);
    if (rc != SQLITE_OK) throw StoreError(faultFromCode(rc), path_, sqlite3_errmsg(db));
}

void Statement::bindText(int index, std::string_view value) {
    // SQLITE_TRANSIENT: the engine copies, so a caller's temporary is safe. Bytes are kept as they are,
    // valid UTF-8 or not.
    const int rc =
        sqlite3_bind_text(stmt_.get(), index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throw StoreError(faultFromCode(rc), path_, sqlite3_errmsg(db_));
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_reset(stmt_.get());
    throw StoreError(faultFromCode(rc), path_, message);
}

void Statement::bindInt64(int index, int64_t value) {
    const int rc = sqlite3_bind_int64(stmt_.get(), index, value);
    if (rc != SQLITE_OK) throw StoreError(faultFromCode(rc), path_, sqlite3_errmsg(db_));
}

void Statement::reset() {
    sqlite3_reset(stmt_.get());
    sqlite3_clear_bindings(stmt_.get());
}

std::string_view Statement::columnName(int col) const {
    const char* name = sqlite3_column_name(stmt_.get(), col);
    return name ? std::string_view(name) : std::string_view();
}

std::string_view Statement::columnText(int col) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
    if (!text) return {};
    return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_.get(), col))};
}

void Connection::setCacheKiB(int kib) { execute(std::string(sql::kCacheSizeKiB) + std::to_string(kib)); }

void Connection::beginImmediate() { execute(sql::kBeginImmediate); }

void Connection::commit() { execute(sql::kCommit); }

bool Connection::rollback() noexcept {
    // The engine may have rolled back already (a full disk does that); then there is nothing to end.
    if (!inTransaction()) return true;
    return tryExecute(sql::kRollback) || !inTransaction();
}

void Connection::fail(int code) const {
    throw StoreError(faultFromCode(code), path_, db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(code));
}

void Connection::execute(std::string_view sql) {
    Statement stmt = prepare(sql);
    while (stmt.step()) {
    }
}

bool Connection::tryExecute(std::string_view sql) noexcept {
    try {
        execute(sql);
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

void Connection::removeStaleJournal() {
    const std::string journal = path_ + "-journal";
    if (!pathExists(journal)) return;
    // The read that proved the key has already rolled back a hot journal. One that is still there was cut
    // off before its header was written (a kill at the very start of a transaction) and means nothing; it
    // is safe to remove only while we hold the write lock, so that no other writer can own it.
    // A journal beside a writer that is at work is the usual case: try once and never wait for it.
    setBusyTimeout(0);
    if (tryExecute(sql::kBeginImmediate)) {
        if (pathExists(journal)) removeFile(journal);
        rollback();
    }
    setBusyTimeout(kBusyWaitMs);
}

Connection Connection::open(const std::string& path, std::string_view key, Mode mode) {
    Connection conn;
    conn.path_ = path;
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (mode == Mode::OpenExisting) {
        if (!exists) throw StoreError(StoreFault::Missing, path, std::strerror(errno));
        if (!S_ISREG(st.st_mode)) throw StoreError(StoreFault::NotAFile, path, {});
        if (!pathReadable(path)) throw StoreError(StoreFault::NotReadable, path, std::strerror(errno));
    } else if (exists) {
        throw StoreError(StoreFault::AlreadyThere, path, {});
    }

    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (mode == Mode::CreateNew ? SQLITE_OPEN_CREATE : 0);
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    conn.db_.reset(raw);
    if (rc != SQLITE_OK) conn.fail(rc);
    sqlite3_extended_result_codes(raw, 1);

    // The key goes in through the API right after opening, never through SQL text.
    rc = sqlite3_key(raw, key.data(), static_cast<int>(key.size()));
    if (rc != SQLITE_OK) conn.fail(rc);
    // 4 KiB cipher pages: a quarter of the per-page overhead of 1 KiB pages, and the page size SQLCipher 4
    // uses by default. It has to be given on every open, before the first read.
    conn.execute(sql::kCipherPageSize);
    conn.setBusyTimeout(kBusyWaitMs);

    // Prove the key with a read: a wrong password or a foreign file fails here, before anything is written.
    try {
        conn.execute(sql::kProveKey);
    } catch (const StoreError& e) {
        if (e.fault() == StoreFault::Sql) throw StoreError(StoreFault::WrongKey, path, e.detail());
        throw;
    }
    if (mode == Mode::OpenExisting && sqlite3_db_readonly(raw, "main") == 1)
        throw StoreError(StoreFault::ReadOnly, path, "opened read-only");
    conn.removeStaleJournal();

    // Without it the engine's own LIKE would match A to Z only, and a search for "é" would miss "É":
    // a connection that cannot have it is not opened.
    rc = registerFoldingLike(raw);
    if (rc != SQLITE_OK)
        throw StoreError(
            faultFromCode(rc), path,
            std::string("the case-folding LIKE could not be registered: ") + sqlite3_errmsg(raw));
    for (std::string_view pragma : sql::kConnectionPragmas) conn.execute(pragma);
    conn.setCacheKiB(kSearchCacheKiB);
    return conn;
}

}  // namespace trovander
