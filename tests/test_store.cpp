// The index store: opening and its failures, the six statements, the LIKE that ignores case for all letters.
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "store/FoldingLike.h"
#include "store/IndexStore.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::TempIndex;

Q_DECLARE_METATYPE(trovander::StoreFault)

class TestStore : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void openFailures_data() {
        QTest::addColumn<QByteArray>("content");  // "<none>": no file at all
        QTest::addColumn<StoreFault>("fault");
        QTest::newRow("missing") << QByteArray("<none>") << StoreFault::Missing;
        QTest::newRow("random bytes") << QByteArray(8192, '\x5a') << StoreFault::WrongKey;
        QTest::newRow("empty file") << QByteArray() << StoreFault::MissingTables;
        QTest::newRow("plain text") << QByteArray("name,size\nsetup.exe,1\n") << StoreFault::WrongKey;
    }
    void openFailures() {
        QFETCH(QByteArray, content);
        QFETCH(StoreFault, fault);
        QTemporaryDir dir;
        const QString path = dir.filePath("Main.mdb");
        if (content != "<none>") testing::writeFileBytes(path.toStdString(), content);
        try {
            IndexStore::open(path.toStdString());
            QFAIL("opened a database that is not there or not ours");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), fault);
            QVERIFY2(QString::fromStdString(e.what()).contains(path), e.what());
        }
        // Nothing made, nothing written.
        if (content == "<none>")
            QVERIFY(!QFile::exists(path));
        else
            QCOMPARE(testing::fileBytes(path.toStdString()), content);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), content == "<none>" ? 0 : 1);
    }

    void wrongPasswordLeavesFileAlone() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("Main.mdb").toStdString();
        { IndexStore::createEmpty(path, "another password"); }
        const QByteArray before = testing::fileBytes(path);
        try {
            IndexStore::open(path);
            QFAIL("opened with the wrong password");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::WrongKey);
        }
        QCOMPARE(testing::fileBytes(path), before);
    }

    void createRefusesToOverwrite() {
        TempIndex index;
        index.store().insertRecord("/data", "keep.txt", EntryType::File);
        index.store().commitBatch();
        try {
            IndexStore::createEmpty(index.path());
            QFAIL("made a new index over an existing file");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::AlreadyThere);
            QVERIFY2(QString::fromStdString(e.what()).contains("is already there; it is left as it is"),
                     e.what());
        }
        QCOMPARE(index.records().size(), size_t(1));
    }

    void emptyStampsCountZero() {
        TempIndex index;
        RecordSet rs = index.store().selectStamps();
        QCOMPARE(rs.rowCount(), size_t(0));
        QVERIFY(rs.columnIndex("DATED") >= 0);
        QCOMPARE(rs.columnIndex("NoSuchColumn"), -1);
        QCOMPARE(rs.value(0, 0), std::string_view());
    }

    void twoRebuildsKeepTwoStampsAndTheSecondRecords() {
        TempIndex index;
        IndexStore& s = index.store();
        for (const char* run : {"first", "second"}) {
            s.beginRebuild();
            s.addFolder(1, "/data");
            s.addEntry(1, std::string(run) + ".txt", EntryType::File);
            s.addEntry(1, std::string(run) + " folder", EntryType::Folder);
            s.finishRebuild(std::string("2026-12-0") + (run[0] == 'f' ? "1" : "2") + "T10:00:00");
        }
        index.reopen();
        using Record = std::tuple<std::string, std::string, std::string>;
        const std::vector<Record> expected = {{"/data", "second.txt", "0"}, {"/data", "second folder", "1"}};
        QVERIFY(index.records() == expected);
        // Newest first: the age of the index is the age of the last rebuild.
        QVERIFY((index.stamps() == std::vector<std::string>{"2026-12-02T10:00:00", "2026-12-01T10:00:00"}));
    }

    void columnsByNameInAnyCase() {
        TempIndex index;
        index.store().insertRecord("/home/ann", "it's mine.txt", EntryType::File);
        index.store().commitBatch();
        const ResultRows rows = testing::searchRows(index.store(), "it's");
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows.folder(0), std::string_view("/home/ann"));
        QCOMPARE(rows.name(0), std::string_view("it's mine.txt"));
        QVERIFY(rows.isFile(0));
    }

    // Statement 6 over stored names: case ignored for every letter, '%' and '_' keep their meaning, bytes
    // that are not UTF-8 still match themselves.
    void searchMatches_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<bool>("found");
        QTest::newRow("capitals found by small letters")
            << QByteArray("README.TXT") << QByteArray("readme") << true;
        QTest::newRow("small letters found by capitals")
            << QByteArray("readme.txt") << QByteArray("README") << true;
        QTest::newRow("umlaut, capital pattern") << QByteArray("über.txt") << QByteArray("ÜBER") << true;
        QTest::newRow("umlaut, small pattern") << QByteArray("ÜBER.TXT") << QByteArray("über") << true;
        QTest::newRow("e acute") << QByteArray("Café.doc") << QByteArray("CAFÉ") << true;
        QTest::newRow("sharp s and capital sharp s") << QByteArray("Straße") << QByteArray("STRAẞE") << true;
        QTest::newRow("greek final sigma") << QByteArray("ΟΔΟΣ") << QByteArray("οδος") << true;
        QTest::newRow("kelvin sign folds to k") << QByteArray(
                                                       "\xe2\x84\xaa"
                                                       "elvin")
                                                << QByteArray("kel") << true;
        QTest::newRow("accent is not ignored") << QByteArray("cafe.doc") << QByteArray("café") << false;
        QTest::newRow("apostrophe") << QByteArray("don't.txt") << QByteArray("don't") << true;
        QTest::newRow("percent between pieces")
            << QByteArray("my_big_file.doc") << QByteArray("my%file") << true;
        QTest::newRow("pieces in order only") << QByteArray("file my.doc") << QByteArray("my%file") << false;
        QTest::newRow("underscore one char") << QByteArray("abc.txt") << QByteArray("a_c") << true;
        QTest::newRow("underscore not zero chars") << QByteArray("ac.txt") << QByteArray("a_c") << false;
        QTest::newRow("underscore one non-ascii char") << QByteArray("aüc") << QByteArray("a_c") << true;
        QTest::newRow("brackets are literal") << QByteArray("[a].txt") << QByteArray("[a]") << true;
        QTest::newRow("brackets are not a set") << QByteArray("a.txt") << QByteArray("[ab]") << false;
        QTest::newRow("backslash literal") << QByteArray("a\\b") << QByteArray("a\\b") << true;
        QTest::newRow("invalid utf-8 byte") << QByteArray("bad\xff name") << QByteArray("\xff na") << true;
        QTest::newRow("invalid byte is not a letter")
            << QByteArray("bad\xff") << QByteArray("bad\xfe") << false;
        QTest::newRow("empty pattern finds all") << QByteArray("anything") << QByteArray("") << true;
    }
    void searchMatches() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, pattern);
        QFETCH(bool, found);
        TempIndex index;
        index.store().insertRecord("/d", name.toStdString(), EntryType::File);
        index.store().insertRecord("/d", "unrelated", EntryType::File);
        index.store().commitBatch();
        const ResultRows rows = testing::searchRows(index.store(), pattern.toStdString());
        bool hit = false;
        for (size_t i = 0; i < rows.size(); ++i) hit |= rows.name(i) == name.toStdString();
        QCOMPARE(hit, found);
    }

    // The pattern engine on its own, including anchoring where no '%' stands at an end.
    void likePattern_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("match");
        QTest::newRow("exact") << QByteArray("abc") << QByteArray("ABC") << true;
        QTest::newRow("exact is anchored") << QByteArray("abc") << QByteArray("xabc") << false;
        QTest::newRow("prefix") << QByteArray("ab%") << QByteArray("abz") << true;
        QTest::newRow("suffix") << QByteArray("%yz") << QByteArray("xyz") << true;
        QTest::newRow("suffix anchored") << QByteArray("%yz") << QByteArray("xyza") << false;
        QTest::newRow("repeated piece needs two") << QByteArray("a%a") << QByteArray("a") << false;
        QTest::newRow("repeated piece") << QByteArray("%a%a%") << QByteArray("banana") << true;
        QTest::newRow("only percent") << QByteArray("%%%") << QByteArray("") << true;
        QTest::newRow("empty matches empty only") << QByteArray("") << QByteArray("x") << false;
        QTest::newRow("underscores count characters") << QByteArray("__") << QByteArray("üß") << true;
        QTest::newRow("long text") << QByteArray("%needle%") << QByteArray(2000, 'x') + "NEEDLE" << true;
        QTest::newRow("piece after a false start") << QByteArray("%aab%") << QByteArray("aaab") << true;
        QTest::newRow("piece at the very end") << QByteArray("x%ab%") << QByteArray("xzzAB") << true;
        QTest::newRow("first byte only where the piece cannot fit")
            << QByteArray("%ba%") << QByteArray("aab") << false;
        QTest::newRow("one-byte piece") << QByteArray("%b%") << QByteArray("aaB") << true;
    }
    void likePattern() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, text);
        QFETCH(bool, match);
        QCOMPARE(LikePattern(pattern.toStdString()).matches(text.toStdString()), match);
    }

    // Until a rebuild has got through, every other connection sees the index as it was, even after the
    // rebuild's batches have committed; a second rebuild is refused at once.
    void rebuildUnseenUntilFinished() {
        TempIndex index;
        index.store().insertRecord("/d", "old.txt", EntryType::File);
        index.store().insertStamp("2026-12-01T10:00:00");
        index.store().beginRebuild();
        index.store().addFolder(1, "/d");
        for (int i = 0; i < int(IndexStore::kBatchRows) + 10; ++i)
            index.store().addEntry(1, "new " + std::to_string(i), EntryType::File);
        {
            auto other = IndexStore::open(index.path());
            QCOMPARE(int(testing::searchRows(*other, "").size()), 1);
            QCOMPARE(int(testing::searchRows(*other, "old").size()), 1);
            QCOMPARE(int(other->selectStamps().rowCount()), 1);
            try {
                other->beginRebuild();
                QFAIL("a second rebuild started");
            } catch (const StoreError& e) {
                QCOMPARE(e.fault(), StoreFault::Rebuilding);
                QVERIFY(QString::fromStdString(e.what()).contains("Another copy of Trovander is rebuilding"));
                QVERIFY(QString::fromStdString(e.what()).contains(QString::fromStdString(index.path())));
            }
        }
        index.store().finishRebuild("2026-12-02T10:00:00");
        auto other = IndexStore::open(index.path());
        QCOMPARE(int(testing::searchRows(*other, "").size()), int(IndexStore::kBatchRows) + 10);
        QCOMPARE(int(testing::searchRows(*other, "old").size()), 0);
        QCOMPARE(int(other->selectStamps().rowCount()), 2);
    }

    // A rebuild dropped half-way (abandoned, or its store closed) leaves the old index and no tables of its
    // own.
    void abandonedRebuildLeavesTheIndex_data() {
        QTest::addColumn<bool>("closeInstead");
        QTest::newRow("abandoned") << false;
        QTest::newRow("store closed") << true;
    }
    void abandonedRebuildLeavesTheIndex() {
        QFETCH(bool, closeInstead);
        TempIndex index;
        index.store().insertRecord("/d", "old.txt", EntryType::File);
        index.store().insertStamp("2026-12-01T10:00:00");
        const auto before = index.records();
        index.store().beginRebuild();
        index.store().addFolder(1, "/e");
        for (int i = 0; i < int(IndexStore::kBatchRows) * 2; ++i)
            index.store().addEntry(1, "new " + std::to_string(i), EntryType::File);
        if (closeInstead)
            index.reopen();
        else
            index.store().abandonRebuild();
        QVERIFY(!index.store().rebuilding());
        QVERIFY(index.records() == before);
        QCOMPARE(index.stamps(), std::vector<std::string>{"2026-12-01T10:00:00"});
        QVERIFY(!index.store().hasRebuildTables());
        // The lock went with it: the next rebuild starts.
        index.store().beginRebuild();
        index.store().finishRebuild("2026-12-02T10:00:00");
        QCOMPARE(index.records().size(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
