// Asking the file system about a path by name, for code above the platform layer (the store's journal and
// file checks). Paths are bytes (UTF-8 on Windows, where the backend speaks the wide API).
#pragma once

#include <string>

namespace trovander {

// Something is at path (a link is followed).
bool pathExists(const std::string& path);
// This process may read the file at path.
bool pathReadable(const std::string& path);
// This process may write the file at path, or make files in the folder at path.
bool pathWritable(const std::string& path);
// Removes the file at path; false when it could not be removed (or was not there).
bool removeFile(const std::string& path);

}  // namespace trovander
