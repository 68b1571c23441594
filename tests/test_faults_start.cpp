// Starting attacked: a socket name that another user may hold first, and the start window after a Scan
// that failed (what it says, whether Continue comes back, whether its words stay above the buttons).
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>
#include <memory>

#include "WindowSet.h"
#include "frmStart.h"
#include "platform/RebuildLock.h"
#include "store/IndexStore.h"
#include "support/Fixtures.h"
#include "support/StartFakes.h"
#include "support/UiFakes.h"
#include "ui/SingleInstance.h"

using namespace trovander;
using namespace trovander::testing;

namespace {

// Sets an environment variable (or unsets it, for a null value) for the object's lifetime.
class EnvSetting {
  public:
    EnvSetting(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)) {
        saved_ = qgetenv(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvSetting() {
        if (had_)
            qputenv(name_, saved_);
        else
            qunsetenv(name_);
    }

  private:
    const char* name_;
    bool had_;
    QByteArray saved_;
};

// The start window over an index, with one small drive and a fixed clock.
struct StartRig {
    explicit StartRig(IndexStore& store) : fixture(store) {
        drive.file("a.txt", "x");
        probe.setDrives({drive.root()});
        fixture.services.drives = &probe;
        fixture.services.now = [] { return localAt(2024, 3, 20, 12, 0, 0); };
        fixture.services.yield = [] { QCoreApplication::processEvents(); };
        windows = std::make_unique<Windows>(fixture.services);
        start().runMessageBox = [](QMessageBox&) {};
    }
    frmStart& start() { return windows->start(); }

    TempTree drive;
    ListDriveProbe probe{{}};
    TestServices fixture;
    std::unique_ptr<Windows> windows;
};

bool isPrivateFolderOfMine(const QString& folder) {
    struct stat info {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

}  // namespace

class TestFaultsStart : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Without a runtime folder the socket's name is predictable; it must lie in a folder only this user
    // can enter, so that a listener placed at the shared name answers for nobody.
    void socketLivesInAFolderOfTheUsersOwn_data() {
        QTest::addColumn<QString>("runtime");  // XDG_RUNTIME_DIR: "unset", "shared" (0777), "private"
        QTest::newRow("no runtime folder") << "unset";
        QTest::newRow("runtime folder open to all") << "shared";
        QTest::newRow("private runtime folder") << "private";
    }
    void socketLivesInAFolderOfTheUsersOwn() {
        QFETCH(QString, runtime);
        QTemporaryDir temp;
        const QByteArray tmp = QFile::encodeName(temp.path());
        const EnvSetting tmpdir("TMPDIR", tmp);
        QByteArray runtimeFolder;
        if (runtime != "unset") {
            runtimeFolder = tmp + "/run";
            QVERIFY(QDir().mkpath(QFile::decodeName(runtimeFolder)));
            QVERIFY(::chmod(runtimeFolder.constData(), runtime == "shared" ? 0777 : 0700) == 0);
        }
        // Qt's own fallback runtime folder is taken by something that is no folder.
        const QByteArray user = qgetenv("USER").isEmpty() ? QByteArray("root") : qgetenv("USER");
        writeFileBytes(temp.filePath("runtime-" + QString::fromLocal8Bit(user)).toStdString(), "x");
        const EnvSetting xdg("XDG_RUNTIME_DIR", runtime == "unset" ? QByteArray() : runtimeFolder);

        TempIndex index;
        const QString key = instanceKey(index.path());
        QVERIFY2(QFileInfo(key).isAbsolute(), qPrintable(key));
        QVERIFY2(isPrivateFolderOfMine(QFileInfo(key).absolutePath()), qPrintable(key));
        if (runtime == "private") QCOMPARE(QFileInfo(key).absolutePath(), QFile::decodeName(runtimeFolder));
        // Whoever listens at the shared names first is not taken for the running copy.
        const QString name = QFileInfo(key).fileName();
        QLocalServer squatterInTemp, squatterInRuntime;
        QVERIFY(squatterInTemp.listen(temp.filePath(name)));
        if (runtime == "shared")
            QVERIFY(squatterInRuntime.listen(QFile::decodeName(runtimeFolder) + "/" + name));
        SingleInstance first(index.path(), [] {});
        QCOMPARE(first.outcome(), SingleInstance::Outcome::First);
        QCOMPARE(first.key(), key);
        // ... while a second start on the same index still finds the first (one row is enough: it waits
        // for an answer that this thread cannot give).
        if (runtime != "unset") return;
        SingleInstance second(index.path(), [] {});
        QCOMPARE(second.outcome(), SingleInstance::Outcome::AlreadyRunning);
    }

    // A listener run by another user is never believed, even where it could get its socket in.
    void listenerOfAnotherUserIsNotBelieved() {
        if (::geteuid() != 0) QSKIP("a second user's process needs root to start");
        QTemporaryDir temp;
        const EnvSetting tmpdir("TMPDIR", QFile::encodeName(temp.path()));
        const EnvSetting xdg("XDG_RUNTIME_DIR", QByteArray());
        TempIndex index;
        const QString key = instanceKey(index.path());
        QVERIFY(QFileInfo(key).isAbsolute());
        // The other user's socket is made in a folder of theirs and put in place by root, as root could.
        // The other user may pass through the test's folder to their own.
        QVERIFY(::chmod(QFile::encodeName(temp.path()).constData(), 0711) == 0);
        const QString theirs = temp.filePath("theirs");
        QVERIFY(QDir().mkpath(theirs));
        QVERIFY(::chown(QFile::encodeName(theirs).constData(), 65534, 65534) == 0);
        int ready[2];
        QVERIFY(::pipe(ready) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(1);
            QLocalServer server;
            if (!server.listen(theirs + "/sock")) ::_exit(2);
            [[maybe_unused]] const ssize_t w = ::write(ready[1], "y", 1);
            // Answers every asker that the program is in front.
            for (;;) {
                if (!server.waitForNewConnection(-1)) ::_exit(3);
                QLocalSocket* socket = server.nextPendingConnection();
                socket->waitForReadyRead(1000);
                socket->write("shown\n");
                socket->waitForBytesWritten(1000);
                socket->disconnectFromServer();
            }
        }
        ::close(ready[1]);
        char byte = 0;
        const bool listening = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        if (listening)
            QVERIFY(::rename(QFile::encodeName(theirs + "/sock").constData(),
                             QFile::encodeName(key).constData()) == 0);
        std::unique_ptr<SingleInstance> instance;
        if (listening) instance = std::make_unique<SingleInstance>(index.path(), [] {});
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        QVERIFY(listening);
        QCOMPARE(instance->outcome(), SingleInstance::Outcome::First);
    }

    // A Scan that fails leaves the index before it whole: Continue comes back to search it.
    void continueAfterAFailedScan() {
        TempIndex index;
        index.store().insertStamp("2024-03-20T08:00:00");
        StartRig rig(index.store());
        frmStart& start = rig.start();
        start.show();
        QVERIFY(start.cmdStart->isVisible());
        RebuildLock::Attempt other = RebuildLock::tryAcquire(index.path());
        QVERIFY(other.lock);
        QTest::mouseClick(start.cmdScan, Qt::LeftButton);
        QVERIFY2(start.Label1->text().startsWith(QStringLiteral("The index could not be rebuilt: ")),
                 qPrintable(start.Label1->text()));
        QVERIFY(start.cmdStart->isVisible());
        other.lock.reset();
    }

    // Long advice after a failed Scan is set small enough that no line of it lies under the buttons:
    // what the label paints below the buttons' top edge is its plain background.
    void failureTextEndsAboveTheButtons() {
        TempIndex index;
        index.store().insertStamp("2024-03-20T08:00:00");
        StartRig rig(index.store());
        frmStart& start = rig.start();
        start.show();
        RebuildLock::Attempt other = RebuildLock::tryAcquire(index.path());
        QVERIFY(other.lock);
        QTest::mouseClick(start.cmdScan, Qt::LeftButton);
        other.lock.reset();
        QVERIFY(start.Label1->text().size() > 100);
        const QImage label = start.Label1->grab().toImage();
        const int hidden = start.cmdScan->y() - start.Label1->y();
        QVERIFY(hidden > 0 && hidden < label.height());
        const QRgb background = label.pixel(0, label.height() - 1);
        int inked = 0;
        for (int y = hidden; y < label.height(); ++y)
            for (int x = 0; x < label.width(); ++x)
                if (label.pixel(x, y) != background) ++inked;
        QCOMPARE(inked, 0);
    }

    // A folder that can be read but not written is called that, not "cannot be opened".
    void readOnlyFolderIsNamedSo() {
        QTemporaryDir temp;
        const QByteArray real = QFile::encodeName(temp.filePath("real"));
        const QByteArray view = QFile::encodeName(temp.filePath("view"));
        QVERIFY(QDir().mkpath(QFile::decodeName(real)) && QDir().mkpath(QFile::decodeName(view)));
        IndexStore::createEmpty((real + "/Main.mdb").toStdString());
        IndexStore::open((real + "/Main.mdb").toStdString())->insertStamp("2024-03-20T08:00:00");
        bool mounted = false;
        QByteArray path;
        if (::geteuid() == 0) {
            // Root writes any folder it may: a read-only view of the folder, the file in it writable.
            if (::mount(real.constData(), view.constData(), nullptr, MS_BIND, nullptr) != 0)
                QSKIP("this machine refuses a bind mount");
            mounted = true;
            const bool ok =
                ::mount(nullptr, view.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0 &&
                ::mount((real + "/Main.mdb").constData(), (view + "/Main.mdb").constData(), nullptr, MS_BIND,
                        nullptr) == 0;
            if (!ok) {
                ::umount2(view.constData(), MNT_DETACH);
                QSKIP("this machine refuses a read-only bind mount");
            }
            path = view + "/Main.mdb";
        } else {
            path = real + "/Main.mdb";
        }
        struct Unmount {
            QByteArray view, real;
            bool mounted;
            ~Unmount() {
                if (mounted) {
                    ::umount2((view + "/Main.mdb").constData(), MNT_DETACH);
                    ::umount2(view.constData(), MNT_DETACH);
                }
                ::chmod(real.constData(), 0700);
            }
        } unmount{view, real, mounted};
        if (!mounted) QVERIFY(::chmod(real.constData(), 0500) == 0);
        std::unique_ptr<IndexStore> store;
        try {
            store = IndexStore::open(path.toStdString());
        } catch (const StoreError& e) {
            QSKIP(e.what());
        }
        StartRig rig(*store);
        frmStart& start = rig.start();
        start.show();
        QTest::mouseClick(start.cmdScan, Qt::LeftButton);
        const QString text = start.Label1->text();
        QVERIFY2(text.startsWith(QStringLiteral("The index could not be rebuilt: ")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("cannot be opened")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("can be read and written, but its folder")), qPrintable(text));
        QVERIFY(start.Label1->toolTip().contains(QFile::decodeName(path.left(path.lastIndexOf('/')))));
        // The index before it is whole and stays searchable.
        QVERIFY(start.cmdStart->isVisible());
    }
};

QTEST_MAIN(TestFaultsStart)
#include "test_faults_start.moc"
