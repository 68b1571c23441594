// Hostile names from disk to program: indexed byte for byte by the real walk, found by a search typed into
// the real search window, shown and sized, and opened through the desktop's associations with exactly one
// argument, the full path. Nothing the name spells is ever run.
#include <QTreeView>
#include <QtTest>
#include <cstdio>

#include "WindowSet.h"
#include "frmMain.h"
#include "frmResult.h"
#include "results/Opener.h"
#include "support/Fixtures.h"
#include "support/OpenFakes.h"
#include "support/UiFakes.h"

using namespace trovander;
using trovander::testing::SystemOpening;
using trovander::testing::TempIndex;
using trovander::testing::TempTree;
using trovander::testing::TempXdg;

class TestFaultsNames : public QObject {
    Q_OBJECT
    int opened_ = 0;

  private Q_SLOTS:
    void cleanupTestCase() { std::printf("faults summary: hostile names opened=%d\n", opened_); }

    void hostileName_data() {
        // Each name holds a token to search for; the rest is what a file system allows and a shell fears.
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("token");
        QTest::newRow("apostrophe") << QByteArray("tk01 it's.tvt") << "tk01";
        QTest::newRow("double quote") << QByteArray("tk02 say \"hi\".tvt") << "tk02";
        QTest::newRow("backtick") << QByteArray("tk03 `touch pwned`.tvt") << "tk03";
        QTest::newRow("command substitution") << QByteArray("tk04 $(touch pwned).tvt") << "tk04";
        QTest::newRow("semicolon") << QByteArray("tk05;touch pwned;.tvt") << "tk05";
        QTest::newRow("ampersand and pipe") << QByteArray("tk06 & touch pwned | cat.tvt") << "tk06";
        QTest::newRow("newline") << QByteArray("tk07\ntouch pwned.tvt") << "tk07";
        QTest::newRow("tab") << QByteArray("tk08\tx.tvt") << "tk08";
        QTest::newRow("leading dash") << QByteArray("-tk09 --help.tvt") << "tk09";
        QTest::newRow("percent one") << QByteArray("tk10 %1 %f.tvt") << "tk10";
        QTest::newRow("255 bytes") << QByteArray("tk11") + QByteArray(255 - 8, 'L') + ".tvt"
                                   << "tk11";
        QTest::newRow("not utf-8") << QByteArray("tk12 caf\xe9 \xff\xfe.tvt") << "tk12";
        QTest::newRow("combining characters") << QByteArray("tk13 e\xcc\x81le\xcc\x80ve.tvt") << "tk13";
    }
    void hostileName() {
        QFETCH(QByteArray, name);
        QFETCH(QString, token);
        QCOMPARE(name.size() <= 255, true);
        TempTree tree;
        tree.file("docs/" + name.toStdString(), "twelve bytes");
        TempIndex index;
        index.close();
        QCOMPARE(testing::runTool("trovander-index", {index.path(), tree.root()}), 0);
        index.reopen();

        TempXdg xdg;
        xdg.associateRecorderWithTvt();
        testing::TestServices fixture(index.store());
        Services& services = fixture.services;
        SystemOpening opening(services);
        Windows windows(services);

        frmMain& main = windows.main();
        main.show();
        main.txtSearch->clear();
        QTest::keyClicks(main.txtSearch, token);
        QTest::keyClick(main.txtSearch, Qt::Key_Return);
        frmResult& result = windows.result();
        QTRY_VERIFY(result.isVisible());
        QCOMPARE(result.results().count(), 1);
        QCOMPARE(result.results().nameBytes(0), name);
        QCOMPARE(result.results().folderBytes(0), QByteArray::fromStdString(tree.path("docs")));
        QCOMPARE(result.results().cellText(0, 2), QString("12 Bytes(s)"));
        QVERIFY(!result.results().cellText(0, 3).isEmpty());
        QVERIFY(result.results().cellText(0, 0).contains(token));

        QTreeView* list = result.lstResult;
        const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), 10000);
        QCOMPARE(*xdg.recorded(),
                 QList<QByteArray>{QByteArray::fromStdString(tree.path("docs")) + "/" + name});
        QVERIFY(!QFile::exists("pwned"));
        QVERIFY(!QFile::exists(QFile::decodeName(QByteArray::fromStdString(tree.path("docs/pwned")))));
        ++opened_;
    }
};

QTEST_MAIN(TestFaultsNames)
#include "test_faults_names.moc"
