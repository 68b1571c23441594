// Start-up against a bad Main.mdb: one modal message naming the file and the cause, no window, no write.
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "store/IndexStore.h"
#include "support/Fixtures.h"
#include "ui/SingleInstance.h"
#include "ui/StartUp.h"

using namespace trovander;

namespace {
// Runs xdotool; its output, empty when it failed. ok tells the two apart where the output is empty anyway.
QString xdotool(const QStringList& args, bool* ok = nullptr) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    const bool ran = p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok) *ok = ran;
    return ran ? QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed() : QString();
}
}  // namespace

class TestStartUp : public QObject {
    Q_OBJECT
    // The running copy's socket lies in the runtime folder: this test's own, not the user's.
    QTemporaryDir runtime_;

  private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path())); }

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
        if (content == "<none>")
            QVERIFY(!QFile::exists(path));
        else
            QCOMPARE(testing::fileBytes(path.toStdString()), content);
    }

    // The program itself on the same files, under a real X server (the ctest entry test_startup_main): the
    // message box is its only window, and once it is answered main ends with status 1, the file as it was.
    void mainExitsOneWithoutWindow_data() { failures_data(); }
    void mainExitsOneWithoutWindow() {
        QFETCH(QByteArray, content);
        if (QGuiApplication::platformName() != QLatin1String("xcb") ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("needs an X server and xdotool; the ctest entry test_startup_main runs it under Xvfb");
        QTemporaryDir dir;
        const QString program = dir.filePath("trovander"), path = dir.filePath("Main.mdb");
        QVERIFY(QFile::copy(qEnvironmentVariable("TROVANDER_BUILD") + "/trovander", program));
        if (content != "<none>") testing::writeFileBytes(path.toStdString(), content);
        QProcess main;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_RUNTIME_DIR", dir.path());  // its socket, too, stays in the folder
        main.setProcessEnvironment(env);
        main.start(program, {});
        QVERIFY(main.waitForStarted());
        const QString pid = QString::number(main.processId());
        QString windows;
        QTRY_VERIFY_WITH_TIMEOUT(!(windows = xdotool({"search", "--onlyvisible", "--pid", pid})).isEmpty(),
                                 15000);
        QTest::qWait(300);  // a window shown after the box would be up by now
        windows = xdotool({"search", "--onlyvisible", "--pid", pid});
        QCOMPARE(windows.split('\n').size(), 1);
        QCOMPARE(xdotool({"getwindowname", windows}), QStringLiteral("Trovander"));
        QCOMPARE(main.state(), QProcess::Running);  // the box waits for its answer
        bool ok = false;
        xdotool({"windowfocus", "--sync", windows}, &ok);
        QVERIFY(ok);
        xdotool({"key", "Return"}, &ok);
        QVERIFY(ok);
        QVERIFY(main.waitForFinished(10000));
        QCOMPARE(main.exitStatus(), QProcess::NormalExit);
        QCOMPARE(main.exitCode(), 1);
        if (content == "<none>")
            QVERIFY(!QFile::exists(path));
        else
            QCOMPARE(testing::fileBytes(path.toStdString()), content);
    }

    // Beside the program when its folder can be written and it is no installed copy; else the data folder.
    void location_data() {
        QTest::addColumn<QString>("layout");  // "build": a bare folder; "installed": bin/ beside share/...
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("inUserData");
        QTest::newRow("build folder") << "build" << false << false;
        QTest::newRow("installed, writable prefix") << "installed" << false << true;
        QTest::newRow("read-only folder") << "build" << true << true;
    }
    void location() {
        QFETCH(QString, layout);
        QFETCH(bool, readOnly);
        QFETCH(bool, inUserData);
        if (readOnly && ::geteuid() == 0) QSKIP("root writes into any folder");
        QTemporaryDir dir;
        const QString program = dir.filePath("prefix/bin");
        QVERIFY(QDir().mkpath(program));
        if (layout == "installed") {
            QVERIFY(QDir().mkpath(dir.filePath("prefix/share/applications")));
            testing::writeFileBytes(dir.filePath("prefix/share/applications/trovander.desktop").toStdString(),
                                    "");
        }
        if (readOnly) QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        const IndexLocation at = locateIndex(program, dir.filePath("data"));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(at.inUserData, inUserData);
        QCOMPARE(QString::fromStdString(at.path),
                 inUserData ? dir.filePath("data/trovander/Main.mdb") : program + "/Main.mdb");
    }

    // In the data folder the index is made empty on first start, and afterwards only opened.
    void madeOnFirstStartOnly_data() {
        QTest::addColumn<QString>("dataFolder");
        QTest::newRow("plain") << "data";
        QTest::newRow("quotes, blanks, a newline") << "it's a \"data\"\nfolder ;$(x)";
        QTest::newRow("non-ASCII") << "Données ß";
    }
    void madeOnFirstStartOnly() {
        QFETCH(QString, dataFolder);
        QTemporaryDir dir;
        const IndexLocation at = locateIndex(dir.filePath("ro"), dir.filePath(dataFolder));
        QVERIFY(at.inUserData);
        QVERIFY(QFile::decodeName(at.path.c_str()).startsWith(dir.filePath(dataFolder) + "/trovander/"));
        QStringList messages;
        const auto collect = [&](const QString& text) { messages << text; };
        {
            auto store = openIndexOrExplain(at, collect);
            QVERIFY2(store, qPrintable(messages.join("\n")));
            QCOMPARE(int(store->selectStamps().rowCount()), 0);
            store->insertStamp("2024-03-20T08:00:00");
        }
        QVERIFY(QFileInfo::exists(dir.filePath(dataFolder) + "/trovander/Main.mdb"));
        auto again = openIndexOrExplain(at, collect);
        QVERIFY(again);
        QCOMPARE(int(again->selectStamps().rowCount()), 1);
        QVERIFY(messages.isEmpty());
    }

    // What cannot be made, or is there and is no index, is one message naming the file; nothing replaced.
    void dataFolderFailures_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("cause");
        QTest::newRow("a file where the folder goes") << "folder-is-file"
                                                      << "cannot be created";
        QTest::newRow("a foreign file") << "foreign"
                                        << "another password";
        QTest::newRow("a folder where the file goes") << "file-is-folder"
                                                      << "is not a file";
        QTest::newRow("a dangling link") << "dangling"
                                         << "does not exist";
    }
    void dataFolderFailures() {
        QFETCH(QString, obstacle);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath("data/trovander/Main.mdb");
        QVERIFY(QDir().mkpath(dir.filePath("data")));
        if (obstacle == "folder-is-file")
            testing::writeFileBytes(dir.filePath("data/trovander").toStdString(), "x");
        else
            QVERIFY(QDir().mkpath(dir.filePath("data/trovander")));
        if (obstacle == "foreign") testing::writeFileBytes(path.toStdString(), QByteArray(4096, 'q'));
        if (obstacle == "file-is-folder") QVERIFY(QDir().mkpath(path));
        if (obstacle == "dangling") QVERIFY(QFile::link(dir.filePath("nowhere"), path));
        QStringList messages;
        auto store = openIndexOrExplain(IndexLocation{path.toStdString(), true},
                                        [&](const QString& text) { messages << text; });
        QVERIFY(!store);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.front().contains(path) && messages.front().contains(cause),
                 qPrintable(messages.front()));
        if (obstacle == "foreign") QCOMPARE(testing::fileBytes(path.toStdString()), QByteArray(4096, 'q'));
        if (obstacle == "dangling") QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
    }

    // The running copy's socket: named by the index file itself; answers the one question, drops the rest.
    void instanceKeyNamesTheFile() {
        QTemporaryDir dir;
        const std::string path = dir.filePath("Main.mdb").toStdString();
        IndexStore::createEmpty(path);
        QVERIFY(QFile::link(dir.filePath("Main.mdb"), dir.filePath("link.mdb")));
        QCOMPARE(instanceKey(path), instanceKey(dir.filePath("link.mdb").toStdString()));
        QCOMPARE(instanceKey(path), instanceKey(dir.filePath("sub/../Main.mdb").toStdString()));
        QVERIFY(instanceKey(path) != instanceKey(dir.filePath("other.mdb").toStdString()));
        // A first start names the file before it and its folders exist, through a linked folder: the name
        // must be the one later starts find.
        QVERIFY(QDir().mkpath(dir.filePath("real")));
        QVERIFY(QFile::link(dir.filePath("real"), dir.filePath("linked")));
        const QString before = instanceKey(dir.filePath("linked/trovander/Main.mdb").toStdString());
        QVERIFY(QDir().mkpath(dir.filePath("real/trovander")));
        IndexStore::createEmpty(dir.filePath("real/trovander/Main.mdb").toStdString());
        QCOMPARE(before, instanceKey(dir.filePath("linked/trovander/Main.mdb").toStdString()));
    }

    void runningCopyAnswers_data() {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("fronts");
        QTest::newRow("the question") << QByteArray("front\n") << QByteArray("shown\n") << 1;
        QTest::newRow("something else") << QByteArray("quit\n") << QByteArray() << 0;
        QTest::newRow("a flood") << QByteArray(1 << 20, 'f') << QByteArray() << 0;
        QTest::newRow("nothing, then gone") << QByteArray() << QByteArray() << 0;
    }
    void runningCopyAnswers() {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answer);
        QFETCH(int, fronts);
        QTemporaryDir dir;
        int asked = 0;
        SingleInstance first(dir.filePath("Main.mdb").toStdString(), [&] { ++asked; });
        QCOMPARE(first.outcome(), SingleInstance::Outcome::First);
        {
            QLocalSocket client;
            client.connectToServer(first.key());
            QVERIFY(client.waitForConnected(2000));
            if (sent.isEmpty()) {
                client.disconnectFromServer();
            } else {
                client.write(sent);
                // Answered, or dropped by the copy.
                QTRY_VERIFY_WITH_TIMEOUT(
                    client.bytesAvailable() > 0 || client.state() != QLocalSocket::ConnectedState, 5000);
            }
            QCOMPARE(client.readAll(), answer);
            QCOMPARE(asked, fronts);
        }
        // The copy still answers a proper question after whatever came before.
        QLocalSocket proper;
        proper.connectToServer(first.key());
        QVERIFY(proper.waitForConnected(2000));
        proper.write("front\n");
        QTRY_VERIFY_WITH_TIMEOUT(
            (proper.bytesAvailable() > 0 || proper.state() != QLocalSocket::ConnectedState), 5000);
        QCOMPARE(proper.readAll(), QByteArray("shown\n"));
        QCOMPARE(asked, fronts + 1);
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
