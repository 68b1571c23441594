// The drive list of a rebuild on this platform: the mount table, the probe of each mount root, and a walk
// that meets every file once however the file systems are mounted into each other.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QtTest>
#include <algorithm>

#include "indexer/Rebuild.h"
#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "platform/MountTable.h"
#include "support/Fixtures.h"
#include "support/StartFakes.h"

using namespace trovander;
using namespace trovander::testing;

namespace {

QString joined(const std::vector<std::string>& items) {
    QStringList out;
    for (const std::string& s : items) out << QString::fromStdString(s);
    return out.join(QLatin1Char('|'));
}

// findmnt -r writes unusual bytes of a path as \xHH.
std::string decodeFindmnt(const QByteArray& field) {
    std::string out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x') {
            bool ok = false;
            const int byte = field.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.push_back(static_cast<char>(byte));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

}  // namespace

class TestDrives : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void parsesMountTableLines_data();
    void parsesMountTableLines();
    void offersEachFileSystemOnce_data();
    void offersEachFileSystemOnce();
    void probeOpensMountRoots_data();
    void probeOpensMountRoots();
    void machineAgreesWithFindmnt();
    void boundOrNestedMountWalkedOnce_data();
    void boundOrNestedMountWalkedOnce();
};

void TestDrives::parsesMountTableLines_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");  // mountPoint|root|fsType|device, empty when skipped

    QTest::newRow("plain") << "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw"
                           << "/|/|ext4|254:0";
    QTest::newRow("optional fields before the dash")
        << "61 28 8:2 / /home rw,relatime shared:1 master:3 - btrfs /dev/sda2 rw"
        << "/home|/|btrfs|8:2";
    QTest::newRow("escaped blank, tab and backslash")
        << "70 28 8:17 /a\\040b /media/My\\040Disk\\011x\\134y rw - vfat /dev/sdb1 rw"
        << "/media/My Disk\tx\\y|/a b|vfat|8:17";
    QTest::newRow("bind of a part") << "46 28 254:0 /srv/data /mnt/data rw - ext4 /dev/vda rw"
                                    << "/mnt/data|/srv/data|ext4|254:0";
    QTest::newRow("no dash") << "28 1 254:0 / / rw,relatime ext4 /dev/vda rw"
                             << "";
    QTest::newRow("too few fields") << "28 1 254:0 / - ext4"
                                    << "";
    QTest::newRow("id not a number") << "x 1 254:0 / / rw - ext4 /dev/vda rw"
                                     << "";
    QTest::newRow("relative mount point") << "28 1 254:0 / home rw - ext4 /dev/vda rw"
                                          << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDrives::parsesMountTableLines() {
    QFETCH(QString, line);
    QFETCH(QString, expected);
    // A good line around the tested one shows that a bad line spoils nothing else.
    const std::string text = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n" + line.toStdString() + "\n";
    const std::vector<MountEntry> table = parseMountTable(text);
    QVERIFY(!table.empty());
    QCOMPARE(QString::fromStdString(table.front().mountPoint), QStringLiteral("/"));
    if (expected.isEmpty()) {
        QCOMPARE(table.size(), size_t{1});
        return;
    }
    QCOMPARE(table.size(), size_t{2});
    const MountEntry& e = table.back();
    QCOMPARE(QString::fromStdString(e.mountPoint + "|" + e.root + "|" + e.fsType + "|" + e.device), expected);
}

