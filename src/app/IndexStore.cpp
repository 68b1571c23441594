#include "app/IndexStore.h"

#include <QCoreApplication>
#include <QDir>

#include "app/EndProgram.h"

namespace trovander {

namespace {
constexpr std::string_view kSchema[] = {
    "CREATE TABLE tblFolders(FolderId INTEGER PRIMARY KEY, FilePath TEXT NOT NULL)",
    "CREATE TABLE tblEntries(FileName TEXT NOT NULL, FileType TEXT NOT NULL, FolderId INTEGER NOT NULL)",
    // CROSS JOIN keeps the entries as the outer loop: a search scans names in the order they were written
    // and looks up the folder of a hit only.
    "CREATE VIEW tblFiles AS SELECT tblFolders.FilePath AS FilePath, tblEntries.FileName AS FileName, "
    "tblEntries.FileType AS FileType FROM tblEntries CROSS JOIN tblFolders "
    "ON tblFolders.FolderId = tblEntries.FolderId",
    "CREATE TABLE tblDated(Dated TEXT NOT NULL)",
};
}

IndexStore::IndexStore(Connection conn) : conn_(std::move(conn)) {
    insert_ = conn_.prepare(sql::kInsertFile);
    insertFolder_ = conn_.prepare(sql::kInsertFolder);
    registerCommitOnEnd(this, [this] { commitBatch(); });
}

IndexStore::~IndexStore() {
    unregisterCommitOnEnd(this);
    try {
        commitBatch();
    } catch (const StoreError&) {
        // The batch is rolled back with the connection; the committed index stays whole.
    }
}

std::string IndexStore::defaultPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromUtf8(kDatabaseFileName.data(),
                                                                                  kDatabaseFileName.size()))
        .toStdString();
}

std::unique_ptr<IndexStore> IndexStore::open(const std::string& path) {
    Connection conn = Connection::open(path, kDatabasePassword, Connection::Mode::OpenExisting);
    auto tables = conn.prepare(
        "SELECT count(*) FROM sqlite_master WHERE (type='table' AND name IN ('tblFolders','tblEntries','tblDated')) "
        "OR (type='view' AND name='tblFiles')");
    if (!tables.step() || tables.columnText(0) != "4")
        throw StoreError(StoreFault::MissingTables, path, "tblFiles, tblFolders, tblEntries or tblDated is missing");
    return std::unique_ptr<IndexStore>(new IndexStore(std::move(conn)));
}

void IndexStore::createEmpty(const std::string& path) {
    Connection conn = Connection::open(path, kDatabasePassword, Connection::Mode::CreateNew);
    conn.execute("BEGIN");
    for (std::string_view stmt : kSchema) conn.execute(stmt);
    conn.execute("COMMIT");
}

RecordSet IndexStore::OpenQuery(std::string_view sqlText, std::initializer_list<std::string_view> values) {
    Statement stmt = conn_.prepare(sqlText);
    int index = 1;
    for (std::string_view v : values) stmt.bindText(index++, v);
    return RecordSet::readAll(stmt);
}

void IndexStore::beginBatch() {
    if (inBatch_) return;
    conn_.execute("BEGIN");
    inBatch_ = true;
    batchRows_ = 0;
}

void IndexStore::commitBatch() {
    if (!inBatch_) return;
    if (sqlite3_get_autocommit(conn_.handle())) {
        // The engine rolled the batch back itself (a full disk does that); nothing is left to commit.
        inBatch_ = false;
        forgetFolders();
        return;
    }
    try {
        conn_.execute("COMMIT");
    } catch (const StoreError&) {
        // A failed commit leaves the transaction open; roll it back so the file keeps its last commit.
        sqlite3_exec(conn_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        inBatch_ = false;
        forgetFolders();
        throw;
    }
    inBatch_ = false;
    batchRows_ = 0;
}

void IndexStore::forgetFolders() {
    folderIds_.clear();
    lastFolderId_ = -1;
    lastFolderPath_.clear();
    lastFolderPathId_ = 0;
}

void IndexStore::deleteAllFiles() {
    beginBatch();
    for (std::string_view stmt : sql::kDeleteFiles) conn_.execute(stmt);
    forgetFolders();
    lastFolderId_ = 0;
}

int64_t IndexStore::folderId(std::string_view folderPath) {
    // A walk writes a folder's entries together, so the last path answers most calls.
    if (lastFolderPathId_ != 0 && folderPath == lastFolderPath_) return lastFolderPathId_;
    std::string key(folderPath);
    auto it = folderIds_.find(key);
    int64_t id;
    if (it != folderIds_.end()) {
        id = it->second;
    } else {
        if (lastFolderId_ < 0) {
            RecordSet max = OpenQuery("SELECT coalesce(max(FolderId), 0) FROM tblFolders");
            lastFolderId_ = std::stoll(std::string(max.value(0, 0)));
        }
        id = ++lastFolderId_;
        insertFolder_.reset();
        sqlite3_bind_int64(insertFolder_.handle(), 1, id);
        insertFolder_.bindText(2, folderPath);
        insertFolder_.step();
        folderIds_.emplace(key, id);
    }
    lastFolderPath_ = std::move(key);
    lastFolderPathId_ = id;
    return id;
}

void IndexStore::insertRecord(std::string_view folderPath, std::string_view name, EntryType type) {
    beginBatch();
    const int64_t folder = folderId(folderPath);
    const char typeText[1] = {static_cast<char>(type)};
    insert_.reset();
    insert_.bindText(1, name);
    insert_.bindText(2, std::string_view(typeText, 1));
    sqlite3_bind_int64(insert_.handle(), 3, folder);
    insert_.step();
    ++batchRows_;
}

void IndexStore::folderBoundary() {
    if (inBatch_ && batchRows_ >= kBatchRows) commitBatch();
}

void IndexStore::insertStamp(std::string_view stamp) {
    commitBatch();
    Statement stmt = conn_.prepare(sql::kInsertStamp);
    stmt.bindText(1, stamp);
    stmt.step();
}

RecordSet IndexStore::searchFiles(std::string_view pattern) {
    std::string like;
    like.reserve(pattern.size() + 2);
    like.append("%").append(pattern).append("%");
    return OpenQuery(sql::kSearchFiles, {like});
}

void IndexStore::searchFilesEach(std::string_view pattern, const std::function<void(const Statement&)>& row) {
    std::string like;
    like.reserve(pattern.size() + 2);
    like.append("%").append(pattern).append("%");
    Statement stmt = conn_.prepare(sql::kSearchFiles);
    stmt.bindText(1, like);
    while (stmt.step()) row(stmt);
}

}  // namespace trovander
