// Faults staged against a rebuild: SIGKILL at random moments, a disk that fills up, a second rebuild at
// once, a drive that cannot be read, too few file handles, a read-only mount. A rebuild that does not get
// through must leave Main.mdb exactly as it was before it began: the same records, the same stamps, whole.
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>
#include <cstdio>

#include "store/IndexStore.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::TempIndex;
using trovander::testing::TempTree;
using Record = std::tuple<std::string, std::string, std::string>;

namespace {

// Folders of files, enough rows for several committed batches.
void fillTree(TempTree& tree, int folders, int filesPerFolder) {
    for (int f = 0; f < folders; ++f) {
        const std::string dir = "dir " + std::to_string(f / 10) + "/sub'" + std::to_string(f);
        tree.folder(dir);
        for (int i = 0; i < filesPerFolder; ++i) tree.file(dir + "/file " + std::to_string(i) + ".txt");
    }
}

std::vector<Record> recordsOf(IndexStore& store) {
    const ResultRows rows = testing::searchRows(store, "");
    std::vector<Record> out;
    for (size_t i = 0; i < rows.size(); ++i)
        out.emplace_back(rows.folder(i), rows.name(i), rows.isFile(i) ? "0" : "1");
    return out;
}

std::vector<std::string> stampsOf(IndexStore& store) {
    RecordSet rs = store.selectStamps();
    std::vector<std::string> out;
    const int dated = rs.columnIndex("dated");
    for (size_t row = 0; dated >= 0 && row < rs.rowCount(); ++row)
        out.emplace_back(rs.value(row, static_cast<size_t>(dated)));
    return out;
}

std::string integrity(IndexStore& store) { return store.integrityCheck(); }

QStringList filesBeside(const std::string& db) {
    return QDir(QFileInfo(QString::fromStdString(db)).absolutePath()).entryList(QDir::Files | QDir::Hidden);
}

// An index built by the tool over a small tree of its own, and what it held then: the index that a rebuild
// which does not get through must leave exactly as it was.
struct IndexOfAnotherTree {
    TempTree tree;
    TempIndex index;
    std::vector<Record> records;
    std::vector<std::string> stamps;

    // False when the tool could not build it.
    bool build() {
        tree.file("old/kept.txt");
        index.close();
        if (testing::runTool("trovander-index", {index.path(), tree.root()}) != 0) return false;
        index.reopen();
        records = index.records();
        stamps = index.stamps();
        return true;
    }
    bool unchanged() { return index.records() == records && index.stamps() == stamps; }
};

// Mounts a small tmpfs at dir for the test; false when this process may not mount.
bool mountTmpfs(const std::string& dir, const char* options) {
    return ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
}

}  // namespace

class TestFaultsRebuild : public QObject {
    Q_OBJECT
    int killsSurvived_ = 0, faultsStaged_ = 0;

  private Q_SLOTS:
    void cleanupTestCase() {
        std::printf("faults summary: kills survived=%d, store faults staged=%d\n", killsSurvived_,
                    faultsStaged_);
    }

