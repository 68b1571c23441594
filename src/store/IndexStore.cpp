#include "store/IndexStore.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/RebuildLock.h"
#include "store/NameTable.h"

namespace trovander {

namespace {
// How long the first write of a rebuild waits for another program's write lock: long enough for a
// start-up's brief check of the journal, short enough that a held lock is reported at once.
constexpr int kRebuildStartWaitMs = 250;

StoreError rebuildLockError(const std::string& path, const RebuildLock::Attempt& attempt) {
    if (attempt.outcome == RebuildLock::Outcome::HeldElsewhere)
        return StoreError(StoreFault::Rebuilding, path, {});
    return StoreError(
        attempt.error == EROFS || attempt.error == EACCES ? StoreFault::ReadOnly : StoreFault::NotReadable,
        path, std::strerror(attempt.error));
}
}  // namespace

// The insert statements are prepared by beginRebuild, once the tables they write exist. Without the
// table of names, statement 6 reads the stored view: slower, never different.
IndexStore::IndexStore(Connection conn)
    : conn_(std::move(conn)), names_(std::make_unique<NameTable>(conn_.path())) {
    names_->attach(conn_);
}

IndexStore::~IndexStore() {
    if (rebuilding()) {
        abandonRebuild();
        return;
    }
    try {
        commitBatch();
    } catch (const StoreError&) {
        // The batch is rolled back with the connection; the committed index stays whole.
    }
}

std::unique_ptr<IndexStore> IndexStore::open(const std::string& path) {
    Connection conn = Connection::open(path, kDatabasePassword, Connection::Mode::OpenExisting);
    auto tables = conn.prepare(sql::kCountTables);
    if (!tables.step() || tables.columnText(0) != sql::kTableCount)
        throw StoreError(StoreFault::MissingTables, path,
                         "tblFiles, tblFolders, tblEntries or tblDated is missing");
    tables = Statement();
    std::unique_ptr<IndexStore> store(new IndexStore(std::move(conn)));
    store->dropLeftoverRebuild();
    return store;
}

void IndexStore::createEmpty(const std::string& path, std::string_view key) {
    Connection conn = Connection::open(path, key, Connection::Mode::CreateNew);
    conn.execute(sql::kBegin);
    for (std::string_view stmt : sql::kSchema) conn.execute(stmt);
    conn.commit();
}

Connection IndexStore::holdWriteLock(const std::string& path, bool exclusive) {
    Connection conn = Connection::open(path, kDatabasePassword, Connection::Mode::OpenExisting);
    if (exclusive) {
        conn.execute(sql::kBeginExclusive);
    } else {
        conn.beginImmediate();
        conn.execute(sql::kPendingEntry);
    }
    return conn;
}

std::string IndexStore::integrityCheck() {
    RecordSet check = OpenQuery(sql::kIntegrityCheck);
    return std::string(check.value(0, 0));
}

void IndexStore::dropTable(Table table) {
    commitBatch();
    conn_.execute(table == Table::Entries ? sql::kDropEntries : sql::kDropStamps);
}

RecordSet IndexStore::OpenQuery(std::string_view sqlText, std::initializer_list<std::string_view> values) {
    Statement stmt = conn_.prepare(sqlText);
    int index = 1;
    for (std::string_view v : values) stmt.bindText(index++, v);
    return RecordSet::readAll(stmt);
}

void IndexStore::beginBatch() {
    if (inBatch_) return;
    conn_.beginImmediate();
    names_->changed();
    inBatch_ = true;
    batchRows_ = 0;
    batchBytes_ = 0;
}

void IndexStore::rollbackBatch() noexcept {
    if (!inBatch_) return;
    inBatch_ = false;
    batchRows_ = 0;
    conn_.rollback();
}

void IndexStore::commitBatch() {
    if (!inBatch_) return;
    if (!conn_.inTransaction()) {
        // The engine rolled the batch back itself (a full disk does that): what it held is lost.
        inBatch_ = false;
        throw StoreError(StoreFault::Io, path(), "the open batch was rolled back");
    }
    try {
        conn_.commit();
    } catch (const StoreError&) {
        // A failed commit leaves the transaction open; roll it back so the file keeps its last commit.
        rollbackBatch();
        throw;
    }
    inBatch_ = false;
    batchRows_ = 0;
}

void IndexStore::beginRebuild() {
    if (rebuilding()) throw StoreError(StoreFault::Rebuilding, path(), "a rebuild is already running here");
    commitBatch();
    RebuildLock::Attempt attempt = RebuildLock::tryAcquire(path());
    if (!attempt.lock) throw rebuildLockError(path(), attempt);
    rebuildLock_ = std::move(attempt.lock);
    try {
        conn_.setCacheKiB(kRebuildCacheKiB);
        conn_.setBusyTimeout(kRebuildStartWaitMs);
        beginBatch();
        conn_.setBusyTimeout(kBusyWaitMs);
        for (std::string_view stmt : sql::kNewTables) conn_.execute(stmt);
        // The statements were prepared against the schema before these tables; prepare them anew.
        insert_ = conn_.prepare(sql::kInsertFile);
        insertFolder_ = conn_.prepare(sql::kInsertFolder);
    } catch (const StoreError&) {
        conn_.setBusyTimeout(kBusyWaitMs);
        abandonRebuild();
        throw;
    }
}

void IndexStore::addFolder(int64_t folderId, std::string_view folderPath) {
    beginBatch();
    insertFolder_.reset();
    insertFolder_.bindInt64(1, folderId);
    insertFolder_.bindText(2, folderPath);
    insertFolder_.step();
    countInBatch(folderPath.size());
}

void IndexStore::addEntry(int64_t folderId, std::string_view name, EntryType type) {
    beginBatch();
    const char typeText[1] = {static_cast<char>(type)};
    insert_.reset();
    insert_.bindText(1, name);
    insert_.bindText(2, std::string_view(typeText, 1));
    insert_.bindInt64(3, folderId);
    insert_.step();
    countInBatch(name.size());
}

void IndexStore::countInBatch(size_t bytes) {
    ++batchRows_;
    batchBytes_ += bytes;
    if (batchRows_ >= kBatchRows || batchBytes_ >= kBatchBytes) commitBatch();
}

void IndexStore::finishRebuild(std::string_view stamp) {
    if (!rebuilding()) throw StoreError(StoreFault::Sql, path(), "no rebuild is running");
    try {
        // The rebuild's tables are committed on their own first: a swap that fails on a damaged page of
        // the live tables is rolled back by the engine, and the new tables must outlive that.
        commitBatch();
        beginBatch();
        for (std::string_view stmt : sql::kReplaceTables) conn_.execute(stmt);
        conn_.execute(sql::kCreateView);
        Statement stmt = conn_.prepare(sql::kInsertStamp);
        stmt.bindText(1, stamp);
        stmt.step();
        commitBatch();
    } catch (const StoreError& e) {
        if (e.fault() != StoreFault::Corrupt) {
            abandonRebuild();
            throw;
        }
        rollbackBatch();
        try {
            replaceDamagedFile(stamp);
        } catch (const StoreError&) {
            abandonRebuild();
            throw;
        }
    }
    insert_ = Statement();
    insertFolder_ = Statement();
    rebuildLock_.reset();
    restoreSearchCache();
    names_->reloadIfWanted(conn_);
}

void IndexStore::restoreSearchCache() noexcept {
    try {
        conn_.setCacheKiB(kSearchCacheKiB);
    } catch (const StoreError&) {
        // Searches then read more of the file again; nothing is wrong with the index.
    }
}

// Copies every row of a query on one connection into an insert on another, column by column as text or
// integer; names stay the bytes they are.
void IndexStore::copyRows(Connection& from, std::string_view select, Connection& to,
                          std::string_view insert) {
    Statement read = from.prepare(select);
    Statement write = to.prepare(insert);
    while (read.step()) {
        write.reset();
        for (int c = 0; c < read.columnCount(); ++c) {
            if (read.columnIsInteger(c))
                write.bindInt64(c + 1, read.columnInt64(c));
            else
                write.bindText(c + 1, read.columnText(c));
        }
        write.step();
    }
}

void IndexStore::replaceDamagedFile(std::string_view stamp) {
    const std::string live = path(), fresh = freshPath();
    std::error_code ignored;
    std::filesystem::remove(fresh, ignored);
    try {
        createEmpty(fresh);
        Connection target = Connection::open(fresh, kDatabasePassword, Connection::Mode::OpenExisting);
        target.beginImmediate();
        copyRows(conn_, sql::kReadNewFolders, target, sql::kInsertLiveFolder);
        copyRows(conn_, sql::kReadNewEntries, target, sql::kInsertLiveEntry);
        try {
            copyRows(conn_, sql::kReadStamps, target, sql::kInsertStamp);
        } catch (const StoreError&) {
            // The earlier stamps are lost with the damage; the new one below says the index is current.
        }
        Statement add = target.prepare(sql::kInsertStamp);
        add.bindText(1, stamp);
        add.step();
        add = Statement();
        target.commit();
    } catch (const StoreError&) {
        std::filesystem::remove(fresh, ignored);
        throw;
    }
    // Closed before the rename: a file that is open cannot be replaced on every system.
    insert_ = Statement();
    insertFolder_ = Statement();
    { Connection closing = std::move(conn_); }
    std::error_code renamed;
    std::filesystem::rename(fresh, live, renamed);
    if (renamed) std::filesystem::remove(fresh, ignored);
    conn_ = Connection::open(live, kDatabasePassword, Connection::Mode::OpenExisting);
    names_->changed();
    names_->attach(conn_);
    if (renamed)
        throw StoreError(StoreFault::Corrupt, live, "it could not be replaced: " + renamed.message());
}

void IndexStore::abandonRebuild() noexcept {
    rollbackBatch();
    insert_ = Statement();
    insertFolder_ = Statement();
    if (rebuilding()) {
        // Best effort, and brief: the tables of a rebuild that did not get through are dropped while the
        // lock is ours; if another program holds the file, or the disk is full, the next rebuild or open
        // drops them.
        dropRebuildTables(kRebuildStartWaitMs);
        restoreSearchCache();
    }
    rebuildLock_.reset();
}

void IndexStore::dropLeftoverRebuild() noexcept {
    // A rebuild that was killed left its tables behind. Drop them only while no rebuild runs, and never
    // wait for it: a start-up is not held up by this.
    if (!hasRebuildTables()) return;
    RebuildLock::Attempt attempt = RebuildLock::tryAcquire(path());
    if (!attempt.lock) return;
    std::error_code ignored;
    std::filesystem::remove(freshPath(), ignored);
    dropRebuildTables(/*waitMs=*/0);
}

bool IndexStore::hasRebuildTables() noexcept {
    try {
        RecordSet left = OpenQuery(sql::kCountNewTables);
        return left.rowCount() == 1 && left.value(0, 0) != "0";
    } catch (const StoreError&) {
        return false;
    }
}

void IndexStore::dropRebuildTables(int waitMs) noexcept {
    conn_.setBusyTimeout(waitMs);
    // A rebuild that never got its first write has none.
    if (hasRebuildTables() && conn_.tryExecute(sql::kBeginImmediate)) {
        bool dropped = true;
        for (size_t i = 0; i < 2; ++i) dropped = dropped && conn_.tryExecute(sql::kNewTables[i]);
        if (!(dropped && conn_.tryExecute(sql::kCommit))) conn_.rollback();
    }
    conn_.setBusyTimeout(kBusyWaitMs);
}

void IndexStore::insertRecord(std::string_view folderPath, std::string_view name, EntryType type) {
    if (rebuilding()) throw StoreError(StoreFault::Sql, path(), "insertRecord during a rebuild");
    beginBatch();
    Statement find = conn_.prepare(sql::kFindFolder);
    find.bindText(1, folderPath);
    int64_t folder = 0;
    if (find.step()) {
        folder = find.columnInt64(0);
    } else {
        Statement max = conn_.prepare(sql::kNextFolderId);
        max.step();
        folder = max.columnInt64(0);
        Statement add = conn_.prepare(sql::kInsertLiveFolder);
        add.bindInt64(1, folder);
        add.bindText(2, folderPath);
        add.step();
    }
    Statement add = conn_.prepare(sql::kInsertLiveEntry);
    const char typeText[1] = {static_cast<char>(type)};
    add.bindText(1, name);
    add.bindText(2, std::string_view(typeText, 1));
    add.bindInt64(3, folder);
    add.step();
}

void IndexStore::insertStamp(std::string_view stamp) {
    commitBatch();
    Statement stmt = conn_.prepare(sql::kInsertStamp);
    stmt.bindText(1, stamp);
    stmt.step();
}
void IndexStore::searchFilesEach(std::string_view pattern, const std::function<void(const Statement&)>& row) {
    std::string like;
    like.reserve(pattern.size() + 2);
    like.append("%").append(pattern).append("%");
    Statement stmt = conn_.prepare(sql::kSearchFiles);
    stmt.bindText(1, like);
    while (stmt.step()) row(stmt);
}

void IndexStore::loadNames() { names_->load(conn_); }

bool IndexStore::namesLoaded() const { return names_->loaded(); }

size_t IndexStore::namesBytes() const { return names_->bytes(); }

uint64_t IndexStore::namesAnswered() const { return names_->answered(); }

}  // namespace trovander
