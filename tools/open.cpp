// trovander-open [--dry-run] PATH...: opens each path as a double-click on its row would, with the
// desktop's own associations; with --dry-run it prints, for each path, the program and then each of its
// arguments on a line of its own (raw bytes), a blank line between paths, and starts nothing.
// Messages the window would show go to standard error. Exit status: 0 when every path opened (or would),
// 1 when one did not, 2 for a bad command line.
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"
#include "results/Opener.h"

using namespace trovander;

namespace {

void writeLine(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

QByteArray absolute(const QByteArray& path) {
    if (path.startsWith('/')) return path;
    QByteArray folder(4096, '\0');
    while (::getcwd(folder.data(), static_cast<size_t>(folder.size())) == nullptr) {
        if (errno != ERANGE) return path;
        folder.resize(folder.size() * 2);
    }
    folder.truncate(static_cast<qsizetype>(std::strlen(folder.constData())));
    return (folder == "/" ? QByteArray() : folder) + '/' + path;
}

bool succeeded(OpenOutcome outcome) {
    return outcome == OpenOutcome::FileManagerStarted || outcome == OpenOutcome::ProgramStarted ||
           outcome == OpenOutcome::CommandStarted;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool dryRun = false;
    QList<QByteArray> paths;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (!optionsEnded && argument == "--dry-run") {
            dryRun = true;
        } else if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith('-') && argument != "-") {
            std::fprintf(stderr, "trovander-open: unknown option %s\n", argv[i]);
            std::fprintf(stderr, "usage: trovander-open [--dry-run] [--] PATH...\n");
            return 2;
        } else {
            paths.append(argument);
        }
    }
    if (paths.isEmpty()) {
        std::fprintf(stderr, "usage: trovander-open [--dry-run] [--] PATH...\n");
        return 2;
    }

    const std::unique_ptr<AssociationStore> associations = makeSystemAssociationStore();
    StartArguments print;
    if (dryRun)
        print = [](const QByteArray& program, const QList<QByteArray>& arguments, QString*) {
            writeLine(program);
            for (qsizetype i = 1; i < arguments.size(); ++i) writeLine(arguments[i]);
            return true;
        };
    const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*associations, print);

    int status = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (dryRun && i > 0) writeLine({});
        QByteArray path = absolute(paths[i]);
        while (path.size() > 1 && path.endsWith('/')) path.chop(1);
        const qsizetype slash = path.lastIndexOf('/');
        SelectedRow row{path.mid(slash + 1), path.left(slash), QString()};
        // A folder's row opens the file manager on the folder that holds it, as in the list.
        struct stat info {};
        if (::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode))
            row.sizeText = QStringLiteral("Folder");
        const OpenOutcome outcome = openResult(row, *associations, *launcher, [](const QString& text) {
            std::fprintf(stderr, "trovander-open: %s\n", text.toLocal8Bit().constData());
        });
        if (!succeeded(outcome)) status = 1;
    }
    std::fflush(stdout);
    return status;
}