void TestDrives::offersEachFileSystemOnce_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("drives");

    QTest::newRow("pseudo and memory-backed left out")
        << "22 28 0:21 / /proc rw - proc proc rw\n"
           "23 28 0:22 / /sys rw - sysfs sysfs rw\n"
           "24 28 0:6 / /dev rw - devtmpfs devtmpfs rw\n"
           "26 24 0:24 / /dev/shm rw - tmpfs tmpfs rw\n"
           "27 24 0:25 / /dev/pts rw - devpts devpts rw\n"
           "28 1 254:0 / / rw - ext4 /dev/vda rw\n"
           "32 23 0:29 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
           "42 32 0:39 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n"
           "43 28 0:40 / /run rw - tmpfs tmpfs rw\n"
           "44 23 0:41 / /sys/firmware/efi/efivars rw - efivarfs efivarfs rw\n"
           "45 22 0:42 / /proc/sys/fs/binfmt_misc rw - autofs systemd-1 rw\n"
        << "/";
    QTest::newRow("path order, folder by folder") << "1 0 8:1 / / rw - ext4 a rw\n"
                                                     "2 1 8:2 / /home-b rw - ext4 b rw\n"
                                                     "3 1 8:3 / /home rw - ext4 c rw\n"
                                                     "4 3 8:4 / /home/a rw - xfs d rw\n"
                                                     "5 1 8:5 / /boot rw - vfat e rw\n"
                                                  << "/|/boot|/home|/home/a|/home-b";
    QTest::newRow("nested file system is a drive of its own")
        << "1 0 8:1 / / rw - ext4 a rw\n"
           "2 1 8:2 / /home rw - ext4 b rw\n"
           "3 1 0:50 / /mnt/share rw - nfs4 server:/x rw\n"
        << "/|/home|/mnt/share";
    QTest::newRow("bind of a part the root shows is left out")
        << "1 0 8:1 / / rw - ext4 a rw\n"
           "2 1 8:1 /srv/data /mnt/data rw - ext4 a rw\n"
        << "/";
    QTest::newRow("bind of a part hidden by another mount is kept")
        << "1 0 8:1 / / rw - ext4 a rw\n"
           "2 1 8:2 / /srv rw - ext4 b rw\n"
           "3 1 8:1 /srv/data /mnt/data rw - ext4 a rw\n"
        << "/|/mnt/data|/srv";
    QTest::newRow("bind of a folder onto itself is kept") << "1 0 8:1 / / rw - ext4 a rw\n"
                                                             "2 1 8:1 /work/t /work/t rw - ext4 a rw\n"
                                                          << "/|/work/t";
    QTest::newRow("bind of a part of a nested file system") << "1 0 8:1 / / rw - ext4 a rw\n"
                                                               "2 1 8:2 / /home rw - ext4 b rw\n"
                                                               "3 1 8:2 /ann/music /music rw - ext4 b rw\n"
                                                            << "/|/home";
    QTest::newRow("one file system mounted twice: the first in path order")
        << "1 0 8:1 / / rw - ext4 a rw\n"
           "2 1 8:2 / /mnt/b rw - ext4 b rw\n"
           "3 1 8:2 / /mnt/a rw - ext4 b rw\n"
        << "/|/mnt/a";
    QTest::newRow("btrfs subvolumes are separate parts") << "1 0 0:30 /@ / rw - btrfs /dev/sda2 rw\n"
                                                            "2 1 0:30 /@home /home rw - btrfs /dev/sda2 rw\n"
                                                         << "/|/home";
    QTest::newRow("over-mounted point: the top mount counts") << "1 0 8:1 / / rw - ext4 a rw\n"
                                                                 "2 1 8:3 / /data rw - ext4 c rw\n"
                                                                 "3 2 0:60 / /data rw - tmpfs tmpfs rw\n"
                                                                 "4 1 0:61 / /cache rw - tmpfs tmpfs rw\n"
                                                                 "5 4 8:4 / /cache rw - ext4 d rw\n"
                                                              << "/|/cache";
    QTest::newRow("mount inside a hidden mount is left out") << "1 0 8:1 / / rw - ext4 a rw\n"
                                                                "2 1 8:4 / /x rw - ext4 b rw\n"
                                                                "3 2 8:5 / /x/y rw - ext4 c rw\n"
                                                                "4 2 8:6 / /x rw - ext4 d rw\n"
                                                             << "/|/x";
    QTest::newRow("blank in a mount point") << "1 0 8:1 / / rw - ext4 a rw\n"
                                               "2 1 8:17 / /media/My\\040Disk rw - vfat b rw\n"
                                            << "/|/media/My Disk";
    QTest::newRow("parents forming a loop") << "1 2 8:1 / /a rw - ext4 a rw\n"
                                               "2 1 8:2 / /b rw - ext4 b rw\n"
                                            << "/a|/b";
    QTest::newRow("empty table") << ""
                                 << "";
}

void TestDrives::offersEachFileSystemOnce() {
    QFETCH(QString, table);
    QFETCH(QString, drives);
    QCOMPARE(joined(drivesOfMountTable(parseMountTable(table.toStdString()))), drives);
}

void TestDrives::probeOpensMountRoots_data() {
    QTest::addColumn<QString>("entry");  // relative to a temporary tree; "" for the tree itself
    QTest::addColumn<bool>("passes");

    QTest::newRow("a folder") << "folder" << true;
    QTest::newRow("the tree itself") << "" << true;
    QTest::newRow("a file bound onto a file") << "file.txt" << false;
    QTest::newRow("a mount point that is gone") << "gone" << false;
    QTest::newRow("a link to a folder") << "link" << true;
}

void TestDrives::probeOpensMountRoots() {
    QFETCH(QString, entry);
    QFETCH(bool, passes);
    TempTree tree;
    tree.folder("folder");
    tree.file("file.txt", "x");
    QVERIFY(::symlink(tree.path("folder").c_str(), tree.path("link").c_str()) == 0);
    const std::string point = entry.isEmpty() ? tree.root() : tree.path(entry.toStdString());

    const std::string table = "1 0 8:1 / " + point + " rw - ext4 a rw\n";
    auto probe = makeMountTableDriveProbe([table] { return table; });
    // Every real mount is a candidate; the probe decides which of them are walked.
    QCOMPARE(joined(probe->candidates()), QString::fromStdString(point));
    QCOMPARE(probe->validDrive(point), passes);
}

