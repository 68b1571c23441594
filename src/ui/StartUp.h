// Opening the index at start-up: a failure is one modal message saying what is wrong and where, and the
// program goes no further (no window opens, nothing is written to the file).
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/IndexStore.h"

namespace trovander {

// Shows the start-up failure as a modal critical message box with an OK button.
void showStartUpError(const QString& text);

// Opens the index at path; on failure shows the error once through showError and returns null.
std::unique_ptr<IndexStore> openIndexOrExplain(const std::string& path,
                                               const std::function<void(const QString&)>& showError = showStartUpError);

}  // namespace trovander
