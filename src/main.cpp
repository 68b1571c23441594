#include <QApplication>
#include <QDateTime>

#include "app/IndexStore.h"
#include "results/Opener.h"
#include "ui/DesktopUrlOpener.h"
#include "ui/Windows.h"
#include "ui/StartUp.h"
#include "ui/frmStart.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends only by its own decision (EndProgramNow), never because its last window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    // A missing, foreign, locked or read-only index: one message, no window, nothing written.
    const std::unique_ptr<trovander::IndexStore> Conn =
        trovander::openIndexOrExplain(trovander::IndexStore::defaultPath());
    if (!Conn) return 1;

    trovander::DesktopUrlOpener urls;
    trovander::Services services;
    services.store = Conn.get();
    services.urls = &urls;
    services.now = [] { return QDateTime::currentDateTime(); };
    services.yield = [] { QCoreApplication::processEvents(); };
    services.drives = trovander::makeSystemDriveProbe().release();  // lives as long as the process

    trovander::SystemOpening opening(services);  // the desktop's associations and launcher
    trovander::Windows windows(services);
    windows.start().show();
    return QApplication::exec();
}
