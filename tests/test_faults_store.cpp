// Faults of the index file itself and of sharing it: truncated, locked by another process, two copies at
// once, a bind mount inside the tree; and random search texts against a matcher written from the rules.
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <cstdio>
#include <set>

#include "indexer/IndexBuilder.h"
#include "results/ResultsModel.h"
#include "search/Search.h"
#include "store/IndexStore.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::TempIndex;
using trovander::testing::TempTree;

namespace {

// Holds a lock on the file from another process until the returned process is killed.
// "reserved": an open write transaction (readers go on); "exclusive": nobody else may read.
std::unique_ptr<QProcess> holdLock(const std::string& db, const char* kind) {
    auto p = std::make_unique<QProcess>();
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QString::fromStdString(testing::toolPath("trovander-lock")), {QString::fromStdString(db), kind});
    if (!p->waitForStarted() || !p->waitForReadyRead(10000)) return nullptr;  // it says "locked" when it is
    return p;
}

// The search rules, written out plainly: '*', ' ', '?' and '%' stand for any run, '_' for one character,
// and every letter matches without regard to case. Dynamic programming over whole code points.
bool referenceMatch(const QString& searchText, const QString& name) {
    const QList<uint> p = searchText.toUcs4(), t = name.toUcs4();
    auto fold = [](uint c) { return QChar::toCaseFolded(char32_t(c)); };
    std::vector<std::vector<char>> can(p.size() + 1, std::vector<char>(t.size() + 1, 0));
    // can[i][j]: p[i..] matches somewhere in t starting at j, given an implicit run before and after.
    const qsizetype n = p.size(), m = t.size();
    for (qsizetype j = 0; j <= m; ++j) can[n][j] = 1;  // trailing implicit run
    for (qsizetype i = n - 1; i >= 0; --i) {
        const uint c = p[i];
        const bool anyRun = c == '*' || c == ' ' || c == '?' || c == '%';
        for (qsizetype j = m; j >= 0; --j) {
            if (anyRun)
                can[i][j] = can[i + 1][j] || (j < m && can[i][j + 1]);
            else if (j < m && (c == '_' || fold(c) == fold(t[j])))
                can[i][j] = can[i + 1][j + 1];
        }
    }
    for (qsizetype j = 0; j <= m; ++j)  // leading implicit run
        if (can[0][j]) return true;
    return false;
}

}  // namespace

class TestFaultsStore : public QObject {
    Q_OBJECT
    int faultsStaged_ = 0, fuzzMatched_ = 0;

  private Q_SLOTS:
    void cleanupTestCase() {
        std::printf("faults summary: store faults staged=%d, fuzz texts matched=%d\n", faultsStaged_,
                    fuzzMatched_);
    }

