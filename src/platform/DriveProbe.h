// Which drives a rebuild walks. Windows offers the letters a to z; elsewhere the mounted file systems.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace trovander {

class DriveProbe {
  public:
    virtual ~DriveProbe() = default;
    // The drives worth probing, in walk order: "a" to "z" on Windows; elsewhere the mount point of each
    // real file system, in path order, with every part of a file system offered once.
    virtual std::vector<std::string> candidates() = 0;
    // True when the drive can be walked now: made the current drive on Windows, its root folder opened
    // elsewhere. A failure is an answer (false), never an exception.
    virtual bool validDrive(const std::string& drive) = 0;
};

// The platform's own probe.
std::unique_ptr<DriveProbe> makeSystemDriveProbe();

// A probe that offers the given folders as the drives, in the given order, and takes each as it is: a
// root that cannot be read is the walk's fault to report (trovander-index walks the folders it is given).
std::unique_ptr<DriveProbe> makeListDriveProbe(std::vector<std::string> roots);

}  // namespace trovander
