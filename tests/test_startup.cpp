// Start-up against a bad Main.mdb: one modal message naming the file and the cause, no window, no write.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/IndexStore.h"
#include "support/Fixtures.h"
#include "ui/StartUp.h"

using namespace trovander;

class TestStartUp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void failures_data() {
        QTest::addColumn<QByteArray>("content");  // "<none>": no file
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << QByteArray("<none>") << "does not exist";
        QTest::newRow("not ours") << QByteArray(4096, 'q') << "another password";
        QTest::newRow("empty") << QByteArray() << "lacks the index tables";
    }
    void failures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath("Main.mdb");
        if (content != "<none>") testing::writeFileBytes(path.toStdString(), content);
        // Answer the real modal box from the event loop it runs, reading what it says.
        QString shown;
        int boxes = 0;
        bool otherWindows = false;
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            ++boxes;
            shown = box->text();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w != box) otherWindows = true;
            QCOMPARE(box->icon(), QMessageBox::Critical);
            box->button(QMessageBox::Ok)->click();
        });
        answer.start();
        auto store = openIndexOrExplain(path.toStdString());
        answer.stop();
        QVERIFY(!store);
        QCOMPARE(boxes, 1);
        QVERIFY(!otherWindows);
        QVERIFY2(shown.contains(path) && shown.contains(cause), qPrintable(shown));
        if (content == "<none>") QVERIFY(!QFile::exists(path));
        else QCOMPARE(testing::fileBytes(path.toStdString()), content);
    }

    void goodIndexOpensWithoutMessage() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("Main.mdb").toStdString();
        IndexStore::createEmpty(path);
        int messages = 0;
        auto store = openIndexOrExplain(path, [&](const QString&) { ++messages; });
        QVERIFY(store);
        QCOMPARE(messages, 0);
    }
};

QTEST_MAIN(TestStartUp)
#include "test_startup.moc"