    void truncatedFile() {
        TempIndex index;
        for (int i = 0; i < 3000; ++i)
            index.store().insertRecord("/some/long/folder/path", "entry " + std::to_string(i),
                                       EntryType::File);
        index.store().insertStamp("2026-12-01T00:00:00");
        index.close();
        const QByteArray whole = testing::fileBytes(index.path());
        QVERIFY(whole.size() > 8 * 4096);
        QFile f(QString::fromStdString(index.path()));
        QVERIFY(f.resize(whole.size() / 2 + 100));
        const QByteArray cut = testing::fileBytes(index.path());
        ++faultsStaged_;
        try {
            IndexStore::open(index.path());
            QFAIL("opened a truncated index");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::Corrupt);
            QVERIFY(QString::fromStdString(e.what()).contains(QString::fromStdString(index.path())));
        }
        QCOMPARE(testing::fileBytes(index.path()), cut);
    }

    void lockedByAnotherWriter() {
        TempIndex index;
        index.store().insertRecord("/d", "old.txt", EntryType::File);
        index.store().insertStamp("2026-12-01T00:00:00");
        index.close();

        // An open write transaction elsewhere: reading goes on and sees the committed index; a rebuild
        // cannot take the file and says so, writing no stamp.
        {
            auto holder = holdLock(index.path(), "reserved");
            QVERIFY(holder);
            ++faultsStaged_;
            auto store = IndexStore::open(index.path());
            QCOMPARE(int(testing::searchRows(*store, "old").size()), 1);
            TempTree tree;
            tree.file("new.txt");
            try {
                testing::rebuildOver(*store, {tree.root()});
                QFAIL("rebuilt an index another process is writing");
            } catch (const StoreError& e) {
                QCOMPARE(e.fault(), StoreFault::Locked);
            }
            QCOMPARE(int(store->selectStamps().rowCount()), 1);
            holder->kill();
            holder->waitForFinished();
        }
        // An exclusive lock: the program cannot even read, and says which file and why; the bytes stay.
        {
            const QByteArray before = testing::fileBytes(index.path());
            auto holder = holdLock(index.path(), "exclusive");
            QVERIFY(holder);
            ++faultsStaged_;
            try {
                IndexStore::open(index.path());
                QFAIL("opened an index locked exclusively");
            } catch (const StoreError& e) {
                QCOMPARE(e.fault(), StoreFault::Locked);
                QVERIFY(QString::fromStdString(e.what()).contains("locked by another program"));
            }
            holder->kill();
            holder->waitForFinished();
            QCOMPARE(testing::fileBytes(index.path()), before);
        }
        // Once the other process is gone, the index is whole and as committed.
        auto store = IndexStore::open(index.path());
        QCOMPARE(int(testing::searchRows(*store, "").size()), 1);
    }

    // A rebuild in one process and searches in another: every search sees a committed state, never a
    // torn one, and the file stays whole.
    void twoCopiesAtOnce() {
        TempTree tree;
        for (int d = 0; d < 60; ++d)
            for (int i = 0; i < 400; ++i) tree.file("d" + std::to_string(d) + "/f" + std::to_string(i));
        TempIndex index;
        index.close();
        QCOMPARE(testing::runTool("trovander-index", {index.path(), tree.root()}), 0);
        const int full = 60 * 400 + 60;
        index.reopen();
        QCOMPARE(int(testing::searchRows(index.store(), "").size()), full);

        QProcess rebuild;
        rebuild.start(QString::fromStdString(testing::toolPath("trovander-index")),
                      {QString::fromStdString(index.path()), QString::fromStdString(tree.root())});
        QVERIFY(rebuild.waitForStarted());
        int searches = 0;
        std::set<int> seen;
        while (rebuild.state() != QProcess::NotRunning || searches == 0) {
            const int count = int(testing::searchRows(index.store(), namePattern("")).size());
            // The new index replaces the old in one step: every search sees one of them whole.
            QVERIFY2(count == full, qPrintable(QString("torn count %1").arg(count)));
            seen.insert(count);
            ++searches;
            rebuild.waitForFinished(5);
        }
        QCOMPARE(rebuild.exitCode(), 0);
        QCOMPARE(index.store().integrityCheck(), std::string("ok"));
        QCOMPARE(int(testing::searchRows(index.store(), "").size()), full);
        QCOMPARE(int(index.store().selectStamps().rowCount()), 2);
        ++faultsStaged_;
        qInfo("%d searches during the rebuild saw %zu different counts", searches, seen.size());
    }

    // A damaged page is said by the search that meets it, naming the file; a Scan then rebuilds the index.
    void damagedPageIsSaid() {
        TempIndex index;
        for (int i = 0; i < 3000; ++i)
            index.store().insertRecord("/some/long/folder/path", "entry " + std::to_string(i),
                                       EntryType::File);
        index.store().commitBatch();
        index.close();
        testing::damageMiddle(index.path());
        ++faultsStaged_;
        std::unique_ptr<IndexStore> store;
        try {
            store = IndexStore::open(index.path());
            ResultRows rows;
            readSearch(store.get(), namePattern("entry"), rows);
            QFAIL("a search of a damaged index gave a result");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::Corrupt);
            QVERIFY(QString::fromStdString(e.what()).contains(QString::fromStdString(index.path())));
            QVERIFY(QString::fromStdString(e.what()).contains("damaged"));
        }
        if (!store) return;  // the damage was found on opening, which says the same
        TempTree tree;
        tree.file("fresh/new.txt");
        try {
            testing::rebuildOver(*store, {tree.root()});
        } catch (const StoreError& e) {
            QFAIL(e.what());
        }
        QCOMPARE(int(testing::searchRows(*store, namePattern("new")).size()), 1);
        QVERIFY(int(store->selectStamps().rowCount()) >= 1);
        QVERIFY(!QFile::exists(QString::fromStdString(index.path() + ".rebuild")));
        QCOMPARE(store->integrityCheck(), std::string("ok"));
    }

    // A search that cannot read the index fails with the store's reason, not with no hits; a search
    // without hits still finds nothing.
    void failedSearchIsNotAnEmptyResult() {
        TempIndex index;
        index.store().insertRecord("/d", "present.txt", EntryType::File);
        index.store().commitBatch();
        ResultRows rows;
        readSearch(&index.store(), namePattern("absent"), rows);
        QCOMPARE(rows.size(), size_t(0));
        auto holder = holdLock(index.path(), "exclusive");
        QVERIFY(holder);
        ++faultsStaged_;
        try {
            readSearch(&index.store(), namePattern("present"), rows);
            QFAIL("a search of a locked index gave a result");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::Locked);
        }
        holder->kill();
        holder->waitForFinished();
        readSearch(&index.store(), namePattern("present"), rows);
        QCOMPARE(rows.size(), size_t(1));
    }

    // Another process writing the index (its journal on disk) costs an opening no wait, and a rebuild is
    // told at once that it cannot write; neither waits out the engine's busy timeout.
    void noHiddenWaitBesideAWriter() {
        TempIndex index;
        index.store().insertRecord("/d", "old.txt", EntryType::File);
        index.store().commitBatch();
        index.close();
        auto holder = holdLock(index.path(), "reserved");
        QVERIFY(holder);
        QVERIFY(QFile::exists(QString::fromStdString(index.path() + "-journal")));
        ++faultsStaged_;
        QElapsedTimer timer;
        timer.start();
        auto store = IndexStore::open(index.path());
        QVERIFY2(timer.elapsed() < kBusyWaitMs / 2,
                 qPrintable(QString("opening took %1 ms").arg(timer.elapsed())));
        TempTree tree;
        timer.restart();
        try {
            testing::rebuildOver(*store, {tree.root()});
            QFAIL("rebuilt an index another process is writing");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::Locked);
        }
        QVERIFY2(timer.elapsed() < kBusyWaitMs / 2,
                 qPrintable(QString("refusing took %1 ms").arg(timer.elapsed())));
        holder->kill();
        holder->waitForFinished();
    }

    void bindMountOfAFolderInsideItself() {
        if (::geteuid() != 0) QSKIP("bind mounts need root");
        TempTree tree;
        tree.file("top/a.txt");
        tree.folder("top/inner");
        if (::mount(tree.path("top").c_str(), tree.path("top/inner").c_str(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("this machine refuses a bind mount");
        TempIndex index;
        testing::rebuildOver(index.store(), {tree.root()});
        ::umount2(tree.path("top/inner").c_str(), MNT_DETACH);
        // The mount inside is its own drive: recorded as a folder, not walked again.
        auto records = index.records();
        std::sort(records.begin(), records.end());
        using Record = std::tuple<std::string, std::string, std::string>;
        std::vector<Record> expected = {
            {tree.root(), "top", "1"}, {tree.path("top"), "a.txt", "0"}, {tree.path("top"), "inner", "1"}};
        std::sort(expected.begin(), expected.end());
        QVERIFY(records == expected);
        ++faultsStaged_;
    }

    void searchFuzz() {
        const QStringList names = {"readme.txt",
                                   "README.md",
                                   "über.txt",
                                   "ÜBER.TXT",
                                   "Straße.doc",
                                   "STRASSE",
                                   "don't panic.txt",
                                   "a_c.txt",
                                   "abc.txt",
                                   "ac.txt",
                                   "my_big_file.doc",
                                   "file my.doc",
                                   "100%.txt",
                                   "back\\slash",
                                   "[bracket].txt",
                                   "café",
                                   "CAFÉ",
                                   "naïve résumé.pdf",
                                   "Ærø.jpg",
                                   "ΟΔΟΣ",
                                   "οδος",
                                   "日本語.txt",
                                   "setup.exe",
                                   "setup.exe.bak",
                                   "x.executable",
                                   "'quoted'",
                                   "e\u0301",
                                   "tab\there",
                                   "percent%under_score",
                                   ".profile",
                                   "ß",
                                   "ẞ",
                                   "ǅ",
                                   "İstanbul"};
        TempIndex index;
        for (const QString& n : names) index.store().insertRecord("/f", n.toStdString(), EntryType::File);
        index.store().commitBatch();

        const QString alphabet = QStringLiteral("aAbBcCeEfFrRtTxX.%_ '\\[]*?üÜßẞéÉΟοδΣς日_%%   \u0301ǆİi");
        const quint32 seed = qEnvironmentVariableIsSet("TROVANDER_FAULT_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TROVANDER_FAULT_SEED"))
                                 : QRandomGenerator::system()->generate();
        std::printf("fuzz seed: %u\n", seed);
        QRandomGenerator rng(seed);
        for (int round = 0; round < 10000; ++round) {
            QString text;
            const int length = int(rng.bounded(7));
            for (int i = 0; i < length; ++i) {
                if (rng.bounded(20) == 0)
                    text += QChar(char16_t(0x20 + rng.bounded(0x7e - 0x20)));
                else
                    text += alphabet[qsizetype(rng.bounded(quint32(alphabet.size())))];
            }
            const ResultRows rows = testing::searchRows(index.store(), namePattern(text.toStdString()));
            QStringList got, expected;
            for (size_t i = 0; i < rows.size(); ++i) {
                const auto v = rows.name(i);
                got << QString::fromUtf8(v.data(), qsizetype(v.size()));
            }
            for (const QString& n : names)
                if (referenceMatch(text, n)) expected << n;
            got.sort();
            expected.sort();
            QVERIFY2(got == expected, qPrintable(QString("seed %1, text \"%2\": got [%3], expected [%4]")
                                                     .arg(seed)
                                                     .arg(text, got.join("|"), expected.join("|"))));
            ++fuzzMatched_;
        }
    }
};

QTEST_GUILESS_MAIN(TestFaultsStore)
#include "test_faults_store.moc"
