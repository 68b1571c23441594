// Renders each window offscreen to OUTDIR/<class>.png, at the window's client size times the scale.
//   trovander-snapshot OUTDIR [--scale S] [--with-rows]
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/ProgramEnd.h"
#include "search/ResultRows.h"
#include "store/IndexStore.h"
#include "ui/WindowSet.h"
#include "ui/frmAbout.h"
#include "ui/frmAboutProgrammer.h"
#include "ui/frmMain.h"
#include "ui/frmResult.h"
#include "ui/frmSearching.h"
#include "ui/frmStart.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: trovander-snapshot OUTDIR [--scale S] [--with-rows]\n");
    return 2;
}

bool save(QWidget& window, const QString& folder) {
    const QString path = QDir(folder).filePath(window.objectName() + QStringLiteral(".png"));
    // grab() paints the window without showing it, so no window's loading runs.
    if (window.grab().save(path)) return true;
    std::fprintf(stderr, "trovander-snapshot: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    QString outDir = QString::fromLocal8Bit(argv[1]);
    double scale = 1.0;
    bool withRows = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            scale = std::strtod(argv[++i], &end);
            if (*end != '\0' || scale <= 0 || scale > 8) {
                std::fprintf(stderr,
                             "trovander-snapshot: the scale must be a number above 0 and at most 8\n");
                return 2;
            }
        } else if (arg == "--with-rows") {
            withRows = true;
        } else {
            return usage();
        }
    }
    // The scale is the screen's: the windows draw themselves at that pixel ratio, as on a HiDPI screen.
    qputenv("QT_SCALE_FACTOR", QByteArray::number(scale));
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "trovander-snapshot: cannot make the folder %s\n", qPrintable(outDir));
        return 1;
    }
    // The windows are built against an empty index of their own, never the program's.
    QTemporaryDir scratch;
    const std::string indexPath = QDir(scratch.path()).filePath("Main.mdb").toStdString();
    std::unique_ptr<trovander::IndexStore> store;
    try {
        trovander::IndexStore::createEmpty(indexPath);
        store = trovander::IndexStore::open(indexPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trovander-snapshot: %s\n", e.what());
        return 1;
    }
    trovander::Services services;
    services.store = store.get();
    services.now = [] { return QDateTime::currentDateTime(); };
    services.yield = [] {};
    // Nothing here ends the program; a click that would is only recorded.
    trovander::ProgramEnd end([](int) {});
    services.end = &end;
    trovander::Windows windows(services);

    if (withRows) {
        // Rows as a search gathers them, with sizes and times as a look-up would find them.
        trovander::ResultRows rows;
        rows.addFile("report.odt", "/home/user/Documents");
        rows.setFound(0, /*sizeBytes=*/18944,
                      QDateTime(QDate(2024, 2, 3), QTime(10, 15, 42)).toSecsSinceEpoch());
        rows.addFolder("Documents", "/home/user");
        rows.addFile("holiday.jpg", "/home/user/Pictures/2023");
        rows.setFound(2, /*sizeBytes=*/2411725,
                      QDateTime(QDate(2023, 8, 21), QTime(18, 2, 7)).toSecsSinceEpoch());
        windows.result().results().append(std::move(rows));
        windows.result().lblSearchResult->setText(QStringLiteral("3 item(s) found"));
    }

    bool ok = save(windows.start(), outDir);
    ok = save(windows.main(), outDir) && ok;
    ok = save(windows.searching(), outDir) && ok;
    ok = save(windows.result(), outDir) && ok;
    ok = save(windows.about(), outDir) && ok;
    ok = save(windows.aboutProgrammer(), outDir) && ok;
    return ok ? 0 : 1;
}
