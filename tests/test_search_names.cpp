// Statement 6 answered from the names in memory: the same rows in the same order as the stored view, for
// every pattern and every name, and never a stale answer after the index has changed.
#include <QRandomGenerator>
#include <QtTest>
#include <tuple>

#include "search/Search.h"
#include "store/FoldingLike.h"
#include "store/IndexStore.h"
#include "store/Sqlite.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::TempIndex;

namespace {

using Rows = std::vector<std::tuple<std::string, std::string, std::string>>;

// Names the folding must get right, and names no file system would give but an index may hold.
const std::vector<std::string> kHostileNames = {"README.md",
                                                "readme.txt",
                                                "über.txt",
                                                "ÜBER.TXT",
                                                "Straße.doc",
                                                "STRASSE",
                                                "ẞ",
                                                "ß",
                                                "\u212Aelvin",
                                                "kelvin",
                                                "don't \"panic\".txt",
                                                "a_c.txt",
                                                "abc.txt",
                                                "100%.txt",
                                                "percent%under_score",
                                                "tab\there",
                                                "line\nbreak",
                                                "e\u0301",
                                                "ǅ",
                                                "İstanbul",
                                                "ΟΔΟΣ",
                                                "οδος",
                                                "日本語.txt",
                                                "\xff\xfe raw bytes",
                                                "half \xc3",
                                                "\xc3\x28 invalid",
                                                "\xe2\x82 cut",
                                                "",
                                                ".profile",
                                                "setup.exe",
                                                "setup.exe.bak",
                                                "x.executable"};

// A plain SQLCipher client of the file with the key and the store's LIKE, as any other program could
// open it: the oracle for what the stored view holds, and a writer of rows the store never writes.
class PlainClient {
  public:
    explicit PlainClient(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_key(db_, kDatabasePassword.data(), int(kDatabasePassword.size()));
        exec("PRAGMA cipher_page_size = 4096");
        sqlite3_busy_timeout(db_, 5000);
        registerFoldingLike(db_);
    }
    ~PlainClient() { sqlite3_close_v2(db_); }
    PlainClient(const PlainClient&) = delete;
    PlainClient& operator=(const PlainClient&) = delete;

