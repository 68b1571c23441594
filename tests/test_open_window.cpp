// Opening from the real results window: double-click and Open on lstResult, with the desktop's own
// associations on temporary XDG folders, or with a recording launcher.
#include <fcntl.h>
#include <unistd.h>

#include <QClipboard>
#include <QMimeData>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include "ClickLabel.h"
#include "WindowSet.h"
#include "frmResult.h"
#include "platform/AssociationStore_memory.h"
#include "results/Opener.h"
#include "support/Fixtures.h"
#include "support/OpenFakes.h"
#include "support/UiFakes.h"

using namespace trovander;
using trovander::testing::appendFolder;
using trovander::testing::appendFound;
using trovander::testing::LaunchRequest;
using trovander::testing::RecordingLauncher;
using trovander::testing::SystemOpening;
using trovander::testing::TempIndex;
using trovander::testing::TempXdg;

namespace {

constexpr int kHelperWaitMs = 10000;

QPoint rowCentre(QTreeView* list, int row) { return list->visualRect(list->model()->index(row, 0)).center(); }

// A user's double-click: its first press selects the row, its second comes as the double-click.
// QTest's double-click alone carries no first press.
void doubleClickRow(QTreeView* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, row));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, row));
}

QStringList describe(const QList<LaunchRequest>& requests) {
    QStringList seen;
    for (const LaunchRequest& r : requests)
        seen << QStringLiteral("%1 %2").arg(r.kind == LaunchRequest::Folder     ? "folder"
                                            : r.kind == LaunchRequest::ShowItem ? "show"
                                                                                : "command",
                                            QString::fromUtf8(r.path));
    return seen;
}

}  // namespace

class TestOpenWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TempIndex> index_;
    std::unique_ptr<testing::TestServices> fixture_;
    Services* services_ = nullptr;
    std::unique_ptr<Windows> windows_;

    frmResult& result() { return windows_->result(); }

    // .txt files open with "editor"; what is started is recorded, nothing runs.
    std::unique_ptr<MemoryAssociationStore> store_;
    std::unique_ptr<RecordingLauncher> launcher_;
    void useEditor() {
        store_ = std::make_unique<MemoryAssociationStore>();
        launcher_ = std::make_unique<RecordingLauncher>();
        store_->setText(".txt", "txtfile");
        store_->setText("txtfile\\shell\\open\\command", "editor \"%1\"");
        services_->associations = store_.get();
        services_->launcher = launcher_.get();
    }

    void makeWindows() {
        windows_ = std::make_unique<Windows>(*services_);
        result().show();
        QVERIFY(QTest::qWaitForWindowExposed(&result()));
    }

  private Q_SLOTS:
    void init() {
        index_ = std::make_unique<TempIndex>();
        fixture_ = std::make_unique<testing::TestServices>(index_->store());
        services_ = &fixture_->services;
    }
    void cleanup() {
        windows_.reset();
        fixture_.reset();
        launcher_.reset();
        store_.reset();
        index_.reset();
    }

    // The desktop's associations from start to end: glob, desktop entry, user default, helper program.
    void doubleClickHandsTheHelperThePath_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("spaces, quotes and $(...)") << QByteArray("it's a \"report\" $(touch pwned) `id`.tvt");
        QTest::newRow("not UTF-8") << QByteArray("r\xe9sum\xe9 \xff.tvt");
    }
    void doubleClickHandsTheHelperThePath() {
        QFETCH(QByteArray, name);
        TempXdg xdg;
        xdg.associateRecorderWithTvt();
        SystemOpening opening(*services_);
        makeWindows();

        const QByteArray folder = xdg.root() + "/found files";
        xdg.write(folder + "/other.txt", "x");
        // By its bytes: a name that is not UTF-8 does not survive QFile's names.
        const int fd = ::open((folder + "/" + name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        appendFound(result().results(), "other.txt", folder.toStdString(), /*sizeBytes=*/1);
        appendFound(result().results(), name.toStdString(), folder.toStdString(), /*sizeBytes=*/1075);
        doubleClickRow(result().lstResult, 1);

        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        QCOMPARE(*xdg.recorded(), QList<QByteArray>{folder + "/" + name});
        QVERIFY(!QFile::exists(QFile::decodeName(xdg.root() + "/pwned")));
        // The window goes on as it was.
        QVERIFY(result().isVisible());
        QCOMPARE(result().results().count(), 2);
        QCOMPARE(result().lstResult->selectionModel()->selectedRows().value(0).row(), 1);
    }

    // Open on the selected row; the store knows ".txt" with an editor.
    void openButton_data() {
        QTest::addColumn<int>("selectRow");  // -1: no row selected
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("no row selected") << -1 << QStringList();
        QTest::newRow("file row") << 0 << QStringList{"command /docs/a b.txt"};
        QTest::newRow("folder row opens the folder cell") << 1 << QStringList{"folder /docs"};
        QTest::newRow("second file row") << 2 << QStringList{"command /docs/c.txt"};
    }
    void openButton() {
        QFETCH(int, selectRow);
        QFETCH(QStringList, requests);
        useEditor();
        makeWindows();
        appendFound(result().results(), "a b.txt", "/docs", /*sizeBytes=*/1075);
        appendFolder(result().results(), "sub.txt", "/docs");
        appendFound(result().results(), "c.txt", "/docs", /*sizeBytes=*/1075);
        if (selectRow >= 0)
            QTest::mouseClick(result().lstResult->viewport(), Qt::LeftButton, {},
                              rowCentre(result().lstResult, selectRow));
        QTest::mouseClick(result().cmdOpen, Qt::LeftButton);
        QStringList seen;
        for (const LaunchRequest& r : launcher_->requests)
            seen << QStringLiteral("%1 %2").arg(r.kind == LaunchRequest::Folder ? "folder" : "command",
                                                QString::fromUtf8(r.path));
        QCOMPARE(seen, requests);
    }

    // The row's context menu: a right-click selects the row and shows the menu; each action acts on it.
    void contextMenu_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("clipboard");
        QTest::newRow("Open") << "mnuOpen" << QStringList{"command /docs/b.txt"} << QString();
        QTest::newRow("Open Containing Folder")
            << "mnuOpenFolder" << QStringList{"show /docs/b.txt"} << QString();
        QTest::newRow("Copy Full Path") << "mnuCopyPath" << QStringList() << "/docs/b.txt";
        QTest::newRow("Copy Name") << "mnuCopyName" << QStringList() << "b.txt";
    }
    void contextMenu() {
        QFETCH(QString, action);
        QFETCH(QStringList, requests);
        QFETCH(QString, clipboard);
        useEditor();
        makeWindows();
        QGuiApplication::clipboard()->setText("before");
        appendFound(result().results(), "a.txt", "/docs", /*sizeBytes=*/1075);
        appendFound(result().results(), "b.txt", "/docs", /*sizeBytes=*/1075);
        QTreeView* list = result().lstResult;
        const QPoint at = rowCentre(list, 1);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menuEvent);
        QMenu* menu = result().mnuResult;
        QTRY_VERIFY(menu->isVisible());
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text();
        QCOMPARE(texts, (QStringList{"Open", "Open Containing Folder", "Copy Full Path", "Copy Name"}));
        menu->findChild<QAction*>(action)->trigger();
        menu->close();
        QCOMPARE(describe(launcher_->requests), requests);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard.isEmpty() ? QString("before") : clipboard);
    }

    // Enter opens the selected row, Ctrl+C copies every selected row's path, the Menu key shows the menu.
    void keyboard() {
        useEditor();
        makeWindows();
        appendFound(result().results(), "a.txt", "/docs", /*sizeBytes=*/1075);
        appendFound(result().results(), "b.txt", "/other", /*sizeBytes=*/1075);
        appendFound(result().results(), "c.txt", "/docs", /*sizeBytes=*/1075);
        QTreeView* list = result().lstResult;
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(launcher_->requests.isEmpty());  // nothing selected yet
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(list, 1));
        QTest::keyClick(list, Qt::Key_Return);
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(describe(launcher_->requests),
                 (QStringList{"command /other/b.txt", "command /other/b.txt"}));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(list, 2));
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("/other/b.txt\n/docs/c.txt"));
        QVERIFY(!result().mnuResult->isVisible());
        QTest::keyClick(list, Qt::Key_Menu);
        QTRY_VERIFY(result().mnuResult->isVisible());
        result().mnuResult->close();
    }

    // Dragged rows leave as text/uri-list, their bytes percent-encoded as they are.
    void dragData() {
        makeWindows();
        appendFound(result().results(), "caf\xe9 #1.txt", "/d\xff/x y", /*sizeBytes=*/1075);
        appendFolder(result().results(), "b.txt", "/docs");
        QTreeView* list = result().lstResult;
        QVERIFY(list->dragEnabled());
        QVERIFY(result().results().flags(result().results().index(0, 0)) & Qt::ItemIsDragEnabled);
        list->selectAll();
        std::unique_ptr<QMimeData> data(
            result().results().mimeData(list->selectionModel()->selectedIndexes()));
        QVERIFY(data);
        QCOMPARE(data->formats(), QStringList{"text/uri-list"});
        QCOMPARE(data->data("text/uri-list"),
                 QByteArray("file:///d%FF/x%20y/caf%E9%20%231.txt\r\nfile:///docs/b.txt\r\n"));
    }

    // A file gone since the search, and a file no program opens: the box says so, nothing starts.
    void boxSaysWhyNothingOpened_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("gone") << QByteArray("gone.txt")
                              << "\"/docs/gone.txt\" is no longer there: it was moved or deleted after the "
                                 "index was built. Scan again to bring the index up to date.";
        QTest::newRow("unregistered") << QByteArray("a.xyz") << "Unregistered file extension .xyz";
        QTest::newRow("not associated")
            << QByteArray("a.htm") << "File type is not associated with a program.";
    }
    void boxSaysWhyNothingOpened() {
        QFETCH(QByteArray, name);
        QFETCH(QString, text);
        useEditor();
        store_->setText(".htm", "htmlfile");
        launcher_->gone = {"/docs/gone.txt"};
        makeWindows();
        QStringList texts;
        result().runMessageBox = [&](QMessageBox& box) { texts << box.text(); };
        appendFound(result().results(), name.toStdString(), "/docs", /*sizeBytes=*/1075);
        doubleClickRow(result().lstResult, 0);
        QCOMPARE(texts, QStringList{text});
        QVERIFY(launcher_->requests.isEmpty());
        QCOMPARE(result().results().count(), 1);
    }

    void emptyListStartsNothing() {
        MemoryAssociationStore store;
        RecordingLauncher launcher;
        services_->associations = &store;
        services_->launcher = &launcher;
        makeWindows();
        QTest::mouseDClick(result().lstResult->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(result().cmdOpen, Qt::LeftButton);
        QVERIFY(launcher.requests.isEmpty());
    }

    // The status box: the bare number, OK only, no icon, modal; nothing starts after it.
    void unreadableExtensionShowsTheStatusBox() {
        MemoryAssociationStore store;
        store.addKey(".txt");
        RecordingLauncher launcher;
        services_->associations = &store;
        services_->launcher = &launcher;
        makeWindows();
        QStringList texts;
        result().runMessageBox = [&](QMessageBox& box) {
            texts << box.text() << box.windowTitle();
            QCOMPARE(box.icon(), QMessageBox::NoIcon);
            QCOMPARE(box.standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(box.windowModality(), Qt::ApplicationModal);
        };
        appendFound(result().results(), "a.txt", "/docs", /*sizeBytes=*/1075);
        doubleClickRow(result().lstResult, 0);
        QCOMPARE(texts, (QStringList{"2", "Trovander"}));
        QVERIFY(launcher.requests.isEmpty());
    }

    // A program that cannot start is told in a box; the window stays as it was.
    void failedStartIsToldAndTheWindowStays() {
        TempXdg xdg;
        xdg.write(xdg.dataHome() + "/mime/globs2", "50:application/x-trovander-test:*.tvt\n");
        xdg.addApplication("gone.desktop", "no-such-program-here %f");
        xdg.write(xdg.configHome() + "/mimeapps.list",
                  "[Default Applications]\napplication/x-trovander-test=gone.desktop;\n");
        SystemOpening opening(*services_);
        makeWindows();
        QStringList texts;
        result().runMessageBox = [&](QMessageBox& box) { texts << box.text(); };
        xdg.write(xdg.root() + "/docs/a.tvt", "x");
        appendFound(result().results(), "a.tvt", (xdg.root() + "/docs").toStdString(), /*sizeBytes=*/1075);
        doubleClickRow(result().lstResult, 0);
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.front().contains("/docs/a.tvt") && texts.front().contains("no-such-program-here"),
                 qPrintable(texts.front()));
        QVERIFY(result().isVisible());
        QCOMPARE(result().results().count(), 1);
    }
};

QTEST_MAIN(TestOpenWindow)
#include "test_open_window.moc"
