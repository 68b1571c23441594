#include "support/StartFakes.h"

#include <sys/mount.h>

#include <QDir>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/MountTable.h"

namespace trovander::testing {

QDateTime localAt(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

DiskTempDir::DiskTempDir()
    : dir_([] {
          const QByteArray build = qgetenv("TROVANDER_BUILD");
          const QString base = build.isEmpty() ? QDir::tempPath() : QString::fromLocal8Bit(build);
          return base + QStringLiteral("/start-XXXXXX");
      }()) {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    path_ = dir_.path().toStdString();
}

BindMount::BindMount(const std::string& source, const std::string& target) : target_(target) {
    if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0)
        mounted_ = true;
    else
        error_ = std::strerror(errno);
}

BindMount::~BindMount() {
    if (mounted_) ::umount2(target_.c_str(), MNT_DETACH);
}

std::string mountTableWithin(const std::string& folder) {
    std::string kept;
    for (const MountEntry& e : parseMountTable(readSystemMountTable())) {
        if (e.mountPoint != folder && e.mountPoint.rfind(folder + "/", 0) != 0) continue;
        // Written back in the table's own shape; these test paths hold no blanks to escape.
        kept += std::to_string(e.id) + " " + std::to_string(e.parentId) + " " + e.device + " " + e.root +
                " " + e.mountPoint + " rw - " + e.fsType + " src rw\n";
    }
    return kept;
}

}  // namespace trovander::testing
