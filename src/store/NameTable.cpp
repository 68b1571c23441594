#include "store/NameTable.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "store/IndexStore.h"
#include "store/NameArena.h"
#include "store/Sqlite.h"

namespace trovander {

namespace {
// The loader reads each page once, in order: a small cache of its own is enough.
constexpr int kLoaderCacheKiB = 2 * 1024;

// The file's data version as this connection sees it now; -1 when it cannot be read.
int64_t dataVersion(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    int64_t version = -1;
    if (sqlite3_prepare_v2(db, sql::kDataVersion.data(), static_cast<int>(sql::kDataVersion.size()), &stmt,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return version;
}
}  // namespace

struct NameTable::State {
    explicit State(std::string p) : path(std::move(p)) {}
    ~State() { stop(); }

    // The arena, when it stands for what db reads now; else none, and a read is started when one is due.
    std::shared_ptr<const NameArena> current(sqlite3* db);
    void startLoad(int64_t version, uint64_t generation);
    void run(int64_t version, uint64_t generation);
    void stop();

    const std::string path;
    std::atomic<uint64_t> generation{1};
    std::atomic<uint64_t> answered{0};
    std::atomic<bool> cancel{false};

    mutable std::mutex mutex;  // guards what follows
    std::shared_ptr<const NameArena> arena;
    int64_t arenaVersion = -1;
    uint64_t arenaGeneration = 0;
    // The last read started, so that tables the arena cannot stand for are not read again and again.
    int64_t triedVersion = -1;
    uint64_t triedGeneration = 0;
    bool wanted = false, loading = false, finished = false, stopped = false;
    sqlite3* loaderDb = nullptr;
    std::thread loader;
};

std::shared_ptr<const NameArena> NameTable::State::current(sqlite3* db) {
    // What this connection has written and not committed is in the view, not in the arena.
    if (sqlite3_get_autocommit(db) == 0) return nullptr;
    const uint64_t gen = generation.load();
    const int64_t version = dataVersion(db);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (arena && version >= 0 && arenaVersion == version && arenaGeneration == gen) return arena;
        // Stale names go at once: the searches still reading them keep their own hold on them.
        arena.reset();
        if (!wanted || version < 0 || (triedVersion == version && triedGeneration == gen)) return nullptr;
    }
    startLoad(version, gen);
    return nullptr;
}

void NameTable::State::startLoad(int64_t version, uint64_t gen) {
    std::lock_guard<std::mutex> lock(mutex);
    if (loading || stopped) return;
    // A loader that is not loading has returned; joining it does not wait.
    if (loader.joinable()) loader.join();
    loading = true;
    triedVersion = version;
    triedGeneration = gen;
    cancel = false;
    loader = std::thread([this, version, gen] { run(version, gen); });
}

void NameTable::State::run(int64_t version, uint64_t gen) {
    std::shared_ptr<const NameArena> loaded;
    try {
        Connection conn = Connection::open(path, kDatabasePassword, Connection::Mode::OpenExisting);
        {
            std::lock_guard<std::mutex> lock(mutex);
            loaderDb = handleOf(conn);
        }
        struct Forget {
            State& state;
            ~Forget() {
                std::lock_guard<std::mutex> lock(state.mutex);
                state.loaderDb = nullptr;
            }
        } forget{*this};
        conn.setCacheKiB(kLoaderCacheKiB);
        loaded = NameArena::load(conn, cancel);
    } catch (const std::exception&) {
        // Not read (locked, damaged, out of memory): searches go to the tables, which say what is wrong.
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (!cancel) {
        arena = std::move(loaded);
        arenaVersion = version;
        arenaGeneration = gen;
    }
    loading = false;
    finished = true;
}

void NameTable::State::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
        cancel = true;
        if (loaderDb) sqlite3_interrupt(loaderDb);
    }
    if (loader.joinable()) loader.join();
}

namespace {

using StatePtr = std::shared_ptr<NameTable::State>;

struct Table : sqlite3_vtab {
    StatePtr state;
    sqlite3* db = nullptr;
};

struct Cursor : sqlite3_vtab_cursor {
    std::shared_ptr<const NameArena> arena;
    std::vector<uint32_t> hits;
    bool all = false;  // every entry, without a LIKE to take
    size_t pos = 0;
    sqlite3_stmt* stored = nullptr;  // the stored view, when the arena does not answer
    bool storedRow = false;

