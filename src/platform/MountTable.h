// The mount table of POSIX systems, as the system's drive probe reads it; only POSIX code includes this.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DriveProbe.h"

namespace trovander {

// One line of /proc/self/mountinfo; paths are decoded bytes (\040 is a blank again).
struct MountEntry {
    int id = 0;
    int parentId = 0;
    std::string device;      // "major:minor" of the file system
    std::string root;        // the folder of that file system that is mounted here
    std::string mountPoint;  // where it appears
    std::string fsType;
};

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> parseMountTable(std::string_view text);
// False for the kernel pseudo file systems and memory-backed scratch space, which hold no user files.
bool isRealFileSystem(std::string_view fsType);
// The mount points a rebuild offers, in path order. A mount hidden by a later mount on the same point is
// left out. A bind mount that shows a part of a file system that an offered mount already shows (that
// mount's root is the same folder or an ancestor of it, and the part is reachable there) is left out too,
// so each file is walked once; a bind mount whose content is reachable nowhere else is a drive of its own.
std::vector<std::string> drivesOfMountTable(const std::vector<MountEntry>& table);
// Path order: compares folder by folder, so "/home/a" comes before "/home-b".
bool pathLess(std::string_view a, std::string_view b);

// A probe over a mount table read by the given function (the system's reads /proc/self/mountinfo).
std::unique_ptr<DriveProbe> makeMountTableDriveProbe(std::function<std::string()> readTable);
std::string readSystemMountTable();

}  // namespace trovander