void TestDrives::machineAgreesWithFindmnt() {
    QProcess findmnt;
    findmnt.start(QStringLiteral("findmnt"),
                  {QStringLiteral("-rn"), QStringLiteral("-o"), QStringLiteral("TARGET,FSTYPE")});
    if (!findmnt.waitForStarted() || !findmnt.waitForFinished() || findmnt.exitCode() != 0)
        QSKIP("findmnt is not available here");
    std::set<std::string> realTargets, otherTargets;
    for (const QByteArray& line : findmnt.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 2) continue;
        const std::string target = decodeFindmnt(f[0]);
        struct stat st {};
        const bool folder = ::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        (isRealFileSystem(f[1].toStdString()) && folder ? realTargets : otherTargets).insert(target);
    }
    auto probe = makeSystemDriveProbe();
    std::vector<std::string> walked;
    for (const std::string& d : probe->candidates())
        if (probe->validDrive(d)) walked.push_back(d);
    qInfo("findmnt real file systems: %s", qPrintable(joined({realTargets.begin(), realTargets.end()})));
    qInfo("probe drives:              %s", qPrintable(joined(walked)));

    QVERIFY(std::is_sorted(walked.begin(), walked.end(), [](auto& a, auto& b) { return pathLess(a, b); }));
    // Every drive is a real file system that findmnt lists; bind mounts of parts already shown may be
    // left out, so only the root file system is sure to be among them.
    for (const std::string& d : walked) QVERIFY2(realTargets.count(d) == 1, d.c_str());
    QVERIFY(std::find(walked.begin(), walked.end(), "/") != walked.end() || realTargets.count("/") == 0);
}

void TestDrives::boundOrNestedMountWalkedOnce_data() {
    QTest::addColumn<bool>("nested");
    QTest::addColumn<QString>("drives");   // relative to the tree, "." for the tree itself
    QTest::addColumn<QString>("records");  // FilePath (relative)|FileName|FileType, sorted

    // data is shown again at view: walked once, under data, and view gives only its own record.
    QTest::newRow("bind of a part of the tree") << false << "."
                                                << ".|data|1  .|view|1  data|inside.txt|0";
    // Another folder mounted at inner: a drive of its own; what lies under inner in the tree is hidden.
    QTest::newRow("folder from elsewhere mounted inside") << true << ".|inner"
                                                          << ".|inner|1  inner|outer.txt|0";
}

void TestDrives::boundOrNestedMountWalkedOnce() {
    QFETCH(bool, nested);
    QFETCH(QString, drives);
    QFETCH(QString, records);

    DiskTempDir base;
    const std::string tree = base.sub("tree");
    const std::string other = base.sub("other");
    ::mkdir(tree.c_str(), 0755);
    ::mkdir(other.c_str(), 0755);
    const auto make = [](const std::string& path, bool folder) {
        if (folder)
            ::mkdir(path.c_str(), 0755);
        else
            ::close(::open(path.c_str(), O_WRONLY | O_CREAT, 0644));
    };
    if (nested) {
        make(tree + "/inner", true);
        make(tree + "/inner/hidden.txt", false);
        make(other + "/outer.txt", false);
    } else {
        make(tree + "/data", true);
        make(tree + "/data/inside.txt", false);
        make(tree + "/view", true);
    }

    // The tree is made a mount of its own so that the table can be cut down to it.
    BindMount self(tree, tree);
    if (!self.ok()) QSKIP(qPrintable(QStringLiteral("mounting is refused here: ") + self.error().c_str()));
    BindMount inner(nested ? other : tree + "/data", nested ? tree + "/inner" : tree + "/view");
    QVERIFY2(inner.ok(), inner.error().c_str());

    const std::string table = mountTableWithin(tree);
    if (!parseMountTable(table).empty() && !isRealFileSystem(parseMountTable(table).front().fsType))
        QSKIP("the temporary folder lies on a memory-backed file system");
    auto probe = makeMountTableDriveProbe([table] { return table; });
    const auto relative = [&](std::string path) {
        return path == tree ? std::string(".") : path.substr(tree.size() + 1);
    };

    TempIndex index;
    const auto folders = makeSystemFolderReader();
    Rebuild rebuild(index.store(), *probe, *folders, [] { return QDateTime::currentDateTime(); });
    RebuildReport quiet;
    rebuild.run(quiet);
    std::vector<std::string> offered;
    for (const std::string& d : rebuild.drives()) offered.push_back(relative(d));
    QCOMPARE(joined(offered), drives);

    QStringList got;
    for (const auto& [path, name, type] : index.records())
        got << QString::fromStdString(relative(path) + "|" + name + "|" + type);
    got.sort();  // the order within a folder is the file system's
    QCOMPARE(got.join(QStringLiteral("  ")), records);
}

QTEST_GUILESS_MAIN(TestDrives)
#include "test_drives.moc"