    void clear() {
        arena.reset();
        hits.clear();
        all = false;
        pos = 0;
        sqlite3_finalize(stored);
        stored = nullptr;
        storedRow = false;
    }
    size_t entry() const { return all ? pos : hits[pos]; }
    size_t count() const { return all ? arena->size() : hits.size(); }
};

constexpr int kColumnPath = 0, kColumnName = 1, kColumnType = 2;
constexpr int kByName = 1;  // idxNum: the LIKE on FileName is ours, its pattern in argv[0]

int setError(sqlite3_vtab* vtab, sqlite3* db, int rc) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", sqlite3_errmsg(db));
    return rc;
}

int xConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(FilePath TEXT, FileName TEXT, FileType TEXT)");
    if (rc != SQLITE_OK) return rc;
    auto* table = new (std::nothrow) Table();
    if (!table) return SQLITE_NOMEM;
    table->state = *static_cast<StatePtr*>(aux);
    table->db = db;
    *out = table;
    return SQLITE_OK;
}

int xDisconnect(sqlite3_vtab* vtab) {
    delete static_cast<Table*>(vtab);
    return SQLITE_OK;
}

int xBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->idxNum = 0;
    info->estimatedCost = 1e7;
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto& c = info->aConstraint[i];
        if (!c.usable || c.op != SQLITE_INDEX_CONSTRAINT_LIKE || c.iColumn != kColumnName) continue;
        info->aConstraintUsage[i].argvIndex = 1;
        info->aConstraintUsage[i].omit = 1;
        info->idxNum = kByName;
        info->estimatedCost = 1e4;
        break;
    }
    return SQLITE_OK;
}

int xOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    auto* cursor = new (std::nothrow) Cursor();
    if (!cursor) return SQLITE_NOMEM;
    *out = cursor;
    return SQLITE_OK;
}

int xClose(sqlite3_vtab_cursor* cur) {
    auto* cursor = static_cast<Cursor*>(cur);
    cursor->clear();
    delete cursor;
    return SQLITE_OK;
}

int stepStored(Cursor* cursor, Table* table) {
    const int rc = sqlite3_step(cursor->stored);
    cursor->storedRow = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return SQLITE_OK;
    return setError(table, table->db, rc);
}

int xFilter(sqlite3_vtab_cursor* cur, int idxNum, const char*, int argc, sqlite3_value** argv) {
    auto* cursor = static_cast<Cursor*>(cur);
    auto* table = static_cast<Table*>(cur->pVtab);
    cursor->clear();
    const bool byName = idxNum == kByName && argc >= 1;
    // NULL LIKE anything is not true: no rows, as the view gives.
    if (byName && sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        cursor->all = false;
        return SQLITE_OK;
    }
    try {
        cursor->arena = table->state->current(table->db);
    } catch (const std::exception&) {
        // No thread for a new read: the stored view answers.
        cursor->arena.reset();
    }
    try {
        if (cursor->arena) {
            if (byName) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
                const std::string_view pattern(text ? text : "",
                                               static_cast<size_t>(sqlite3_value_bytes(argv[0])));
                cursor->hits = cursor->arena->match(pattern);
            } else {
                cursor->all = true;
            }
            table->state->answered.fetch_add(1);
            return SQLITE_OK;
        }
    } catch (const std::bad_alloc&) {
        cursor->clear();
        return SQLITE_NOMEM;
    }
    const std::string_view sql = byName ? sql::kSearchStoredView : sql::kReadStoredView;
    int rc =
        sqlite3_prepare_v2(table->db, sql.data(), static_cast<int>(sql.size()), &cursor->stored, nullptr);
    if (rc == SQLITE_OK && byName) rc = sqlite3_bind_value(cursor->stored, 1, argv[0]);
    if (rc != SQLITE_OK) return setError(table, table->db, rc);
    return stepStored(cursor, table);
}

