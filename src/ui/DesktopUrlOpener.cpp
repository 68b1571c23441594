#include "DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include "SiteAddress.h"

namespace trovander {

QString siteHostName() { return QUrl(QString::fromLatin1(SiteAddress)).host(); }

void DesktopUrlOpener::openUrl(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

}  // namespace trovander
