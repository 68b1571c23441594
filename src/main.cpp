#include <QApplication>
#include <QDateTime>
#include <QMessageBox>

#include "app/IndexStore.h"
#include "results/Opener.h"
#include "ui/DesktopUrlOpener.h"
#include "ui/Windows.h"
#include "ui/frmStart.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program ends only by its own decision (EndProgramNow), never because its last window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    std::unique_ptr<trovander::IndexStore> Conn;
    try {
        Conn = trovander::IndexStore::open(trovander::IndexStore::defaultPath());
    } catch (const trovander::StoreError& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Trovander"), QString::fromStdString(e.what()));
        return 1;
    }

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
