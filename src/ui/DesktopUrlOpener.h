// Opens web addresses with the desktop's default browser.
#pragma once

#include "ui/Services.h"

namespace trovander {

class DesktopUrlOpener : public UrlOpener {
  public:
    // The result is not looked at: without a browser the link does nothing visible.
    void openUrl(const QString& address) override;
};

}  // namespace trovander
