// The one folder separator of the platform: between a folder's path and an entry's name.
#pragma once

namespace trovander {

#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif

}  // namespace trovander
