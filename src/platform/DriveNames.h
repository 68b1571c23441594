// How a drive of the drive list is written: its root folder for the walk and its name in progress texts.
#pragma once

#include <string>

namespace trovander {

// The folder a drive's walk starts in: "c:\" for drive c on Windows, the mount point itself elsewhere.
// A root that is only a separator ("/") keeps it; any other mount point has none at the end.
std::string driveRoot(const std::string& drive);
// The drive as "Scanning ... drive. please wait..." names it: "c:" on Windows, the mount point elsewhere.
std::string driveCaption(const std::string& drive);

}  // namespace trovander