    bool exec(const std::string& sqlText) {
        return sqlite3_exec(db_, sqlText.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // Every row of the query as texts, the pattern bound to ?1 when given.
    std::vector<std::vector<std::string>> rows(const std::string& sqlText,
                                               const std::string* like = nullptr) {
        std::vector<std::vector<std::string>> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sqlText.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return out;
        if (like) sqlite3_bind_text(stmt, 1, like->data(), int(like->size()), SQLITE_TRANSIENT);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                row.emplace_back(text ? text : "", size_t(sqlite3_column_bytes(stmt, c)));
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return out;
    }

  private:
    sqlite3* db_ = nullptr;
};

// What the stored view gives for statement 6's pattern, in its order, read by a client of its own.
Rows viewRows(PlainClient& client, std::string_view pattern) {
    const std::string like = "%" + std::string(pattern) + "%";
    Rows rows;
    for (const auto& r :
         client.rows("SELECT FilePath, FileName, FileType FROM tblFiles WHERE FileName LIKE ?1", &like))
        rows.emplace_back(r[0], r[1], r[2]);
    return rows;
}

// Statement 6 through the store, as a search sends it.
Rows statement6(IndexStore& store, std::string_view pattern) {
    Rows rows;
    store.searchFilesEach(pattern, [&](const Statement& row) {
        rows.emplace_back(row.columnText(0), row.columnText(1), row.columnText(2));
    });
    return rows;
}

std::vector<std::string> names(const Rows& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(std::get<1>(r));
    return out;
}

bool waitForNames(IndexStore& store) {
    QElapsedTimer clock;
    clock.start();
    while (!store.namesLoaded() && clock.elapsed() < 20000) QTest::qWait(5);
    return store.namesLoaded();
}

// Random LIKE patterns over an alphabet of letters in both cases, wildcards, folding traps and raw bytes.
std::string randomPattern(QRandomGenerator& rng) {
    static const std::vector<std::string> pieces = {
        "a",  "A", "b",  "c",    "e",    "E",  "r",  "R",  "t",     "T",   "x",   ".",      " ", "'",
        "\"", "%", "%",  "_",    "ü",    "Ü",  "ß",  "ẞ",  "ss",    "k",   "K",   "\u212A", "é", "\u0301",
        "ο",  "Σ", "日", "\xff", "\xc3", "\n", "\t", "me", "setup", "exe", "100", "_c"};
    std::string p = rng.bounded(3) == 0 ? "" : "%";
    const int length = int(rng.bounded(5));
    for (int i = 0; i < length; ++i) p += pieces[rng.bounded(quint32(pieces.size()))];
    if (rng.bounded(3) != 0) p += "%";
    return p;
}

}  // namespace

class TestSearchNames : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Many folders, hostile names among plain ones, enough bytes that the scan runs on every core.
    void sameRowsAsTheStoredView() {
        TempIndex index;
        IndexStore& store = index.store();
        store.beginRebuild();
        int64_t folder = 0;
        for (int i = 0; i < 130000; ++i) {
            if (i % 40 == 0) {
                ++folder;
                store.addFolder(folder, "/data/" + std::to_string(folder) + "/sub'dir");
            }
            const std::string plain = (i % 7 ? "Report " : "notes_") + std::to_string(i) + ".txt";
            const std::string& name =
                i % 97 == 0 ? kHostileNames[size_t(i / 97) % kHostileNames.size()] : plain;
            store.addEntry(folder, name, i % 11 == 0 ? EntryType::Folder : EntryType::File);
        }
        store.finishRebuild("2026-12-10T10:00:00");
        store.loadNames();
        QVERIFY(waitForNames(store));
        QVERIFY(store.namesBytes() > 0);

        PlainClient plain(index.path());
        const quint32 seed = QRandomGenerator::system()->generate();
        QRandomGenerator rng(seed);
        // Statement 6 puts "%" around each; some hold "%" and "_" of their own.
        std::vector<std::string> patterns = {"",     "%",      "report", "REPORT 1", "_",    "\u212A",
                                             "k",    "ss",     "ß",      "ẞ",        "\xc3", "\xff\xfe",
                                             ".txt", "notes_", "t_t",    "\n",       "'dir", "r%t 1_.t"};
        for (int i = 0; i < 40; ++i) patterns.push_back(randomPattern(rng));
        const uint64_t before = store.namesAnswered();
        for (const std::string& p : patterns) {
            const Rows got = statement6(store, p), expected = viewRows(plain, p);
            QVERIFY2(got == expected, qPrintable(QString("seed %1, pattern \"%2\": %3 rows, the view has %4")
                                                     .arg(seed)
                                                     .arg(QString::fromUtf8(p.c_str()))
                                                     .arg(got.size())
                                                     .arg(expected.size())));
        }
        QCOMPARE(store.namesAnswered() - before, uint64_t(patterns.size()));
    }

    // The hostile names alone, one folder each, under thousands of random patterns.
    void fuzzAgainstTheStoredView() {
        TempIndex index;
        IndexStore& store = index.store();
        for (size_t i = 0; i < kHostileNames.size(); ++i) {
            store.insertRecord("/f" + std::to_string(i % 5), kHostileNames[i],
                               i % 4 ? EntryType::File : EntryType::Folder);
        }
        store.commitBatch();
        store.loadNames();
        QVERIFY(waitForNames(store));
        PlainClient plain(index.path());
        const quint32 seed = QRandomGenerator::system()->generate();
        QRandomGenerator rng(seed);
        const uint64_t before = store.namesAnswered();
        for (int round = 0; round < 3000; ++round) {
            const std::string p = randomPattern(rng);
            QVERIFY2(
                statement6(store, p) == viewRows(plain, p),
                qPrintable(QString("seed %1, pattern \"%2\"").arg(seed).arg(QString::fromUtf8(p.c_str()))));
        }
        QCOMPARE(store.namesAnswered() - before, uint64_t(3000));
    }

