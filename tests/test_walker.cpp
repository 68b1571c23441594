// The rebuild: record order and paths, yields, refused and failing folders, links, depth, odd names, and a
// rebuild cut short by ending the program.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <algorithm>

#include "indexer/Rebuild.h"
#include "platform/ProgramEnd.h"
#include "support/FailingFolderReader.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::FailingFolderReader;
using trovander::testing::TempIndex;
using trovander::testing::TempTree;
using Record = std::tuple<std::string, std::string, std::string>;

namespace {

struct Walked {
    int yields = 0;
    QStringList statuses;
    std::vector<Record> records;
    std::vector<std::string> stamps;
};

// Counts the walk's yields (the probe's, one per drive before the walk, are not the walk's) and keeps the
// status captions.
struct WalkReport final : RebuildReport {
    int yields = 0;
    bool walking = false;
    QStringList statuses;
    void walkBegins() override { walking = true; }
    void yield() override { yields += walking ? 1 : 0; }
    void status(const QString& s) override { statuses << s; }
};

Walked rebuild(TempIndex& index, const std::vector<std::string>& drives,
               std::unique_ptr<FolderReader> reader = nullptr) {
    Walked r;
    WalkReport report;
    testing::rebuildOver(index.store(), drives, reader.get(), &report);
    r.yields = report.yields;
    r.statuses = report.statuses;
    r.records = index.records();
    r.stamps = index.stamps();
    return r;
}

size_t positionOf(const std::vector<Record>& records, const std::string& path, const std::string& name) {
    for (size_t i = 0; i < records.size(); ++i)
        if (std::get<0>(records[i]) == path && std::get<1>(records[i]) == name) return i;
    return SIZE_MAX;
}

}  // namespace

class TestWalker : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void recordsOfASmallTree() {
        TempTree tree;
        tree.file("a.txt");
        tree.file("Windows/system.ini");
        tree.file("Windows/Fonts/arial.ttf");
        tree.file(".hidden");
        tree.folder("empty");
        TempIndex index;
        const Walked r = rebuild(index, {tree.root()});
        const std::string root = tree.root();

        // Every entry once, with the folder that holds it and its type; the root itself has no record.
        std::vector<Record> expected = {{root, "a.txt", "0"},
                                        {root, ".hidden", "0"},
                                        {root, "Windows", "1"},
                                        {root, "empty", "1"},
                                        {root + "/Windows", "system.ini", "0"},
                                        {root + "/Windows", "Fonts", "1"},
                                        {root + "/Windows/Fonts", "arial.ttf", "0"}};
        std::vector<Record> got = r.records;
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        QVERIFY(got == expected);

        // Depth-first: a folder's files before its subfolders, a subfolder's record before its contents, and
        // a subfolder's contents before the next subfolder's record.
        const auto at = [&](const std::string& p, const std::string& n) {
            return positionOf(r.records, p, n);
        };
        QVERIFY(at(root, "a.txt") < at(root, "Windows"));
        QVERIFY(at(root, ".hidden") < at(root, "empty"));
        QVERIFY(at(root, "Windows") < at(root + "/Windows", "system.ini"));
        QVERIFY(at(root + "/Windows", "Fonts") < at(root + "/Windows/Fonts", "arial.ttf"));
        if (at(root, "Windows") < at(root, "empty"))
            QVERIFY(at(root + "/Windows/Fonts", "arial.ttf") < at(root, "empty"));

