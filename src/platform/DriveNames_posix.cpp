#include "platform/DriveNames.h"

namespace trovander {

std::string driveRoot(const std::string& drive) {
    std::string root = drive.empty() ? std::string("/") : drive;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

std::string driveCaption(const std::string& drive) { return driveRoot(drive); }

}  // namespace trovander
