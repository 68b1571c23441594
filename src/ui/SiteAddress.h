// The maker's web address, opened by the site links and on leaving the search window.
#pragma once

#include <QString>

namespace trovander {

// The project has no web site yet; a reserved example domain keeps the links from reaching a stranger's.
inline constexpr char SiteAddress[] = "https://trovander.example/";

// What lblVisitSite shows: the host name of SiteAddress.
QString siteHostName();

}  // namespace trovander
