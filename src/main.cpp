// The composition root: every system backend is made here once and handed to the windows.
#include <QApplication>
#include <QDateTime>
#include <cstdio>
#include <memory>

#include "platform/AssociationStore.h"
#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "platform/Launcher.h"
#include "platform/ProgramEnd.h"
#include "store/IndexStore.h"
#include "ui/DesktopUrlOpener.h"
#include "ui/Services.h"
#include "ui/SingleInstance.h"
#include "ui/StartUp.h"
#include "ui/WindowSet.h"
#include "ui/frmStart.h"

namespace {

// The desktop's association store, launcher, drive probe, folder reader, URL opener, clock, event-loop
// yield and end-at-once, for as long as the process runs; the windows get them as services.
class SystemBackends {
  public:
    explicit SystemBackends(trovander::IndexStore& store)
        : associations_(trovander::makeSystemAssociationStore()),
          launcher_(trovander::makeSystemLauncher(*associations_)),
          drives_(trovander::makeSystemDriveProbe()),
          folders_(trovander::makeSystemFolderReader()) {
        services_.store = &store;
        services_.associations = associations_.get();
        services_.launcher = launcher_.get();
        services_.urls = &urls_;
        services_.drives = drives_.get();
        services_.folders = folders_.get();
        services_.end = &end_;
        services_.now = [] { return QDateTime::currentDateTime(); };
        services_.yield = [] { QCoreApplication::processEvents(); };
    }
    SystemBackends(const SystemBackends&) = delete;
    SystemBackends& operator=(const SystemBackends&) = delete;

    trovander::Services& services() { return services_; }

  private:
    std::unique_ptr<trovander::AssociationStore> associations_;
    std::unique_ptr<trovander::Launcher> launcher_;
    std::unique_ptr<trovander::DriveProbe> drives_;
    std::unique_ptr<trovander::FolderReader> folders_;
    trovander::DesktopUrlOpener urls_;
    trovander::ProgramEnd end_;
    trovander::Services services_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("trovander"));
    // Ties the windows to the installed desktop entry (its icon and name in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("trovander"));
    // The program ends only by its own decision (ProgramEnd), never because its last window closed.
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

    SystemBackends backends(*Conn);
    trovander::Windows windows(backends.services());
    windows.start().show();
    return QApplication::exec();
}
