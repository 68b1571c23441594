// The search and results windows on real widgets: the search steps, keys, header clicks, New Search, End.
#include <QHeaderView>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "ClickLabel.h"
#include "WindowSet.h"
#include "frmMain.h"
#include "frmResult.h"
#include "frmSearching.h"
#include "platform/ProgramEnd.h"
#include "store/IndexStore.h"
#include "support/Fixtures.h"
#include "support/UiFakes.h"

using namespace trovander;
using trovander::testing::TempIndex;
using trovander::testing::TempTree;

namespace {
// Notes what the other windows look like at the moment the waiting window comes and goes.
class WaitingWatcher : public QObject {
  public:
    WaitingWatcher(Windows& windows) : windows_(windows) { windows.searching().installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            ++shown;
            rowsWhenShown = windows_.result().results().count();
            resultVisibleWhenShown = windows_.result().isVisible();
            mainVisibleWhenShown = windows_.main().isVisible();
        } else if (event->type() == QEvent::Hide) {
            resultVisibleWhenHidden = windows_.result().isVisible();
            mainVisibleWhenHidden = windows_.main().isVisible();
        }
        return false;
    }
    int shown = 0, rowsWhenShown = -1;
    bool resultVisibleWhenShown = true, mainVisibleWhenShown = false;
    bool resultVisibleWhenHidden = false, mainVisibleWhenHidden = false;

  private:
    Windows& windows_;
};