    void killDuringRebuild() {
        // The index before: another tree, so that any record of the new walk that leaks in shows.
        TempTree oldTree;
        fillTree(oldTree, /*folders=*/20, /*filesPerFolder=*/5);
        TempTree tree;
        fillTree(tree, /*folders=*/300, /*filesPerFolder=*/150);  // 45,330 rows: several batches
        QTemporaryDir dir;
        const std::string db = dir.filePath("Main.mdb").toStdString();
        IndexStore::createEmpty(db);
        QCOMPARE(testing::runTool("trovander-index", {db, oldTree.root()}), 0);

        // A whole rebuild of the new tree elsewhere gives the walk's records and its duration.
        const std::string scratch = dir.filePath("scratch.mdb").toStdString();
        IndexStore::createEmpty(scratch);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(testing::runTool("trovander-index", {scratch, tree.root()}), 0);
        const qint64 fullMs = std::max<qint64>(timer.elapsed(), 50);
        std::vector<Record> reference, current;
        std::vector<std::string> stamps;
        {
            auto store = IndexStore::open(scratch);
            reference = recordsOf(*store);
        }
        QFile::remove(QString::fromStdString(scratch));
        QCOMPARE(reference.size(), size_t(300 * 150 + 300 + 30));
        {
            auto store = IndexStore::open(db);
            current = recordsOf(*store);
            stamps = stampsOf(*store);
        }
        QCOMPARE(current.size(), size_t(20 * 5 + 20 + 2));

        const quint32 seed = qEnvironmentVariableIsSet("TROVANDER_FAULT_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TROVANDER_FAULT_SEED"))
                                 : QRandomGenerator::system()->generate();
        std::printf("kill seed: %u (TROVANDER_FAULT_SEED=%u repeats it)\n", seed, seed);
        QRandomGenerator rng(seed);
        for (int kill = 0; kill < 50; ++kill) {
            QProcess child;
            child.start(QString::fromStdString(testing::toolPath("trovander-index")),
                        {QString::fromStdString(db), QString::fromStdString(tree.root())});
            QVERIFY(child.waitForStarted());
            const int delayMs = int(rng.bounded(quint32(fullMs * 12 / 10 + 1)));
            QThread::msleep(delayMs);
            if (child.state() != QProcess::NotRunning) ::kill(pid_t(child.processId()), SIGKILL);
            child.waitForFinished();

            auto store = IndexStore::open(db);
            const QString where = QString("kill %1 after %2 ms").arg(kill).arg(delayMs);
            QVERIFY2(integrity(*store) == "ok", qPrintable(where));
            const std::vector<Record> now = recordsOf(*store);
            const std::vector<std::string> nowStamps = stampsOf(*store);
            // Either the rebuild got through (its stamp and every record of it, a kill landing while the
            // process leaves included) or the index is exactly the one before.
            if (nowStamps.size() == stamps.size() + 1) {
                QVERIFY2(now == reference, qPrintable(where));
                std::vector<std::string> kept = stamps, all = nowStamps;
                std::sort(kept.begin(), kept.end());
                std::sort(all.begin(), all.end());
                QVERIFY2(std::includes(all.begin(), all.end(), kept.begin(), kept.end()), qPrintable(where));
                current = now;
                stamps = nowStamps;
            } else {
                QVERIFY2(nowStamps == stamps, qPrintable(where));
                QVERIFY2(now == current,
                         qPrintable(where +
                                    QString(": %1 records, %2 before").arg(now.size()).arg(current.size())));
            }
            store.reset();
            QVERIFY2(filesBeside(db) == QStringList{"Main.mdb"},
                     qPrintable(where + " left " + filesBeside(db).join(", ")));
            ++killsSurvived_;
        }
    }

    void diskFillsDuringRebuild() {
        if (::geteuid() != 0) QSKIP("mounting a small tmpfs needs root");
        QTemporaryDir dir;
        const std::string mnt = dir.path().toStdString();
        if (!mountTmpfs(mnt, "size=256k")) QSKIP("this machine refuses a tmpfs mount");
        const std::string db = mnt + "/Main.mdb";
        IndexStore::createEmpty(db);
        TempTree oldTree;
        fillTree(oldTree, /*folders=*/5, /*filesPerFolder=*/10);
        QCOMPARE(testing::runTool("trovander-index", {db, oldTree.root()}), 0);
        std::vector<Record> before;
        std::vector<std::string> stampsBefore;
        {
            auto store = IndexStore::open(db);
            before = recordsOf(*store);
            stampsBefore = stampsOf(*store);
        }
        TempTree tree;
        fillTree(tree, /*folders=*/200, /*filesPerFolder=*/100);  // far more than 256 KiB of records
        std::string out;
        const int status = testing::runTool("trovander-index", {db, tree.root()}, &out);
        ++faultsStaged_;
        QCOMPARE(status, 1);
        QVERIFY2(QString::fromStdString(out).contains("disk is full"), out.c_str());
        QVERIFY2(QString::fromStdString(out).contains(QString::fromStdString(db)), out.c_str());
        {
            auto store = IndexStore::open(db);
            QCOMPARE(integrity(*store), std::string("ok"));
            QVERIFY(recordsOf(*store) == before);
            QVERIFY(stampsOf(*store) == stampsBefore);
        }
        QCOMPARE(filesBeside(db), QStringList{"Main.mdb"});
        // The space the failed rebuild took is given back: the next rebuild of the old tree fits again.
        QCOMPARE(testing::runTool("trovander-index", {db, oldTree.root()}), 0);
        ::umount2(mnt.c_str(), MNT_DETACH);
    }

    // A second rebuild while one runs is refused at once, naming the file; the first goes on unharmed,
    // and readers see the index before it until it is done.
    void secondRebuildIsRefused() {
        TempTree treeA, treeB;
        fillTree(treeA, /*folders=*/40, /*filesPerFolder=*/300);  // a committed batch before the pause
        treeB.file("b/only-in-b.txt");
        IndexOfAnotherTree old;
        QVERIFY(old.build());
        TempIndex& index = old.index;

        QProcess a;
        a.start(QString::fromStdString(testing::toolPath("trovander-index")),
                {QString::fromStdString(index.path()), QString::fromStdString(treeA.root()),
                 "--pause-after-folders", "40"});
        QVERIFY(a.waitForStarted());
        QVERIFY(a.waitForReadyRead(30000));
        QCOMPARE(a.readLine().trimmed(), QByteArray("paused"));  // A is half-way, with batches written

        std::string out;
        QCOMPARE(testing::runTool("trovander-index", {index.path(), treeB.root()}, &out), 1);
        ++faultsStaged_;
        const QString said = QString::fromStdString(out);
        QVERIFY2(said.contains("another copy of Trovander is rebuilding", Qt::CaseInsensitive), out.c_str());
        QVERIFY2(said.contains(QString::fromStdString(index.path())), out.c_str());
        QVERIFY(old.unchanged());  // a reader in a third process: the old index, whole

        a.write("go\n");
        a.closeWriteChannel();
        QVERIFY(a.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        const auto after = index.records();
        QCOMPARE(after.size(), size_t(40 * 300 + 40 + 4));
        for (const auto& [folder, name, type] : after) {
            QVERIFY2(folder.rfind(treeA.root(), 0) == 0, folder.c_str());  // nothing of B, nothing old
            QVERIFY(name != "only-in-b.txt");
        }
        QCOMPARE(index.stamps().size(), size_t(2));
    }

    // A drive root that cannot be opened fails the rebuild, naming it: no stamp, nothing lost.
    void unreadableDriveRoot_data() {
        QTest::addColumn<QString>("root");
        QTest::newRow("no such folder") << "missing";
        QTest::newRow("a file, not a folder") << "file";
        QTest::newRow("mode 000") << "closed";
    }
    void unreadableDriveRoot() {
        QFETCH(QString, root);
        if (root == "closed" && ::geteuid() == 0) QSKIP("every folder is readable as root");
        TempTree tree;
        tree.file("file");
        tree.folder("closed");
        ::chmod(tree.path("closed").c_str(), 0);
        IndexOfAnotherTree old;
        QVERIFY(old.build());
        const std::string drive = tree.path(root.toStdString());
        std::string out;
        QCOMPARE(testing::runTool("trovander-index", {old.index.path(), old.tree.root(), drive}, &out), 1);
        ++faultsStaged_;
        QVERIFY2(QString::fromStdString(out).contains(QString::fromStdString(drive)), out.c_str());
        QVERIFY(old.unchanged());
        ::chmod(tree.path("closed").c_str(), 0755);
    }

    // Too few file handles for the depth: the walk keeps its open folders bounded and records every entry,
    // or, where even that is too many, fails and keeps the index before; it never drops a subtree.
    void fewFileHandles_data() {
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("mustGetThrough");
        QTest::newRow("16") << 16 << false;
        QTest::newRow("24") << 24 << false;
        QTest::newRow("64") << 64 << true;
        QTest::newRow("128") << 128 << true;
    }
    void fewFileHandles() {
        QFETCH(int, limit);
        QFETCH(bool, mustGetThrough);
        TempTree tree;
        const size_t entries = testing::makeDeepTree(tree.root(), /*depth=*/300, /*siblings=*/10);
        IndexOfAnotherTree old;
        QVERIFY(old.build());
        TempIndex& index = old.index;
        std::string out;
        const int status = testing::runTool("trovander-index", {index.path(), tree.root()}, &out, limit);
        ++faultsStaged_;
        if (mustGetThrough) QCOMPARE(status, 0);
        if (status == 0) {
            QCOMPARE(index.records().size(), entries);
            QCOMPARE(index.stamps().size(), old.stamps.size() + 1);
        } else {
            QVERIFY2(status == 1, out.c_str());
            QVERIFY(old.unchanged());
        }
        testing::removeDeepTree(tree.root());
    }

    // A chain deeper than a path can be long, under a small handle limit: every level recorded, each under
    // its whole folder path.
    void deepChain() {
        TempTree tree;
        constexpr int kDepth = 4000;  // "/dNNNN" levels: paths far past PATH_MAX
        QCOMPARE(testing::makeDeepTree(tree.root(), kDepth, /*siblings=*/0), size_t(kDepth));
        TempIndex index;
        index.close();
        std::string out;
        QCOMPARE(testing::runTool("trovander-index", {index.path(), tree.root()}, &out, /*openFileLimit=*/48),
                 0);
        ++faultsStaged_;
        index.reopen();
        const auto records = index.records();
        QCOMPARE(records.size(), size_t(kDepth));
        std::string expected = tree.root();
        for (int level = 0; level < kDepth; ++level) {
            QCOMPARE(std::get<0>(records[size_t(level)]), expected);
            QCOMPARE(std::get<1>(records[size_t(level)]), "d" + std::to_string(level));
            expected += "/d" + std::to_string(level);
        }
        testing::removeDeepTree(tree.root());
    }

    void readOnlyMountRefusesToStart() {
        if (::geteuid() != 0) QSKIP("mounting needs root");
        QTemporaryDir dir;
        const std::string mnt = dir.path().toStdString();
        if (!mountTmpfs(mnt, "size=4m")) QSKIP("this machine refuses a tmpfs mount");
        const std::string db = mnt + "/Main.mdb";
        IndexStore::createEmpty(db);
        const QByteArray before = testing::fileBytes(db);
        QCOMPARE(::mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        ++faultsStaged_;
        try {
            IndexStore::open(db);
            QFAIL("opened an index that cannot be written");
        } catch (const StoreError& e) {
            QCOMPARE(e.fault(), StoreFault::ReadOnly);
            QVERIFY(QString::fromStdString(e.what()).contains(QString::fromStdString(db)));
        }
        QCOMPARE(testing::fileBytes(db), before);
        ::umount2(mnt.c_str(), MNT_DETACH);
    }
};

QTEST_GUILESS_MAIN(TestFaultsRebuild)
#include "test_faults_rebuild.moc"
