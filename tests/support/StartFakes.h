// Doubles for the start window's tests: a drive list that answers from a table, a fixed clock, and a
// bind mount that goes away with its owner.
#pragma once

#include <QDateTime>
#include <QTemporaryDir>
#include <set>
#include <string>
#include <vector>

#include "platform/DriveProbe.h"

namespace trovander::testing {

// Offers the given drives in the given order; those in refused fail the probe. Counts the probes.
class ListDriveProbe final : public DriveProbe {
  public:
    explicit ListDriveProbe(std::vector<std::string> drives, std::set<std::string> refused = {})
        : drives_(std::move(drives)), refused_(std::move(refused)) {}
    std::vector<std::string> candidates() override { return drives_; }
    bool validDrive(const std::string& drive) override {
        ++probes;
        return refused_.count(drive) == 0;
    }
    void setDrives(std::vector<std::string> drives) { drives_ = std::move(drives); }
    int probes = 0;

  private:
    std::vector<std::string> drives_;
    std::set<std::string> refused_;
};

// A local date-time on a fixed calendar day, for the clock the check is given.
QDateTime localAt(int year, int month, int day, int hour = 12, int minute = 0, int second = 0);

// A temporary folder on a disk-backed file system when one is at hand (the build folder), so that bind
// mounts of it count as real file systems; the system's temporary folder otherwise.
class DiskTempDir {
  public:
    DiskTempDir();
    const std::string& path() const { return path_; }
    std::string sub(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    QTemporaryDir dir_;
    std::string path_;
};

// mount --bind source target for the owner's lifetime (detached on destruction). ok() is false, with the
// reason in error(), when the system refuses the mount (no privilege, no mount namespace).
class BindMount {
  public:
    BindMount(const std::string& source, const std::string& target);
    ~BindMount();
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool ok() const { return mounted_; }
    const std::string& error() const { return error_; }

  private:
    std::string target_;
    bool mounted_ = false;
    std::string error_;
};

// The lines of the system's mount table whose mount point is folder or lies inside it.
std::string mountTableWithin(const std::string& folder);

}  // namespace trovander::testing
