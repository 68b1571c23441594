// The per-hit look-up of a file's size and time of last change, through the folder it stands in and by its
// full path, for names a file system allows that a naive look-up would trip over.
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>

#include "platform/FileInfo.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::TempTree;

class TestFileInfo : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void looksUpWhatIsThere_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("kind");  // file, folder, link to file, dangling link, missing
        QTest::addColumn<bool>("found");
        QTest::newRow("plain file") << QByteArray("a.txt") << QByteArray("file") << true;
        QTest::newRow("quotes, blanks, $") << QByteArray("it's \"a\" $(x).txt") << QByteArray("file") << true;
        QTest::newRow("newline in the name") << QByteArray("two\nlines") << QByteArray("file") << true;
        QTest::newRow("not UTF-8") << QByteArray("caf\xe9 \xff") << QByteArray("file") << true;
        QTest::newRow("a folder is no file") << QByteArray("sub") << QByteArray("folder") << false;
        QTest::newRow("a link is followed") << QByteArray("link") << QByteArray("link to file") << true;
        QTest::newRow("dangling link") << QByteArray("dangling") << QByteArray("dangling link") << false;
        QTest::newRow("gone") << QByteArray("gone.txt") << QByteArray("missing") << false;
    }
    void looksUpWhatIsThere() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, kind);
        QFETCH(bool, found);
        TempTree tree;
        const std::string folder = tree.folder("dir");
        const std::string path = folder + "/" + name.toStdString();
        const std::string target = tree.file("target.bin", "0123456789");
        if (kind == "file") tree.file("dir/" + name.toStdString(), "twelve bytes");
        if (kind == "folder") tree.folder("dir/" + name.toStdString());
        if (kind == "link to file") QCOMPARE(::symlink(target.c_str(), path.c_str()), 0);
        if (kind == "dangling link") QCOMPARE(::symlink((folder + "/nowhere").c_str(), path.c_str()), 0);
        const int64_t size = kind == "link to file" ? 10 : 12;
        struct stat st {};
        const bool there = ::stat(path.c_str(), &st) == 0;

        // By the full path, and through the folder entered: the same answer both ways.
        for (const bool entered : {false, true}) {
            FileInfo files;
            if (entered) files.enterFolder(folder);
            FileFacts facts;
            QCOMPARE(files.lookUp(folder, name.toStdString(), facts), found);
            if (!found) continue;
            QCOMPARE(facts.sizeBytes, size);
            QVERIFY(there);
            QCOMPARE(facts.modifiedSecs, int64_t(st.st_mtim.tv_sec));
        }
    }

    // A folder that cannot be entered (gone, or no folder at all) leaves the look-ups by path, which then
    // find nothing there rather than something elsewhere.
    void folderThatCannotBeEntered() {
        TempTree tree;
        tree.file("a.txt", "x");
        const std::string gone = tree.path("gone");
        FileInfo files;
        files.enterFolder(gone);
        FileFacts facts;
        QVERIFY(!files.lookUp(gone, "a.txt", facts));
        files.enterFolder(tree.root());
        QVERIFY(files.lookUp(tree.root(), "a.txt", facts));
        QCOMPARE(facts.sizeBytes, int64_t(1));
        files.leaveFolder();
        QVERIFY(!files.lookUp(gone, "a.txt", facts));
    }
};

QTEST_GUILESS_MAIN(TestFileInfo)
#include "test_file_info.moc"