        // Three yields after each of the four folders (the root included), one status per drive, one stamp.
        QCOMPARE(r.yields, 3 * 4);
        QCOMPARE(r.statuses,
                 QStringList{"Scanning " + QString::fromStdString(root) + " drive. please wait..."});
        QCOMPARE(r.stamps.size(), size_t(1));
        QVERIFY(QDateTime::fromString(QString::fromStdString(r.stamps[0]), Qt::ISODate).isValid());
    }

    void rootWithSeparatorKeepsIt() {
        // A root that is only a separator keeps it, so its entries' full paths double it; trailing
        // separators on other roots go.
        TempTree tree;
        tree.file("x");
        TempIndex index;
        const Walked r = rebuild(index, {tree.root() + "///"});
        QVERIFY((r.records == std::vector<Record>{{tree.root(), "x", "0"}}));
    }

    void noDrivesStillClearsAndStamps() {
        TempIndex index;
        index.store().insertRecord("/old", "stale.txt", EntryType::File);
        index.store().commitBatch();
        const Walked r = rebuild(index, {});
        QVERIFY(r.records.empty());
        QCOMPARE(r.stamps.size(), size_t(1));
        QCOMPARE(r.yields, 0);
    }

    // A folder that fails: its own record stays, its contents are skipped, and the walk goes on; only a
    // refused access yields.
    void failingFolder_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("whenListing");
        QTest::addColumn<int>("yields");
        // Folders walked whole: the root, "next". The failing one yields three times only when refused.
        QTest::newRow("refused on open") << EACCES << false << 3 * 3;
        QTest::newRow("not permitted on list") << EPERM << true << 3 * 3;
        QTest::newRow("i/o error on open") << EIO << false << 3 * 2;
        QTest::newRow("gone on list") << ENOENT << true << 3 * 2;
    }
    void failingFolder() {
        QFETCH(int, error);
        QFETCH(bool, whenListing);
        QFETCH(int, yields);
        TempTree tree;
        tree.file("locked/secret.txt");
        tree.file("next/after.txt");
        auto reader = std::make_unique<FailingFolderReader>();
        reader->failOn("locked", error,
                       whenListing ? FailingFolderReader::When::List : FailingFolderReader::When::Open);
        TempIndex index;
        const Walked r = rebuild(index, {tree.root()}, std::move(reader));
        QVERIFY(positionOf(r.records, tree.root(), "locked") != SIZE_MAX);
        QCOMPARE(positionOf(r.records, tree.path("locked"), "secret.txt"), SIZE_MAX);
        QVERIFY(positionOf(r.records, tree.path("next"), "after.txt") != SIZE_MAX);
        QCOMPARE(r.yields, yields);
        QCOMPARE(r.stamps.size(), size_t(1));
    }

    // A drive root that cannot be opened or listed fails the rebuild, naming the drive; the index keeps
    // what it held, with no new stamp. Folders refused deeper down do not (failingFolder above).
    void unreadableDriveFailsTheRebuild_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("onList");
        QTest::newRow("no such folder") << 0 << false;
        QTest::newRow("refused on open") << EACCES << false;
        QTest::newRow("i/o error on list") << EIO << true;
    }
    void unreadableDriveFailsTheRebuild() {
        QFETCH(int, error);
        QFETCH(bool, onList);
        TempTree tree;
        tree.file("kept.txt");
        tree.file("drive/x.txt");
        TempIndex index;
        rebuild(index, {tree.root()});
        const auto before = index.records();
        const auto stampsBefore = index.stamps();
        auto reader = std::make_unique<FailingFolderReader>();
        std::string drive = tree.path("drive");
        if (error == 0)
            drive = tree.path("no such drive");
        else
            reader->failOn("drive", error,
                           onList ? FailingFolderReader::When::List : FailingFolderReader::When::Open);
        try {
            rebuild(index, {tree.root(), drive}, std::move(reader));
            QFAIL("a rebuild that could not read a drive got through");
        } catch (const WalkError& e) {
            QCOMPARE(e.kind(), WalkError::Kind::DriveUnreadable);
            QCOMPARE(e.path(), drive);
            QVERIFY(QString::fromStdString(e.what()).contains(QString::fromStdString(drive)));
        }
        QVERIFY(index.records() == before);
        QVERIFY(index.stamps() == stampsBefore);
    }

    // A real refusal: as root every folder is readable, so the walk runs in a child that drops to an
    // unprivileged user.
    void refusedFolderAsUnprivilegedUser() {
        TempTree tree;
        tree.file("open/visible.txt");
        tree.file("closed/hidden.txt");
        QCOMPARE(::chmod(tree.path("closed").c_str(), 0), 0);
        ::chmod(tree.root().c_str(), 0755);
        TempIndex index;
        index.close();
        QTemporaryDir scratch;
        ::chmod(scratch.path().toLocal8Bit().constData(), 0777);
        const std::string db = scratch.filePath("Main.mdb").toStdString();
        IndexStore::createEmpty(db);
        ::chmod(db.c_str(), 0666);

        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
            int yields = 0;
            try {
                auto store = IndexStore::open(db);
                WalkReport report;
                const IndexBuilder::Counts counts =
                    testing::rebuildOver(*store, {tree.root()}, nullptr, &report);
                yields = report.yields;
                ::_exit(counts.refused == 1 ? yields : 91);
            } catch (...) {
                ::_exit(92);
            }
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::chmod(tree.path("closed").c_str(), 0755);
        QVERIFY(WIFEXITED(status));
        // Root, "open" and the refused "closed": three yields each.
        QCOMPARE(WEXITSTATUS(status), 3 * 3);
        auto store = IndexStore::open(db);
        const ResultRows all = testing::searchRows(*store, "");
        QStringList names;
        for (size_t i = 0; i < all.size(); ++i)
            names << QString::fromUtf8(all.name(i).data(), int(all.name(i).size()));
        names.sort();
        QCOMPARE(names, (QStringList{"closed", "open", "visible.txt"}));
    }

    void linksAreRecordedNeverFollowed() {
        TempTree tree;
        tree.file("a/b/file.txt");
        QCOMPARE(::symlink("..", tree.path("a/b/up").c_str()), 0);           // a loop to an ancestor
        QCOMPARE(::symlink("file.txt", tree.path("a/b/alias").c_str()), 0);  // a link to a file
        QCOMPARE(::symlink("nowhere", tree.path("a/dangling").c_str()), 0);
        TempIndex index;
        const Walked r = rebuild(index, {tree.root()});
        std::vector<Record> got = r.records;
        std::sort(got.begin(), got.end());
        std::vector<Record> expected = {
            {tree.root(), "a", "1"},           {tree.path("a"), "b", "1"},
            {tree.path("a"), "dangling", "0"}, {tree.path("a/b"), "file.txt", "0"},
            {tree.path("a/b"), "up", "1"},     {tree.path("a/b"), "alias", "0"}};
        std::sort(expected.begin(), expected.end());
        QVERIFY(got == expected);
    }

    void tenThousandLevelsDeep() {
        TempTree tree;
        int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
        constexpr int kDepth = 10000;
        for (int i = 0; i < kDepth; ++i) {
            QCOMPARE(::mkdirat(fd, "d", 0755), 0);
            const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(::openat(fd, "bottom.txt", O_WRONLY | O_CREAT, 0644));
        ::close(fd);
        TempIndex index;
        const Walked r = rebuild(index, {tree.root()});
        QCOMPARE(r.records.size(), size_t(kDepth + 1));
        QCOMPARE(std::get<1>(r.records.back()), std::string("bottom.txt"));
        QCOMPARE(std::get<0>(r.records.back()).size(), tree.root().size() + 2 * kDepth);
        QCOMPARE(r.yields, 3 * (kDepth + 1));
        QCOMPARE(r.stamps.size(), size_t(1));
        // Leave nothing too deep for the temporary folder's own clean-up.
        std::string rm = "rm -rf '" + tree.root() + "/d'";
        QCOMPARE(std::system(rm.c_str()), 0);
    }

    // Every level keeps a subfolder for after the deeper walk, so each level would hold its folder open
    // meanwhile: the walk keeps its open folders bounded instead, far below the depth and the limit.
    void deepAndBushy() {
        TempTree tree;
        constexpr int kDepth = 3000;
        const size_t made = testing::makeDeepTree(tree.root(), kDepth, /*siblings=*/1);
        struct rlimit saved {};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        struct rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(saved.rlim_max, 64);
        ::setrlimit(RLIMIT_NOFILE, &low);
        TempIndex index;
        const Walked r = rebuild(index, {tree.root()});
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QCOMPARE(r.records.size(), made);
        QCOMPARE(r.yields, 3 * (int(made) + 1));
        testing::removeDeepTree(tree.root());
    }

    // Names are bytes: recorded unchanged and found again by a piece of them.
    void oddNames_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("piece");
        QTest::newRow("not utf-8") << QByteArray("caf\xe9 \xff.txt") << QByteArray("\xe9 \xff");
        QTest::newRow("apostrophe") << QByteArray("it's.txt") << QByteArray("it's");
        QTest::newRow("double quote") << QByteArray("say \"hi\".txt") << QByteArray("\"hi\"");
        QTest::newRow("newline") << QByteArray("two\nlines") << QByteArray("o\nl");
        QTest::newRow("leading dash") << QByteArray("-rf") << QByteArray("-r");
        QTest::newRow("shell") << QByteArray("$(touch x);`y`|&") << QByteArray("$(touch");
        QTest::newRow("255 bytes") << QByteArray(255, 'n') << QByteArray(200, 'N');
    }
    void oddNames() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, piece);
        TempTree tree;
        tree.file(name.toStdString());
        TempIndex index;
        rebuild(index, {tree.root()});
        const ResultRows rows = testing::searchRows(index.store(), piece.toStdString());
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(QByteArray(rows.name(0).data(), qsizetype(rows.name(0).size())), name);
    }

    void storeFaultEndsTheRebuildWithoutStamp() {
        TempTree tree;
        tree.file("a.txt");
        TempIndex index;
        index.store().insertStamp("2026-01-01T00:00:00");
        // Another connection holds the write lock: the rebuild cannot clear the index.
        auto other = IndexStore::open(index.path());
        other->insertRecord("/x", "y", EntryType::File);
        QVERIFY(other->inBatch());
        QVERIFY_THROWS_EXCEPTION(StoreError, rebuild(index, {tree.root()}));
        other->commitBatch();
        QCOMPARE(index.stamps().size(), size_t(1));
    }

    // Ending the program during the walk (as Exit does) keeps what the walk wrote and adds no stamp.
    // Ending at once mid-walk drops the unfinished rebuild: the index stays the one before, stamps and all.
    void endAtOnceKeepsThePreviousIndex() {
        TempTree old;
        old.file("kept/one.txt");
        TempTree tree;
        for (int i = 0; i < 30; ++i) tree.file("f" + std::to_string(i) + "/x.txt");
        TempIndex index;
        QCOMPARE(testing::runTool("trovander-index", {index.path(), old.root()}), 0);
        index.reopen();
        const auto before = index.records();
        const auto stampsBefore = index.stamps();
        index.close();
        std::string out;
        QCOMPARE(testing::runTool("trovander-index", {index.path(), tree.root(), "--end-after-folders", "10"},
                                  &out),
                 3);
        index.reopen();
        QCOMPARE(index.records(), before);
        QCOMPARE(index.stamps(), stampsBefore);
        index.close();
        QVERIFY(!QFile::exists(QString::fromStdString(index.path() + "-journal")));
    }
};

QTEST_GUILESS_MAIN(TestWalker)
#include "test_walker.moc"
