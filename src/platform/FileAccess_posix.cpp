#include <unistd.h>

#include "platform/FileAccess.h"

namespace trovander {

bool pathExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool pathReadable(const std::string& path) { return ::access(path.c_str(), R_OK) == 0; }

// access() also answers for a file system mounted read-only.
bool pathWritable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace trovander
