#include "app/IndexStore.h"

#include <QCoreApplication>
#include <QDir>

#include "app/EndProgram.h"

namespace trovander {

namespace {
constexpr std::string_view kSchema[] = {
    "CREATE TABLE tblFiles(FilePath TEXT NOT NULL, FileName TEXT NOT NULL, FileType TEXT NOT NULL)",
    "CREATE TABLE tblDated(Dated TEXT NOT NULL)",
};
}

IndexStore::IndexStore(Connection conn) : conn_(std::move(conn)) {
    insert_ = conn_.prepare(sql::kInsertFile);
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
        "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('tblFiles','tblDated')");
    if (!tables.step() || tables.columnText(0) != "2")
        throw StoreError(StoreFault::MissingTables, path, "tblFiles or tblDated is missing");
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
        return;
    }
    try {
        conn_.execute("COMMIT");
    } catch (const StoreError&) {
        // A failed commit leaves the transaction open; roll it back so the file keeps its last commit.
        sqlite3_exec(conn_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        inBatch_ = false;
        throw;
    }
    inBatch_ = false;
    batchRows_ = 0;
}

void IndexStore::deleteAllFiles() {
    beginBatch();
    conn_.execute(sql::kDeleteFiles);
}

void IndexStore::insertRecord(std::string_view folderPath, std::string_view name, EntryType type) {
    beginBatch();
    const char typeText[1] = {static_cast<char>(type)};
    insert_.reset();
    insert_.bindText(1, folderPath);
    insert_.bindText(2, name);
    insert_.bindText(3, std::string_view(typeText, 1));
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