int xNext(sqlite3_vtab_cursor* cur) {
    auto* cursor = static_cast<Cursor*>(cur);
    if (cursor->stored) return stepStored(cursor, static_cast<Table*>(cur->pVtab));
    ++cursor->pos;
    return SQLITE_OK;
}

int xEof(sqlite3_vtab_cursor* cur) {
    auto* cursor = static_cast<Cursor*>(cur);
    if (cursor->stored) return cursor->storedRow ? 0 : 1;
    return !cursor->arena || cursor->pos >= cursor->count();
}

int xColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int column) {
    auto* cursor = static_cast<Cursor*>(cur);
    if (cursor->stored) {
        sqlite3_result_value(ctx, sqlite3_column_value(cursor->stored, column));
        return SQLITE_OK;
    }
    const NameArena& arena = *cursor->arena;
    const size_t e = cursor->entry();
    // The arena outlives the cursor's rows: the engine may point at its bytes. Every text there is ended
    // by a NUL and holds none (the arena refuses such names), so it is given as NUL-ended (-1): the engine
    // then hands it on without copying it to add a NUL of its own.
    const char* text = "";
    if (column == kColumnPath)
        text = arena.folderPath(e).data();
    else if (column == kColumnName)
        text = arena.name(e).data();
    else if (column == kColumnType)
        text = arena.isFolder(e) ? "1" : "0";
    sqlite3_result_text(ctx, text, -1, SQLITE_STATIC);
    return SQLITE_OK;
}

int xRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* rowid) {
    auto* cursor = static_cast<Cursor*>(cur);
    *rowid = cursor->stored ? 0 : static_cast<sqlite3_int64>(cursor->entry()) + 1;
    return SQLITE_OK;
}

// Read-only: without xUpdate every write to the table is refused by the engine.
sqlite3_module makeModule() {
    sqlite3_module m{};
    m.iVersion = 0;
    m.xCreate = xConnect;
    m.xConnect = xConnect;
    m.xBestIndex = xBestIndex;
    m.xDisconnect = xDisconnect;
    m.xDestroy = xDisconnect;
    m.xOpen = xOpen;
    m.xClose = xClose;
    m.xFilter = xFilter;
    m.xNext = xNext;
    m.xEof = xEof;
    m.xColumn = xColumn;
    m.xRowid = xRowid;
    return m;
}
const sqlite3_module kModule = makeModule();

}  // namespace

NameTable::NameTable(std::string path) : state_(std::make_shared<State>(std::move(path))) {}

NameTable::~NameTable() { state_->stop(); }

bool NameTable::attach(Connection& conn) noexcept {
    auto* aux = new (std::nothrow) StatePtr(state_);
    if (!aux) return false;
    const int rc = sqlite3_create_module_v2(handleOf(conn), "trovander_names", &kModule, aux,
                                            [](void* p) { delete static_cast<StatePtr*>(p); });
    if (rc != SQLITE_OK) return false;
    return conn.tryExecute(sql::kCreateNameTable);
}

void NameTable::changed() noexcept { state_->generation.fetch_add(1); }

void NameTable::load(Connection& conn) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->wanted = true;
    }
    reloadIfWanted(conn);
}

void NameTable::reloadIfWanted(Connection& conn) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (!state_->wanted) return;
    }
    state_->startLoad(dataVersion(handleOf(conn)), state_->generation.load());
}

bool NameTable::loaded() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->finished && !state_->loading;
}

size_t NameTable::bytes() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->arena ? state_->arena->bytes() : 0;
}

uint64_t NameTable::answered() const { return state_->answered.load(); }

}  // namespace trovander
