// Opening a file whose name is code, through desktop entries and command templates that put a program
// in front of a shell or of another reader of code: the real store and the real launcher start them, and
// nothing the name spells may run.
#include <fcntl.h>
#include <unistd.h>

#include <QtTest>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"
#include "results/Opener.h"
#include "support/OpenFakes.h"

using namespace trovander;
using trovander::testing::TempXdg;

Q_DECLARE_METATYPE(trovander::OpenOutcome)

namespace {

constexpr int kHelperWaitMs = 10000;

// Names that run "touch PWN" in the started program's folder when a shell reads them as code.
const QList<QByteArray> kHostileNames{"a$(touch PWN)b.tvt", "x';touch PWN;'y.tvt", "`touch PWN`.tvt"};

// The test's folder is the started programs' folder while it lives, so a PWN lands where it is looked for.
class InFolder {
  public:
    explicit InFolder(const QByteArray& folder) : saved_(QDir::currentPath()) {
        QDir::setCurrent(QFile::decodeName(folder));
    }
    ~InFolder() { QDir::setCurrent(saved_); }

  private:
    QString saved_;
};

QByteArray makeFile(const QByteArray& folder, const QByteArray& name) {
    QDir().mkpath(QFile::decodeName(folder));
    const QByteArray path = folder + "/" + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) ::close(fd);
    return path;
}

}  // namespace

