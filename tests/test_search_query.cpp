// A search over a temporary index and tree: patterns, the look-up of each file, failing queries.
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>
#include <QtTest>

#include "results/CellText.h"
#include "results/ResultsModel.h"
#include "search/Search.h"
#include "store/IndexStore.h"
#include "support/Fixtures.h"

using namespace trovander;
using trovander::testing::TempIndex;
using trovander::testing::TempTree;

namespace {

// A search as the search window shows it: the query, then the list emptied and the waiting window shown
// (opened), then the looked-up rows into the list. A query that fails leaves the list as it was.
int searchInto(IndexStore* store, const QString& text, ResultsModel& list,
               const std::function<void()>& opened = {}) {
    SearchRun search(store, text);
    list.append(search.queryAndLookUp([&] {
        list.clear();
        if (opened) opened();
    }));
    return list.count();
}
// Every name of the fixture; "docs" is a folder record.
const char* const kFiles[] = {"setup.exe",   "setup.exe.bak", "x.executable", "notes.txt", "my_big_file.doc",
                              "file my.doc", "ac.txt",        "abc.txt",      "a_c.txt",   "readme.txt",
                              "don't.txt",   "über.txt",      "50%.txt"};

QStringList names(const ResultsModel& model) {
    QStringList out;
    for (int r = 0; r < model.count(); ++r) out << model.cellText(r, ResultsModel::NameColumn);
    out.sort();
    return out;
}
}  // namespace

class TestSearchQuery : public QObject {
    Q_OBJECT

    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TempIndex> index_;

  private Q_SLOTS:
    void initTestCase() {
        tree_ = std::make_unique<TempTree>();
        index_ = std::make_unique<TempIndex>();
        for (const char* name : kFiles) {
            tree_->file(std::string("box/") + name, "1234");
            index_->store().insertRecord(tree_->path("box"), name, EntryType::File);
        }
        tree_->folder("box/docs");
        index_->store().insertRecord(tree_->path("box"), "docs", EntryType::Folder);
        index_->store().commitBatch();
    }

