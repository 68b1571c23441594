#include "platform/DriveNames.h"

namespace trovander {

std::string driveRoot(const std::string& drive) { return drive + ":\\"; }
std::string driveCaption(const std::string& drive) { return drive + ":"; }

}  // namespace trovander
