// Open Containing Folder through org.freedesktop.FileManager1 ShowItems on a private session bus
// (a dbus-daemon of the test's own), and the plain folder when no file manager service answers.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"
#include "results/Opener.h"
#include "support/OpenFakes.h"

using namespace trovander;
using trovander::testing::TempXdg;

namespace {
// Folders open in a recorder standing in for the desktop's file manager application.
void useRecordingFileManager(TempXdg& xdg) {
    const QByteArray helper = xdg.recorder("file-manager");
    xdg.addApplication("files.desktop", quoteArgument(helper) + " %U");
    xdg.write(xdg.configHome() + "/mimeapps.list", "[Default Applications]\ninode/directory=files.desktop\n");
}
}  // namespace

class TestOpenDbus : public QObject {
    Q_OBJECT

    QProcess bus_;
    QTemporaryDir busFolder_;  // the bus's socket: killed, the daemon cannot take it away itself

  private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            QSKIP("dbus-daemon is not installed (scripts/setup.sh installs it)");
        bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1",
                                   "--address=unix:path=" + busFolder_.filePath("bus")});
        QVERIFY(bus_.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(bus_.canReadLine(), 10000);
        const QByteArray address = bus_.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        // Before anything asks for the session bus: the connection reads it once.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }
    void cleanupTestCase() {
        bus_.kill();
        bus_.waitForFinished();
    }

    // No service: the folder opens in the desktop's file manager application, the folder one argument.
    void noServiceOpensThePlainFolder() {
        TempXdg xdg;
        useRecordingFileManager(xdg);
        const QByteArray folder = xdg.root() + "/my \"docs\" $(x)";
        xdg.write(folder + "/a.txt", "x");
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QStringList shown;
        QCOMPARE(showContainingFolder(SelectedRow{"a.txt", folder, "1 KB(s)"}, *launcher,
                                      [&](const QString& text) { shown << text; }),
                 OpenOutcome::FileManagerStarted);
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), 10000);
        QCOMPARE(*xdg.recorded(), QList<QByteArray>{folder});
        QCOMPARE(shown, QStringList());
    }

    // The service gets the entry's file: URL, byte-exact for a name that is not UTF-8; nothing else starts.
    void serviceSelectsTheEntry() {
        TempXdg xdg;
        useRecordingFileManager(xdg);
        const QString record = QFile::decodeName(xdg.root() + "/shown");
        QProcess fake;
        fake.start(qEnvironmentVariable("TROVANDER_TOOLS") + "/trovander-fake-filemanager", {record});
        QVERIFY(fake.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(fake.canReadLine(), 10000);
        QCOMPARE(fake.readLine(), QByteArray("ready\n"));

        const QByteArray folder = xdg.root() + "/d\xe9j\xe0 vu";
        const QByteArray name = "r\xe9sum\xe9 #1 100%.txt";
        QDir().mkpath(QFile::decodeName(xdg.root()));
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        const int fd = ::open((folder + "/" + name).constData(), O_WRONLY | O_CREAT, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QCOMPARE(showContainingFolder(SelectedRow{name, folder, "1 KB(s)"}, *launcher, {}),
                 OpenOutcome::FileManagerStarted);
        QFile file(record);
        QTRY_VERIFY_WITH_TIMEOUT(file.exists(), 10000);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "file://" + (folder + "/" + name).toPercentEncoding("/") + "\n");
        QVERIFY(file.fileName().size() > 0);
        QTest::qWait(200);
        QVERIFY(!xdg.recorded().has_value());
        fake.kill();
        fake.waitForFinished();
    }

    void goneEntryIsTold() {
        TempXdg xdg;
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QStringList shown;
        QCOMPARE(showContainingFolder(SelectedRow{"gone.txt", xdg.root(), "1 KB(s)"}, *launcher,
                                      [&](const QString& text) { shown << text; }),
                 OpenOutcome::FileGone);
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.front().contains("is no longer there"));
    }
};

QTEST_GUILESS_MAIN(TestOpenDbus)
#include "test_open_dbus.moc"
