// Opening the index at start-up: a failure is one modal message saying what is wrong and where, and the
// program goes no further (no window opens, nothing is written to the file).
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "store/IndexStore.h"

namespace trovander {

// Shows the start-up failure as a modal critical message box with an OK button.
void showStartUpError(const QString& text);

// Where the index lives. Beside the program when its folder can be written (the build folder, a copy
// carried on a stick); otherwise, and always for an installed copy (one whose desktop entry lies in
// ../share/applications: a package must never get an index written into /usr/bin, not even by root), in
// the user's data folder, dataDir/trovander/Main.mdb.
struct IndexLocation {
    std::string path;
    bool inUserData = false;  // made empty there on first start
};
IndexLocation locateIndex(const QString& programDir, const QString& dataDir);
// The location for this process: the program's folder and the user's data folder (QStandardPaths).
IndexLocation locateIndex();

// Opens the index at path; on failure shows the error once through showError and returns null.
std::unique_ptr<IndexStore> openIndexOrExplain(
    const std::string& path, const std::function<void(const QString&)>& showError = showStartUpError);
// As above for a location; one in the user's data folder is made empty first when it is not there yet
// (its folder included). A failure to make it is explained in the same way, naming the file.
std::unique_ptr<IndexStore> openIndexOrExplain(
    const IndexLocation& location, const std::function<void(const QString&)>& showError = showStartUpError);

}  // namespace trovander
