// The results model: cells, sorting by text in one direction, and the model contract under a tester.
#include <QAbstractItemModelTester>
#include <QtTest>

#include "results/CellText.h"
#include "results/ResultsModel.h"

using namespace trovander;

namespace {
struct Fact {
    const char* name;
    const char* folder;
    qint64 sizeBytes;  // -1: not found, -2: folder record
    QDateTime modified;
};

ResultRows rowsOf(const std::vector<Fact>& facts) {
    ResultRows rows;
    for (const Fact& f : facts) {
        if (f.sizeBytes == -2) {
            rows.addFolder(f.name, f.folder);
            continue;
        }
        rows.addFile(f.name, f.folder);
        if (f.sizeBytes >= 0) rows.setFound(rows.size() - 1, f.sizeBytes, f.modified.toSecsSinceEpoch());
    }
    return rows;
}

QStringList column(const ResultsModel& model, int col) {
    QStringList out;
    for (int r = 0; r < model.count(); ++r) out << model.cellText(r, col);
    return out;
}
}  // namespace

class TestSearchModel : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("en_US"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void cellsOfEachKind() {
        ResultsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QDateTime when(QDate(2024, 3, 5), QTime(13, 5, 9));
        model.append(rowsOf({{"a.txt", "/data", 1280, when},
                             {"gone.txt", "/data", -1, {}},
                             {"docs", "/data", -2, {}},
                             {"b.bin", "/", 1572864, when}}));
        QCOMPARE(model.count(), 4);
        QCOMPARE(model.columnCount(), 4);
        const QStringList headers = {"File Name", "File Path", "Size", "Date Modified"};
        for (int c = 0; c < 4; ++c)
            QCOMPARE(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), headers[c]);
        QCOMPARE(column(model, ResultsModel::NameColumn),
                 QStringList({"a.txt", "gone.txt", "docs", "b.bin"}));
        QCOMPARE(column(model, ResultsModel::FolderColumn), QStringList({"/data", "/data", "/data", "/"}));
        QCOMPARE(column(model, ResultsModel::SizeColumn),
                 QStringList({"1.2 KB(s)", "", "Folder", "1.5 MB(s)"}));
        QCOMPARE(column(model, ResultsModel::DateColumn),
                 QStringList({"3/5/24 1:05:09 PM", "", "", "3/5/24 1:05:09 PM"}));
        QCOMPARE(model.data(model.index(3, 2), Qt::DisplayRole).toString(), QStringLiteral("1.5 MB(s)"));
        QCOMPARE(model.folderBytes(3), QByteArray("/"));
    }

    void namesKeepTheirBytes() {
        ResultsModel model;
        const std::string raw("caf\xe9.txt", 8);  // Latin-1 é: not UTF-8
        ResultRows rows;
        rows.addFile(raw, "/tmp/\xff");
        model.append(std::move(rows));
        QCOMPARE(model.nameBytes(0), QByteArray(raw.data(), 8));
        QCOMPARE(model.folderBytes(0), QByteArray("/tmp/\xff"));
        QCOMPARE(model.cellText(0, ResultsModel::NameColumn), QString::fromUtf8("caf\xEF\xBF\xBD.txt"));
        QCOMPARE(model.cellText(0, ResultsModel::FolderColumn), QString::fromUtf8("/tmp/\xEF\xBF\xBD"));
    }

    void sortsByText_data() {
        QTest::addColumn<int>("col");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("names, case only breaks ties")
            << int(ResultsModel::NameColumn) << QStringList({"A.txt", "a.txt", "b.txt", "C.txt", "docs"});
        // Texts, not numbers: "10 KB(s)" before "9.5 KB(s)", and the unit does not count.
        QTest::newRow("sizes as text") << int(ResultsModel::SizeColumn)
                                       << QStringList({"", "10 KB(s)", "2 MB(s)", "9.5 KB(s)", "Folder"});
        // "1/2/..." before "3/5/..." although 5 March 2023 is earlier than 2 January 2024.
        QTest::newRow("dates as text")
            << int(ResultsModel::DateColumn)
            << QStringList({"", "", "1/2/24 8:00:00 AM", "3/5/23 8:00:00 AM", "3/5/23 9:00:00 AM"});
        QTest::newRow("folders") << int(ResultsModel::FolderColumn)
                                 << QStringList({"/a", "/a", "/b", "/B/c", "/z"});
    }
    void sortsByText() {
        QFETCH(int, col);
        QFETCH(QStringList, sorted);
        ResultsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QDate jan2(2024, 1, 2), mar5(2023, 3, 5);
        model.append(rowsOf({{"b.txt", "/z", 10240, QDateTime(mar5, QTime(9, 0))},
                             {"C.txt", "/a", 9728, QDateTime(jan2, QTime(8, 0))},
                             {"docs", "/b", -2, {}},
                             {"a.txt", "/a", 2097152, QDateTime(mar5, QTime(8, 0))},
                             {"A.txt", "/B/c", -1, {}}}));
        // Keep a selection-like handle on one row: it must follow its row through the sort.
        const QPersistentModelIndex docs(model.index(2, 0));
        model.sortByColumn(col);
        QVERIFY(model.isSorted());
        QCOMPARE(model.sortColumn(), col);
        QCOMPARE(column(model, col), sorted);
        QCOMPARE(docs.data().toString(), QStringLiteral("docs"));
        // Rows stay whole: every name still sits beside its own folder.
        for (int r = 0; r < model.count(); ++r) {
            const QString name = model.cellText(r, 0);
            if (name == "docs") QCOMPARE(model.cellText(r, 2), QStringLiteral("Folder"));
            if (name == "b.txt") QCOMPARE(model.cellText(r, 1), QStringLiteral("/z"));
        }
        // A second click on the same header keeps the order: there is no descending direction.
        model.sortByColumn(col);
        QCOMPARE(column(model, col), sorted);
        model.sort(col, Qt::DescendingOrder);
        QCOMPARE(column(model, col), sorted);
    }

    void equalTextsKeepArrivalOrder() {
        ResultsModel model;
        model.append(rowsOf(
            {{"same", "/1", -1, {}}, {"same", "/2", -1, {}}, {"a", "/3", -1, {}}, {"same", "/4", -1, {}}}));
        model.sortByColumn(ResultsModel::NameColumn);
        QCOMPARE(column(model, ResultsModel::FolderColumn), QStringList({"/3", "/1", "/2", "/4"}));
    }

    // The folded keys give compareCellTexts' order for every kind of name: shared prefixes, case ties,
    // letters beyond ASCII, units above the surrogates, bytes that are not UTF-8; enough rows that the sort
    // splits its work, each name many times so that equal texts keep their arrival order.
    void sortMatchesTextOrder_data() {
        QTest::addColumn<int>("copies");
        QTest::newRow("few") << 1;
        QTest::newRow("split across threads") << 9000;
    }
    void sortMatchesTextOrder() {
        QFETCH(int, copies);
        const std::vector<std::string> names = {"report",
                                                "Report",
                                                "REPORT",
                                                "repo",
                                                "reports",
                                                "repOrt.txt",
                                                "\xc3\x9c"
                                                "ber",
                                                "\xc3\xbc"
                                                "ber",
                                                "uber",
                                                "Stra\xc3\x9f"
                                                "e",
                                                "STRASSE",
                                                "\xef\xbd\x81",
                                                "\xf0\x9f\x98\x80",
                                                "caf\xe9",
                                                "caf\xef\xbf\xbd",
                                                "",
                                                "_x",
                                                "Zz",
                                                "zZ",
                                                "a b",
                                                "a\tb",
                                                "\xe1\xba\x9e",
                                                "\xc3\x9f"};
        ResultRows rows;
        for (int c = 0; c < copies; ++c)
            for (size_t i = 0; i < names.size(); ++i) rows.addFile(names[i], "/" + std::to_string(c));
        ResultsModel model;
        model.append(std::move(rows));
        model.sortByColumn(ResultsModel::NameColumn);
        QCOMPARE(model.count(), int(names.size()) * copies);
        for (int r = 1; r < model.count(); ++r) {
            const int order = compareCellTexts(model.cellText(r - 1, 0), model.cellText(r, 0));
            QVERIFY2(order <= 0, qPrintable(QString("row %1: %2 after %3")
                                                .arg(r)
                                                .arg(model.cellText(r, 0), model.cellText(r - 1, 0))));
            if (order == 0 && model.nameBytes(r - 1) == model.nameBytes(r))
                QVERIFY(model.cellText(r - 1, 1).mid(1).toInt() < model.cellText(r, 1).mid(1).toInt());
        }
    }

    void sortColumnSurvivesNewRows() {
        ResultsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.append(rowsOf({{"m", "/", -1, {}}, {"c", "/", -1, {}}}));
        model.sortByColumn(ResultsModel::NameColumn);
        // A new search: emptied, then filled in index order; it shows in the chosen column's order.
        model.clear();
        QVERIFY(model.isSorted());
        model.append(rowsOf({{"zeta", "/", -1, {}}, {"alpha", "/", -1, {}}, {"mid", "/", -1, {}}}));
        QCOMPARE(column(model, 0), QStringList({"alpha", "mid", "zeta"}));
        // Rows added one at a time land in place too, after equal texts.
        model.append(rowsOf({{"beta", "/x", 1075, {}}}));
        model.append(rowsOf({{"mid", "/y", -1, {}}}));
        model.append(rowsOf({{"aaa", "/z", -1, {}}}));
        QCOMPARE(column(model, 0), QStringList({"aaa", "alpha", "beta", "mid", "mid", "zeta"}));
        QCOMPARE(model.cellText(4, ResultsModel::FolderColumn), QStringLiteral("/y"));
        QCOMPARE(model.cellText(2, ResultsModel::SizeColumn), QStringLiteral("1 KB(s)"));
    }

    void mixedAdditionsUnsorted() {
        ResultsModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.append(rowsOf({{"first", "/f", -2, {}}}));
        model.append(rowsOf({{"second", "/s", 5, QDateTime(QDate(2024, 3, 5), QTime(0, 0))}}));
        model.append(rowsOf({{"third", "/t", -1, {}}}));
        model.append(rowsOf({{"fourth", "/s", -2, {}}}));
        QCOMPARE(column(model, 0), QStringList({"first", "second", "third", "fourth"}));
        QCOMPARE(column(model, 1), QStringList({"/f", "/s", "/t", "/s"}));
        QCOMPARE(column(model, 2), QStringList({"Folder", "5 Bytes(s)", "", "Folder"}));
        QCOMPARE(column(model, 3), QStringList({"", "3/5/24", "", ""}));
        model.sortByColumn(ResultsModel::FolderColumn);
        QCOMPARE(column(model, 0), QStringList({"first", "second", "fourth", "third"}));
        model.clear();
        QCOMPARE(model.count(), 0);
        QCOMPARE(model.cellText(0, 0), QString());
        QCOMPARE(model.nameBytes(0), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestSearchModel)
#include "test_search_model.moc"
