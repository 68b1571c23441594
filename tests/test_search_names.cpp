// Statement 6 answered from the names in memory: the same rows in the same order as the stored view, for
// every pattern and every name, and never a stale answer after the index has changed.
#include <QRandomGenerator>
#include <QtTest>
#include <tuple>

#include "search/Search.h"
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

Rows rowsOf(const RecordSet& rs) {
    Rows rows;
    const int path = rs.columnIndex("FilePath"), name = rs.columnIndex("FileName"),
              type = rs.columnIndex("FileType");
    for (size_t r = 0; r < rs.rowCount(); ++r)
        rows.emplace_back(rs.value(r, size_t(path)), rs.value(r, size_t(name)), rs.value(r, size_t(type)));
    return rows;
}

// What the stored view itself gives for a LIKE pattern, in its order.
Rows viewRows(IndexStore& store, std::string_view like) {
    return rowsOf(store.OpenQuery(sql::kSearchStoredView, {like}));
}

Rows statement6(IndexStore& store, std::string_view like) {
    return rowsOf(store.OpenQuery(sql::kSearchFiles, {like}));
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

        const quint32 seed = QRandomGenerator::system()->generate();
        QRandomGenerator rng(seed);
        std::vector<std::string> patterns = {
            "%%",  "%",   "",       "%report%",   "%REPORT 1%", "%_%",    "%\u212A%", "%k%",  "%ss%",
            "%ß%", "%ẞ%", "%\xc3%", "%\xff\xfe%", "%.txt",      "notes%", "%t_t%",    "%\n%", "%'dir%"};
        for (int i = 0; i < 40; ++i) patterns.push_back(randomPattern(rng));
        const uint64_t before = store.namesAnswered();
        for (const std::string& p : patterns) {
            const Rows got = statement6(store, p), expected = viewRows(store, p);
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
        const quint32 seed = QRandomGenerator::system()->generate();
        QRandomGenerator rng(seed);
        const uint64_t before = store.namesAnswered();
        for (int round = 0; round < 3000; ++round) {
            const std::string p = randomPattern(rng);
            QVERIFY2(
                statement6(store, p) == viewRows(store, p),
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
        QCOMPARE(statement6(store, "%quasar%").size(), size_t(1));

        auto other = IndexStore::open(index.path());
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
        QCOMPARE(statement6(store, "%quasar%"), viewRows(store, "%quasar%"));
        QCOMPARE(statement6(store, "%quasar%").size(), size_t(2));
        store.commitBatch();
        // The names are read again, and answer once more.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const uint64_t before = store.namesAnswered();
                return statement6(store, "%quasar%") == viewRows(store, "%quasar%") &&
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
        store.OpenQuery(insert.toStdString());
        store.loadNames();
        QVERIFY(waitForNames(store));
        const uint64_t before = store.namesAnswered();
        for (const char* p : {"%quasar%", "%%", "%q_asar%", "%"})
            QCOMPARE(statement6(store, p), viewRows(store, p));
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

        Connection plain = Connection::open(index.path(), kDatabasePassword, Connection::Mode::OpenExisting);
        Statement schema = plain.prepare("SELECT group_concat(sql, ';') FROM sqlite_master");
        QVERIFY(schema.step());
        const std::string text(schema.columnText(0));
        QVERIFY2(text.find("CREATE VIEW tblFiles AS") != std::string::npos, text.c_str());
        QVERIFY2(text.find("trovander_names") == std::string::npos && text.find("main.") == std::string::npos,
                 text.c_str());
        Statement rows = plain.prepare("SELECT FilePath, FileName FROM tblFiles");
        QVERIFY(rows.step());
        QCOMPARE(std::string(rows.columnText(1)), std::string("kept quasar"));
    }
};

QTEST_GUILESS_MAIN(TestSearchNames)
#include "test_search_names.moc"
