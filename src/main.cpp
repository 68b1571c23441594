#include <QApplication>
#include <QDateTime>
#include <cstdio>

#include "store/IndexStore.h"
#include "results/Opener.h"
#include "ui/DesktopUrlOpener.h"
#include "ui/SingleInstance.h"
#include "ui/StartUp.h"
#include "ui/WindowSet.h"
#include "ui/frmStart.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trovander"));
    // Ties the windows to the installed desktop entry (its icon and name in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("trovander"));
    // The program ends only by its own decision (EndProgramNow), never because its last window closed.
    QApplication::setQuitOnLastWindowClosed(false);

    const trovander::IndexLocation location = trovander::locateIndex();
    // A second copy on the same index would only wait for the first one's locks: it hands over and leaves.
    trovander::SingleInstance instance(location.path);
    if (instance.outcome() == trovander::SingleInstance::Outcome::AlreadyRunning) {
        std::fprintf(stderr, "Trovander is already running on %s; %s\n", location.path.c_str(),
                     instance.answered() ? "its window is brought to the front."
                                         : "it did not answer, so nothing else was started.");
        return 0;
    }
    // A missing, foreign, locked or read-only index: one message naming the file, no window, nothing written.
    const std::unique_ptr<trovander::IndexStore> Conn = trovander::openIndexOrExplain(location);
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
