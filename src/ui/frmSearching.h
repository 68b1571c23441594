// The waiting window, up while a search fills the results list. It offers nothing to click.
#pragma once

#include "FormWindow.h"
#include "ui/Services.h"

namespace trovander {

class Windows;

class frmSearching : public SkinnedWindow {
    Q_OBJECT
  public:
    frmSearching(Windows& windows, Services& services);

  protected:
    // The window system's close command is ignored: the search that shows the window hides it.
    void closeEvent(QCloseEvent* event) override;

    Windows& windows_;
    Services& services_;
};

}  // namespace trovander