    // After every kind of change the answer is the index as it is now, and the names are read again.
    void changesAreSeenAtOnce_data() {
        QTest::addColumn<int>("change");
        QTest::newRow("this store adds a record") << 0;
        QTest::newRow("another store adds a record") << 1;
        QTest::newRow("this store holds an open batch") << 2;
        QTest::newRow("this store rebuilds") << 3;
        QTest::newRow("another store rebuilds") << 4;
    }
    void changesAreSeenAtOnce() {
        QFETCH(int, change);
        TempIndex index;
        IndexStore& store = index.store();
        store.insertRecord("/old", "old quasar", EntryType::File);
        store.commitBatch();
        store.loadNames();
        QVERIFY(waitForNames(store));
        QCOMPARE(statement6(store, "quasar").size(), size_t(1));

        auto other = IndexStore::open(index.path());
        PlainClient plain(index.path());
        switch (change) {
            case 0:
                store.insertRecord("/new", "new quasar", EntryType::File);
                store.commitBatch();
                break;
            case 1:
                other->insertRecord("/new", "new quasar", EntryType::File);
                other->commitBatch();
                break;
            case 2:
                store.insertRecord("/new", "new quasar", EntryType::File);
                break;
            case 3:
            case 4: {
                IndexStore& writer = change == 3 ? store : *other;
                writer.beginRebuild();
                writer.addFolder(1, "/new");
                writer.addEntry(1, "new quasar", EntryType::File);
                writer.addEntry(1, "second quasar", EntryType::File);
                writer.finishRebuild("2026-12-10T11:00:00");
                break;
            }
        }
        // The open batch is this connection's own: the answer has it, other clients do not see it yet.
        const std::vector<std::string> expected =
            change >= 3 ? std::vector<std::string>{"new quasar", "second quasar"}
                        : std::vector<std::string>{"old quasar", "new quasar"};
        QCOMPARE(names(statement6(store, "quasar")), expected);
        store.commitBatch();
        QCOMPARE(statement6(store, "quasar"), viewRows(plain, "quasar"));
        // The names are read again, and answer once more.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const uint64_t before = store.namesAnswered();
                return statement6(store, "quasar") == viewRows(plain, "quasar") &&
                       store.namesAnswered() > before;
            }(),
            20000);
    }

    // Tables the names in memory cannot stand for exactly are left to the view; entries whose folder is
    // gone are no rows of the view and none of the names.
    void oddTablesAreLeftToTheView_data() {
        QTest::addColumn<QString>("insert");
        QTest::addColumn<bool>("answeredFromMemory");
        QTest::newRow("an entry whose folder is gone")
            << "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES('lost quasar','0',999)" << true;
        QTest::newRow("a type other than 0 and 1")
            << "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES('odd quasar','x',1)" << false;
        QTest::newRow("a name stored as bytes")
            << "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES(CAST('blob quasar' AS BLOB),'0',1)"
            << false;
        QTest::newRow("a name with a NUL") << "INSERT INTO tblEntries(FileName,FileType,FolderId) "
                                              "VALUES(CAST(x'6e756c00717561736172' AS TEXT),"
                                              "'0',1)"
                                           << false;
        QTest::newRow("a folder path with a NUL")
            << "INSERT INTO tblFolders(FolderId,FilePath) VALUES(7,CAST(x'2f6e756c002f78' AS TEXT));"
               "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES('nul path quasar','0',7)"
            << false;
        QTest::newRow("a folder id stored as text")
            << "INSERT INTO tblEntries(FileName,FileType,FolderId) VALUES('text quasar','0','one')" << false;
    }
    void oddTablesAreLeftToTheView() {
        QFETCH(QString, insert);
        QFETCH(bool, answeredFromMemory);
        TempIndex index;
        IndexStore& store = index.store();
        store.insertRecord("/f", "plain quasar", EntryType::File);
        store.commitBatch();
        PlainClient plain(index.path());
        QVERIFY(plain.exec(insert.toStdString()));
        store.loadNames();
        QVERIFY(waitForNames(store));
        const uint64_t before = store.namesAnswered();
        for (const char* p : {"quasar", "", "q_asar", "%"})
            QCOMPARE(statement6(store, p), viewRows(plain, p));
        QCOMPARE(store.namesAnswered() > before, answeredFromMemory);
    }

    // The table of names lives on the connection alone: the file keeps the schema any client with the key
    // reads, before and after a rebuild that ran beside it.
    void fileKeepsItsOwnSchema() {
        TempIndex index;
        IndexStore& store = index.store();
        store.loadNames();
        QVERIFY(waitForNames(store));
        store.beginRebuild();
        store.addFolder(1, "/x");
        store.addEntry(1, "kept quasar", EntryType::File);
        store.finishRebuild("2026-12-10T12:00:00");
        index.close();

        PlainClient plain(index.path());
        const auto schema = plain.rows("SELECT group_concat(sql, ';') FROM sqlite_master");
        QCOMPARE(schema.size(), size_t(1));
        const std::string& text = schema[0][0];
        QVERIFY2(text.find("CREATE VIEW tblFiles AS") != std::string::npos, text.c_str());
        QVERIFY2(text.find("trovander_names") == std::string::npos && text.find("main.") == std::string::npos,
                 text.c_str());
        const auto rows = plain.rows("SELECT FilePath, FileName FROM tblFiles");
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows[0][1], std::string("kept quasar"));
    }
};

QTEST_GUILESS_MAIN(TestSearchNames)
#include "test_search_names.moc"
