#include "frmSearching.h"

#include <QCloseEvent>

#include "Skin.h"

namespace trovander {

frmSearching::frmSearching(Windows& windows, Services& services)
    : SkinnedWindow(QStringLiteral("Searching Please wait..."), QSize(458, 217),
                    skin::role("frmSearching/background"), QSize(458, 217)),
      windows_(windows),
      services_(services) {
    setObjectName("frmSearching");
}

void frmSearching::closeEvent(QCloseEvent* event) { event->ignore(); }

}  // namespace trovander