    void pattern_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("listed");
        QStringList all({"docs"});
        for (const char* n : kFiles) all << QString::fromUtf8(n);
        all.sort();
        const QStringList txt = {"50%.txt",   "a_c.txt",   "abc.txt",    "ac.txt",
                                 "don't.txt", "notes.txt", "readme.txt", "über.txt"};
        QTest::newRow("empty lists everything") << ""
                                                << "" << all;
        QTest::newRow("first text of the box")
            << ".exe"
            << ".exe" << QStringList({"setup.exe", "setup.exe.bak", "x.executable"});
        QTest::newRow("star") << "*.txt"
                              << "%.txt" << txt;
        QTest::newRow("no star") << ".txt"
                                 << ".txt" << txt;
        QTest::newRow("blank") << "my file"
                               << "my%file" << QStringList({"my_big_file.doc"});
        QTest::newRow("question mark is any run") << "a?c"
                                                  << "a%c" << QStringList({"a_c.txt", "abc.txt", "ac.txt"});
        QTest::newRow("all three, in order")
            << "s* ?x"
            << "s%%%x" << QStringList({"notes.txt", "setup.exe", "setup.exe.bak"});
        QTest::newRow("letter case") << "README"
                                     << "README" << QStringList({"readme.txt"});
        QTest::newRow("letter case beyond ascii") << "ÜBER"
                                                  << "ÜBER" << QStringList({"über.txt"});
        QTest::newRow("apostrophe") << "don't"
                                    << "don't" << QStringList({"don't.txt"});
        QTest::newRow("underscore is one character") << "a_c"
                                                     << "a_c" << QStringList({"a_c.txt", "abc.txt"});
        QTest::newRow("typed percent") << "50%"
                                       << "50%" << all.filter(QStringLiteral("50"));
        QTest::newRow("statement text is only pattern") << "' OR 1=1 --"
                                                        << "'%OR%1=1%--" << QStringList();
        // Without blanks the quotes would make a statement that runs and matches every record, were the
        // text ever spliced into the SQL: bound, it is a name no record has.
        QTest::newRow("quotes that would close the literal") << "'OR'1'='1"
                                                             << "'OR'1'='1" << QStringList();
        QTest::newRow("no hits") << "zzz"
                                 << "zzz" << QStringList();
    }
    void pattern() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QStringList, listed);
        QCOMPARE(QString::fromStdString(namePattern(text.toStdString())), pattern);
        ResultsModel model;
        bool opened = false;
        const int rows = searchInto(&index_->store(), text, model, [&] {
            QCOMPARE(model.count(), 0);  // emptied before the waiting window shows
            opened = true;
        });
        QVERIFY(opened);
        QCOMPARE(rows, model.count());
        QCOMPARE(names(model), listed);
    }

    void secondSearchReplacesFirst() {
        ResultsModel model;
        QCOMPARE(searchInto(&index_->store(), "", model), int(std::size(kFiles)) + 1);
        QCOMPARE(searchInto(&index_->store(), "setup", model), 2);
        QCOMPARE(names(model), QStringList({"setup.exe", "setup.exe.bak"}));
    }

    // A query that fails is said, never taken for a search without hits: the StoreError reaches the
    // caller before the list or the waiting window is touched.
    void failedQueryIsNotAnEmptyResult_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("fault");
        QTest::newRow("index file overwritten") << "overwrite" << int(StoreFault::WrongKey);
        // An emptied file reads as one without tables or as a short read, depending on what is cached.
        QTest::newRow("index file emptied") << "truncate" << -1;
    }
    void failedQueryIsNotAnEmptyResult() {
        QFETCH(QString, damage);
        QFETCH(int, fault);
        TempIndex broken;
        broken.store().insertRecord(tree_->path("box"), "readme.txt", EntryType::File);
        broken.store().commitBatch();
        broken.reopen();  // an empty page cache: the next query reads the file
        QFile file(QString::fromStdString(broken.path()));
        if (damage == "overwrite") {
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(QByteArray(int(file.size()), '\x5a'));
            file.close();
        } else {
            QVERIFY(file.resize(0));
        }
        ResultsModel model;
        const int before = searchInto(&index_->store(), "", model);
        bool opened = false;
        try {
            searchInto(&broken.store(), "readme", model, [&] { opened = true; });
            QFAIL("a search of a damaged index gave a result");
        } catch (const StoreError& e) {
            QVERIFY2(fault < 0 || int(e.fault()) == fault, e.what());
            QVERIFY(QString::fromStdString(e.what()).contains(QString::fromStdString(broken.path())));
        }
        QVERIFY(!opened);
        QCOMPARE(model.count(), before);
    }

    void noStoreFindsNothing() {
        ResultsModel model;
        bool opened = false;
        QCOMPARE(searchInto(nullptr, "readme", model, [&] { opened = true; }), 0);
        QVERIFY(opened);
        QCOMPARE(countCaption(model.count()), QStringLiteral("0 item(s) found"));
    }

    void filesAreLookedUpNow() {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        TempTree tree;
        TempIndex index;
        const std::string here = tree.file("d/here.txt", std::string(1280, 'x'));
        tree.file("d/gone.txt", "soon gone");
        const std::string later = tree.file("d/later.txt", std::string(1025, 'y'));
        tree.folder("d/sub");
        for (const char* name : {"here.txt", "gone.txt", "sub", "later.txt"})
            index.store().insertRecord(tree.path("d"), name,
                                       std::string_view(name) == "sub" ? EntryType::Folder : EntryType::File);
        // A file record whose path is a folder now: the look-up of a file fails on it.
        index.store().insertRecord(tree.path("d"), "sub", EntryType::File);
        // A file in a folder that is gone.
        index.store().insertRecord(tree.path("nowhere"), "here.txt", EntryType::File);
        index.store().commitBatch();
        QVERIFY(::unlink(tree.path("d/gone.txt").c_str()) == 0);
        const QDateTime midnight(QDate(2023, 7, 14), QTime(0, 0));
        QFile laterFile(QString::fromStdString(later));
        QVERIFY(laterFile.open(QIODevice::ReadWrite));
        QVERIFY(laterFile.setFileTime(midnight, QFileDevice::FileModificationTime));
        laterFile.close();

        ResultsModel model;
        QCOMPARE(searchInto(&index.store(), "", model), 6);
        const QDateTime hereTime = QFileInfo(QString::fromStdString(here)).lastModified();
        const QStringList expectSize = {"1.2 KB(s)", "", "Folder", "1 KB(s)", "", ""};
        const QStringList expectDate = {DateText().format(hereTime), "", "", "7/14/23", "", ""};
        for (int r = 0; r < model.count(); ++r) {
            QCOMPARE(model.cellText(r, ResultsModel::SizeColumn), expectSize[r]);
            QCOMPARE(model.cellText(r, ResultsModel::DateColumn), expectDate[r]);
        }
        QCOMPARE(model.cellText(1, ResultsModel::NameColumn), QStringLiteral("gone.txt"));
        QCOMPARE(model.cellText(1, ResultsModel::FolderColumn), QString::fromStdString(tree.path("d")));
        QLocale::setDefault(QLocale::c());
    }

    void manyRowsOnWorkerThreads() {
        // Enough file rows to split the look-ups; every row keeps its own result.
        TempTree tree;
        TempIndex index;
        constexpr int kRows = 12000;
        for (int i = 0; i < kRows; ++i) {
            const std::string folder = QStringLiteral("f%1").arg(i / 50).toStdString();
            const std::string name = QStringLiteral("n%1.dat").arg(i).toStdString();
            if (i % 3 == 0) tree.file(folder + "/" + name, std::string(static_cast<size_t>(i % 7), 'z'));
            index.store().insertRecord(tree.path(folder), name, EntryType::File);
        }
        index.store().commitBatch();
        ResultsModel model;
        QCOMPARE(searchInto(&index.store(), ".dat", model), kRows);
        for (int r = 0; r < kRows; ++r) {
            const int i = model.cellText(r, 0).mid(1).section('.', 0, 0).toInt();
            const QString size = model.cellText(r, ResultsModel::SizeColumn);
            QCOMPARE(size, i % 3 == 0 ? QString::number(i % 7) + " Bytes(s)" : QString());
        }
    }

    void nonUtf8NameIsLookedUpByItsBytes() {
        TempTree tree;
        TempIndex index;
        const std::string raw("caf\xe9 \"q\"\n.txt");
        tree.file("x/" + raw, "abc");
        index.store().insertRecord(tree.path("x"), raw, EntryType::File);
        index.store().commitBatch();
        ResultsModel model;
        QCOMPARE(searchInto(&index.store(), "caf", model), 1);
        QCOMPARE(model.nameBytes(0), QByteArray::fromStdString(raw));
        QCOMPARE(model.cellText(0, ResultsModel::SizeColumn), QStringLiteral("3 Bytes(s)"));
        QVERIFY(model.cellText(0, 0).contains(QChar(0xFFFD)));
    }

    void rootFileThroughDoubledSeparator() {
        QTemporaryFile rootFile(QStringLiteral("/trovander-root-XXXXXX.txt"));
        if (!rootFile.open()) QSKIP("the root folder is not writable here");
        rootFile.write(QByteArray(2048, 'r'));
        rootFile.flush();
        const QString name = QFileInfo(rootFile.fileName()).fileName();
        QCOMPARE(QFileInfo(QStringLiteral("//") + name).size(), 2048);  // the doubled form names the file
        TempIndex index;
        index.store().insertRecord("/", name.toStdString(), EntryType::File);
        index.store().commitBatch();
        ResultsModel model;
        QCOMPARE(searchInto(&index.store(), name, model), 1);
        QCOMPARE(model.cellText(0, ResultsModel::FolderColumn), QStringLiteral("/"));
        QCOMPARE(model.cellText(0, ResultsModel::SizeColumn), QStringLiteral("2 KB(s)"));
        QVERIFY(!model.cellText(0, ResultsModel::DateColumn).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSearchQuery)
#include "test_search_query.moc"