QStringList columnTexts(frmResult& result, int col) {
    QStringList out;
    for (int r = 0; r < result.results().count(); ++r) out << result.results().cellText(r, col);
    return out;
}
}  // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TempIndex> index_;
    std::unique_ptr<testing::TestServices> fixture_;
    Services* services_ = nullptr;
    std::unique_ptr<ProgramEnd> end_;
    std::unique_ptr<Windows> windows_;
    QList<int> ends_;

    frmMain& main() { return windows_->main(); }
    frmResult& result() { return windows_->result(); }

    void search(const QString& text) {
        main().txtSearch->setText(text);
        QTest::mouseClick(main().cmdSearch, Qt::LeftButton);
    }
    void clickHeader(int column) {
        QHeaderView* header = result().lstResult->header();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

  private Q_SLOTS:
    void init() {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        tree_ = std::make_unique<TempTree>();
        index_ = std::make_unique<TempIndex>();
        // Index order is not name order, so a sort shows.
        const std::pair<const char*, size_t> files[] = {
            {"m-report.txt", 10240}, {"b-report.txt", 9728}, {"z-report.txt", 1}, {"notes.doc", 2097152}};
        for (auto [name, bytes] : files) {
            tree_->file(std::string("d/") + name, std::string(bytes, 'x'));
            index_->store().insertRecord(tree_->path("d"), name, EntryType::File);
        }
        tree_->folder("d/a-reports");
        index_->store().insertRecord(tree_->path("d"), "a-reports", EntryType::Folder);
        index_->store().commitBatch();
        fixture_ = std::make_unique<testing::TestServices>(index_->store());
        services_ = &fixture_->services;
        ends_.clear();
        end_ = std::make_unique<ProgramEnd>([this](int status) { ends_ << status; });
        services_->end = end_.get();
        windows_ = std::make_unique<Windows>(*services_);
        main().show();
    }
    void cleanup() {
        windows_.reset();
        end_.reset();
        QLocale::setDefault(QLocale::c());
    }

    void searchRunsItsStepsInOrder() {
        WaitingWatcher watcher(*windows_);
        search(QStringLiteral("report"));
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("4 item(s) found"));
        QCOMPARE(columnTexts(result(), 0),
                 QStringList({"m-report.txt", "b-report.txt", "z-report.txt", "a-reports"}));
        QCOMPARE(columnTexts(result(), 2), QStringList({"10 KB(s)", "9.5 KB(s)", "1 Bytes(s)", "Folder"}));
        QVERIFY(result().isVisible());
        QVERIFY(!windows_->searching().isVisible());
        QVERIFY(!main().isVisible());
        // The waiting window came after the list was emptied and went after the results window came.
        QCOMPARE(watcher.shown, 1);
        QCOMPARE(watcher.rowsWhenShown, 0);
        QVERIFY(!watcher.resultVisibleWhenShown);
        QVERIFY(watcher.mainVisibleWhenShown);
        QVERIFY(watcher.resultVisibleWhenHidden);
        QVERIFY(watcher.mainVisibleWhenHidden);
        // The box keeps its text for the next search.
        QCOMPARE(main().txtSearch->text(), QStringLiteral("report"));
        QVERIFY(fixture_->urls.opened.isEmpty() && ends_.isEmpty());
    }

    void secondSearchCountsOnlyItsOwn() {
        search(QString());
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("5 item(s) found"));
        QTest::mouseClick(result().cmdNewSearch, Qt::LeftButton);
        search(QStringLiteral("notes"));
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("1 item(s) found"));
        QCOMPARE(columnTexts(result(), 0), QStringList({"notes.doc"}));
    }

    void emptyEndings_data() {
        QTest::addColumn<bool>("unreachable");
        QTest::newRow("no hits") << false;
        QTest::newRow("no index to ask") << true;
    }
    void emptyEndings() {
        QFETCH(bool, unreachable);
        search(QStringLiteral("report"));  // rows that the next search must take away
        QTest::mouseClick(result().cmdNewSearch, Qt::LeftButton);
        if (unreachable) services_->store = nullptr;
        search(unreachable ? QStringLiteral("report") : QStringLiteral("nothing-like-this"));
        QCOMPARE(result().results().count(), 0);
        QCOMPARE(result().lstResult->model()->rowCount(), 0);
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("0 item(s) found"));
        QVERIFY(result().isVisible());
        QVERIFY(!main().isVisible());
        QVERIFY(!windows_->searching().isVisible());
    }

    // A search the index cannot answer says why in a message box over the search window, which stays for
    // another try; it never shows "0 item(s) found".
    void failedSearchIsSaid() {
        TempIndex damaged;
        for (int i = 0; i < 3000; ++i)
            damaged.store().insertRecord(tree_->path("d"), "report " + std::to_string(i), EntryType::File);
        damaged.store().commitBatch();
        damaged.reopen();
        testing::damageMiddle(damaged.path());
        services_->store = &damaged.store();
        QStringList said;
        main().runMessageBox = [&](QMessageBox& box) {
            QVERIFY(box.isModal());
            said << box.text();
        };
        search(QStringLiteral("report"));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(QStringLiteral("is damaged; press Scan")), qPrintable(said[0]));
        QVERIFY(said[0].contains(QString::fromStdString(damaged.path())));
        QVERIFY(main().isVisible());
        QVERIFY(!result().isVisible());
        QVERIFY(!windows_->searching().isVisible());
        services_->store = &index_->store();
        search(QStringLiteral("report"));  // the next search of a sound index goes on as ever
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("4 item(s) found"));
        QCOMPARE(said.size(), 1);
    }

    // While a search reads the index and looks its files up, the window thread's event loop goes on
    // (timers fire, windows paint), and an Enter that comes in meanwhile starts no second search.
    void eventLoopRunsDuringSearch() {
        TempIndex big;
        for (int i = 0; i < 30000; ++i)
            big.store().insertRecord(tree_->path("d"), "report " + std::to_string(i), EntryType::File);
        big.store().commitBatch();
        services_->store = &big.store();
        WaitingWatcher watcher(*windows_);
        bool inSearch = false;
        int ticks = 0;
        QTimer tick;
        tick.setInterval(0);
        connect(&tick, &QTimer::timeout, [&] {
            if (!inSearch) return;
            ++ticks;
            main().txtSearch_KeyUp(Qt::Key_Return);
        });
        tick.start();
        inSearch = true;
        search(QStringLiteral("report"));
        inSearch = false;
        tick.stop();
        services_->store = &index_->store();
        QVERIFY(ticks > 0);
        QCOMPARE(watcher.shown, 1);
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("30000 item(s) found"));
        QVERIFY(!windows_->searching().isVisible());
        QVERIFY(!main().isVisible());
    }

    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("searches");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
        QTest::newRow("Shift+Enter") << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true;
        QTest::newRow("Ctrl+Alt+Enter")
            << int(Qt::Key_Return) << int(Qt::ControlModifier | Qt::AltModifier) << true;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("letter") << int(Qt::Key_R) << int(Qt::NoModifier) << false;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << false;
        QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << false;
        QTest::newRow("Shift alone") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << false;
    }
    void keys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, searches);
        main().txtSearch->setText(QStringLiteral("notes"));
        QTest::keyClick(main().txtSearch, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(result().isVisible(), searches);
        QCOMPARE(main().isVisible(), !searches);
        if (searches) QCOMPARE(result().lblSearchResult->text(), QStringLiteral("1 item(s) found"));
    }

    void keyUpSearchesOnlyOnEnter() {
        main().txtSearch->setText(QStringLiteral("zzz"));
        main().txtSearch_KeyUp(Qt::Key_A);
        QVERIFY(!windows_->isLoadedResult() || !result().isVisible());
        main().txtSearch_KeyUp(Qt::Key_Enter);
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("0 item(s) found"));
    }

    void headerClicksSort() {
        search(QStringLiteral("report"));
        clickHeader(ResultsModel::NameColumn);
        const QStringList byName = {"a-reports", "b-report.txt", "m-report.txt", "z-report.txt"};
        QCOMPARE(columnTexts(result(), 0), byName);
        // The view shows the model's order.
        QCOMPARE(result().lstResult->model()->index(0, 0).data().toString(), QStringLiteral("a-reports"));
        clickHeader(ResultsModel::NameColumn);
        QCOMPARE(columnTexts(result(), 0), byName);
        // Sizes as texts: "10 KB(s)" before "9.5 KB(s)".
        clickHeader(ResultsModel::SizeColumn);
        QCOMPARE(columnTexts(result(), 2), QStringList({"1 Bytes(s)", "10 KB(s)", "9.5 KB(s)", "Folder"}));
        QCOMPARE(columnTexts(result(), 0),
                 QStringList({"z-report.txt", "m-report.txt", "b-report.txt", "a-reports"}));

        // The sort column survives New Search and the next search.
        QTest::mouseClick(result().cmdNewSearch, Qt::LeftButton);
        QVERIFY(!result().isVisible());
        QVERIFY(main().isVisible());
        QCOMPARE(main().txtSearch->text(), QStringLiteral("report"));
        search(QStringLiteral("."));
        QCOMPARE(columnTexts(result(), 2), QStringList({"1 Bytes(s)", "10 KB(s)", "2 MB(s)", "9.5 KB(s)"}));
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("4 item(s) found"));
    }

    void newSearchKeepsTheList() {
        search(QStringLiteral("report"));
        result().lstResult->setCurrentIndex(result().results().index(2, 0));
        QTest::mouseClick(result().cmdNewSearch, Qt::LeftButton);
        QVERIFY(!result().isVisible());
        QVERIFY(main().isVisible());
        QCOMPARE(result().results().count(), 4);
        QCOMPARE(result().lblSearchResult->text(), QStringLiteral("4 item(s) found"));
        QCOMPARE(result().lstResult->currentIndex().row(), 2);
        QVERIFY(ends_.isEmpty());
    }

    void endLeavesAtOnce() {
        search(QStringLiteral("report"));
        QTest::mouseClick(result().cmdClose, Qt::LeftButton);
        QCOMPARE(ends_, QList<int>({0}));
        // Nothing a closing search window does happens: no web page.
        QVERIFY(fixture_->urls.opened.isEmpty());
        QCOMPARE(index_->records().size(), size_t(5));
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_search_window.moc"