class TestFaultsOpen : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Exec lines in which a program stands before whatever reads the script. REC is the recorder, ROOT the
    // fixture's folder. Lines whose script this program does not recognise are passed over for the next
    // application, which gets the path as its one argument; the others reach the shell as parameters.
    void wrappersNeverRunTheName_data() {
        QTest::addColumn<QByteArray>("exec");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("passedOver");
        const struct {
            const char* exec;
            bool passedOver;
        } lines[] = {
            {"nice sh -c \"REC %f\"", true},
            {"nohup sh -c \"REC %f\"", true},
            {"setsid sh -c \"REC '%f'\"", true},
            {"timeout 5 sh -c \"REC %f\"", true},
            {"flock ROOT/lock -c \"REC %f\"", true},
            {"script -qc \"REC %f\" /dev/null", true},
            {"rbash -c \"REC %f\"", true},
            {"awk \"BEGIN{system(\\\\\"REC %f\\\\\")}\"", true},
            {"env -u X sh -c \"REC %f\"", false},
            {"env -C ROOT sh -c \"REC %f\"", false},
            {"env -uX -- sh -c \"REC %f\"", false},
            // "%1" is no field code of an entry; after a backslash it must not come back as the path's.
            {"sh -c \"REC %f \\\\%1\"", false},
            {"sh -c \"REC \\\\%f\"", true},
        };
        for (const auto& line : lines)
            for (const QByteArray& name : kHostileNames)
                QTest::newRow(QByteArray(QByteArray(line.exec) + " | " + name).constData())
                    << QByteArray(line.exec) << name << line.passedOver;
    }
    void wrappersNeverRunTheName() {
        QFETCH(QByteArray, exec);
        QFETCH(QByteArray, name);
        QFETCH(bool, passedOver);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        xdg.write(xdg.dataHome() + "/mime/globs2", "50:application/x-trovander-test:*.tvt\n");
        exec.replace("REC", helper).replace("ROOT", xdg.root());
        xdg.addApplication("app.desktop", exec);
        xdg.addApplication("fallback.desktop", helper + " --fallback %f");
        xdg.write(xdg.configHome() + "/mimeapps.list",
                  "[Default Applications]\napplication/x-trovander-test=app.desktop;fallback.desktop;\n");
        const QByteArray folder = xdg.root() + "/files";
        const QByteArray path = makeFile(folder, name);
        const InFolder here(xdg.root());
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QStringList shown;
        QCOMPARE(openResult(SelectedRow{name, folder, "1 KB(s)"}, *store, *launcher,
                            [&](const QString& text) { shown << text; }),
                 OpenOutcome::CommandStarted);
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        const QList<QByteArray> recorded = *xdg.recorded();
        QVERIFY2(!QFile::exists(QFile::decodeName(xdg.root() + "/PWN")), "the name ran as a command");
        QVERIFY(!QFile::exists(QFile::decodeName(folder + "/PWN")));
        QCOMPARE(shown, QStringList());
        QVERIFY2(recorded.contains(path), recorded.join(' ').constData());
        QCOMPARE(recorded.front() == "--fallback", passedOver);
        // The path is never part of a larger argument.
        for (const QByteArray& argument : recorded) QVERIFY(argument == path || !argument.contains(name));
    }

    // Command templates from any store get the same rule from the launcher itself: a template that puts
    // "%1" inside a larger argument it does not rewrite is refused and nothing starts.
    void launcherRefusesTheNameInsideAnArgument_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("nice sh -c") << QByteArray("nice sh -c \"REC %1\"");
        QTest::newRow("timeout sh -c") << QByteArray("timeout 5 sh -c \"REC '%1'\"");
        QTest::newRow("flock -c") << QByteArray("flock ROOT/lock -c \"REC %1\"");
        QTest::newRow("awk program") << QByteArray("awk \"BEGIN{system(\\\"REC %1\\\")}\"");
        QTest::newRow("backslash before %1 in a script") << QByteArray("sh -c \"REC \\%1\"");
        QTest::newRow("option of a program") << QByteArray("REC --file=%1");
    }
    void launcherRefusesTheNameInsideAnArgument() {
        QFETCH(QByteArray, command);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        command.replace("REC", helper).replace("ROOT", xdg.root());
        const QByteArray path = makeFile(xdg.root() + "/files", "a$(touch PWN)b.txt");
        const InFolder here(xdg.root());
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QString error;
        QVERIFY2(!launcher->startCommand(command, path, WindowStyle::MinimizedFocus, &error),
                 "a template that would read the name as code was started");
        QVERIFY(error.contains(QStringLiteral("could run it as a command")));
        QVERIFY(!QFile::exists(QFile::decodeName(xdg.root() + "/PWN")));
    }

    // When every program for the file's type was passed over as unsafe, the user is told that, not that
    // the type has no program.
    void unsafeEntryIsReportedAsUnsafe_data() {
        QTest::addColumn<QByteArray>("exec");
        QTest::addColumn<QString>("message");
        QTest::newRow("in $(...)") << QByteArray("sh -c \"REC $(basename %f)\"")
                                   << QString::fromLatin1(kTypeProgramPassedOver);
        QTest::newRow("wrapper") << QByteArray("nice sh -c \"REC %f\"")
                                 << QString::fromLatin1(kTypeProgramPassedOver);
        QTest::newRow("no Exec at all") << QByteArray() << QString::fromLatin1(kTypeNotAssociated);
    }
    void unsafeEntryIsReportedAsUnsafe() {
        QFETCH(QByteArray, exec);
        QFETCH(QString, message);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        xdg.write(xdg.dataHome() + "/mime/globs2", "50:application/x-trovander-test:*.tvt\n");
        xdg.addApplication("app.desktop", exec.replace("REC", helper));
        xdg.write(xdg.configHome() + "/mimeapps.list",
                  "[Default Applications]\napplication/x-trovander-test=app.desktop;\n");
        const QByteArray folder = xdg.root() + "/files";
        makeFile(folder, "a$(touch PWN)b.tvt");
        const InFolder here(xdg.root());
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QStringList shown;
        QCOMPARE(openResult(SelectedRow{"a$(touch PWN)b.tvt", folder, "1 KB(s)"}, *store, *launcher,
                            [&](const QString& text) { shown << text; }),
                 OpenOutcome::NotAssociated);
        QCOMPARE(shown, QStringList{message});
        QVERIFY(!xdg.recorded().has_value());
        QVERIFY(!QFile::exists(QFile::decodeName(xdg.root() + "/PWN")));
    }
};

QTEST_GUILESS_MAIN(TestFaultsOpen)
#include "test_faults_open.moc"
