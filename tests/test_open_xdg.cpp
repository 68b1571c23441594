// The freedesktop association store on temporary XDG folders, and the POSIX launcher starting a helper
// that writes down the arguments it was given.
#include <fcntl.h>
#include <unistd.h>

#include <QtTest>

#include "platform/AssociationStore.h"
#include "platform/AssociationStore_memory.h"
#include "platform/Launcher.h"
#include "results/Opener.h"
#include "support/OpenFakes.h"

using namespace trovander;
using trovander::testing::TempXdg;

Q_DECLARE_METATYPE(trovander::OpenOutcome)

namespace {

// The key's default value as the lookup reads it; null when the key does not exist.
QByteArray valueOf(AssociationStore& store, const QByteArray& subKey) {
    AssociationKey key = 0;
    if (store.openKey(subKey, &key) != kStatusSuccess) return {};
    char buffer[kAssociationBufferBytes];
    std::uint32_t countBytes = sizeof buffer;
    const long status = store.readDefaultValue(key, buffer, &countBytes);
    store.closeKey(key);
    if (status != kStatusSuccess) return QByteArray("status ") + QByteArray::number(qlonglong(status));
    return QByteArray(buffer, countBytes - 1);
}

QByteArray commandOf(AssociationStore& store, const QByteArray& type) {
    return valueOf(store, type + "\\shell\\open\\command");
}

constexpr int kHelperWaitMs = 10000;

// Files given as "relative path\n--\ncontent", several joined by "\n==\n".
void writeFiles(TempXdg& xdg, const QByteArray& files) {
    if (files.isEmpty()) return;
    for (qsizetype start = 0; start < files.size();) {
        qsizetype end = files.indexOf("\n==\n", start);
        if (end < 0) end = files.size();
        const QByteArray one = files.mid(start, end - start);
        const qsizetype split = one.indexOf("\n--\n");
        xdg.write(xdg.root() + "/" + one.left(split), one.mid(split + 4));
        start = end + 4;
    }
}

}  // namespace

class TestOpenXdg : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void extensionKey_data() {
        QTest::addColumn<QByteArray>("homeGlobs2");
        QTest::addColumn<QByteArray>("dirGlobs2");
        QTest::addColumn<QByteArray>("dirGlobs");  // the older file without weights
        QTest::addColumn<QByteArray>("asked");
        QTest::addColumn<QByteArray>("type");
        const QByteArray none;
        QTest::newRow("glob") << none << QByteArray("50:text/plain:*.txt\n") << none << QByteArray(".txt")
                              << QByteArray("text/plain");
        QTest::newRow("any case") << none << QByteArray("50:text/plain:*.txt\n") << none << QByteArray(".TXT")
                                  << QByteArray("text/plain");
        QTest::newRow("case-sensitive glob, other case")
            << none << QByteArray("50:text/x-c++src:*.C:cs\n") << none << QByteArray(".c") << none;
        QTest::newRow("case-sensitive glob, its case")
            << none << QByteArray("50:text/x-c++src:*.C:cs\n") << none << QByteArray(".C")
            << QByteArray("text/x-c++src");
        QTest::newRow("exact spelling breaks a tie")
            << none << QByteArray("50:text/x-csrc:*.c\n50:text/x-c++src:*.C:cs\n") << none << QByteArray(".C")
            << QByteArray("text/x-c++src");
        QTest::newRow("higher weight")
            << none << QByteArray("40:a/low:*.dat\n60:a/high:*.dat\n40:a/later:*.dat\n") << none
            << QByteArray(".dat") << QByteArray("a/high");
        QTest::newRow("type spelt as the globs spell it")
            << none << QByteArray("50:Text/X-Mixed:*.mix\n") << none << QByteArray(".MIX")
            << QByteArray("Text/X-Mixed");
        QTest::newRow("longer glob is not the extension")
            << none << QByteArray("50:application/x-compressed-tar:*.tar.gz\n") << none << QByteArray(".gz")
            << none;
        QTest::newRow("wildcards are no extension")
            << none << QByteArray("50:a/b:*.[ch]\n") << none << QByteArray(".c") << none;
        QTest::newRow("older globs file") << none << none << QByteArray("# comment\ntext/plain:*.txt\n")
                                          << QByteArray(".txt") << QByteArray("text/plain");
        QTest::newRow("data home comes first")
            << QByteArray("50:a/home:*.x\n") << QByteArray("50:a/dir:*.x\n") << none << QByteArray(".x")
            << QByteArray("a/home");
        QTest::newRow("data home clears a type")
            << QByteArray("50:text/plain:__NOGLOBS__\n") << QByteArray("50:text/plain:*.txt\n") << none
            << QByteArray(".txt") << none;
        QTest::newRow("a dot alone") << none << QByteArray("50:a/b:*.\n") << none << QByteArray(".") << none;
        QTest::newRow("no glob") << none << QByteArray("50:text/plain:*.txt\n") << none << QByteArray(".md")
                                 << none;
    }
    void extensionKey() {
        QFETCH(QByteArray, homeGlobs2);
        QFETCH(QByteArray, dirGlobs2);
        QFETCH(QByteArray, dirGlobs);
        QFETCH(QByteArray, asked);
        QFETCH(QByteArray, type);
        TempXdg xdg;
        if (!homeGlobs2.isNull()) xdg.write(xdg.dataHome() + "/mime/globs2", homeGlobs2);
        if (!dirGlobs2.isNull()) xdg.write(xdg.dataDir() + "/mime/globs2", dirGlobs2);
        if (!dirGlobs.isNull()) xdg.write(xdg.dataDir() + "/mime/globs", dirGlobs);
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        QCOMPARE(valueOf(*store, asked), type);
    }

    // Which application's command a type gets. Applications: editor (Exec "editor %U"), viewer, and
    // whatever a row adds; a null command is no key.
    void commandKey_data() {
        QTest::addColumn<QByteArray>(
            "files");  // path relative to the fixture, "\n--\n", content; "\n==\n" between
        QTest::addColumn<QByteArray>("desktop");
        QTest::addColumn<QByteArray>("asked");
        QTest::addColumn<QByteArray>("command");
        const QByteArray editor("editor \"%1\""), viewer("viewer \"%1\"");
        const QByteArray none;
        auto defaults = [](const char* where, const char* line) {
            return QByteArray(where) + "\n--\n[Default Applications]\n" + line + "\n";
        };
        QTest::newRow("default in the user's list")
            << defaults("config-home/mimeapps.list", "text/plain=editor.desktop;") << none
            << QByteArray("text/plain") << editor;
        QTest::newRow("type in another case")
            << defaults("config-home/mimeapps.list", "text/plain=editor.desktop;") << none
            << QByteArray("TEXT/Plain") << editor;
        QTest::newRow("user's list before the distribution's")
            << defaults("config-home/mimeapps.list", "text/plain=viewer.desktop;") + "\n==\n" +
                   defaults("data-dir/applications/mimeapps.list", "text/plain=editor.desktop;")
            << none << QByteArray("text/plain") << viewer;
        QTest::newRow("system list when the user has none")
            << defaults("config-dir/mimeapps.list", "text/plain=viewer.desktop;") << none
            << QByteArray("text/plain") << viewer;
        QTest::newRow("desktop-specific list first")
            << defaults("config-home/mimeapps.list", "text/plain=editor.desktop;") + "\n==\n" +
                   defaults("config-home/x-test-mimeapps.list", "text/plain=viewer.desktop;")
            << QByteArray("X-Test") << QByteArray("text/plain") << viewer;
        QTest::newRow("uninstalled default skipped")
            << defaults("config-home/mimeapps.list", "text/plain=gone.desktop;viewer.desktop;") << none
            << QByteArray("text/plain") << viewer;
        QTest::newRow("hidden entry is not installed")
            << defaults("config-home/mimeapps.list", "text/plain=hidden.desktop;viewer.desktop;") << none
            << QByteArray("text/plain") << viewer;
        QTest::newRow("missing TryExec is not installed")
            << defaults("config-home/mimeapps.list", "text/plain=tryexec.desktop;") << none
            << QByteArray("text/plain") << none;
        QTest::newRow("added association")
            << QByteArray("config-home/mimeapps.list\n--\n[Added Associations]\ntext/plain=viewer.desktop;\n")
            << none << QByteArray("text/plain") << viewer;
        QTest::newRow("cache") << QByteArray(
                                      "data-dir/applications/mimeinfo.cache\n--\n[MIME Cache]\n"
                                      "text/plain=editor.desktop;viewer.desktop;\n")
                               << none << QByteArray("text/plain") << editor;
        QTest::newRow("removed association not taken from the cache")
            << QByteArray(
                   "config-home/mimeapps.list\n--\n[Removed Associations]\ntext/plain=editor.desktop;\n"
                   "\n==\ndata-dir/applications/mimeinfo.cache\n--\n[MIME Cache]\n"
                   "text/plain=editor.desktop;viewer.desktop;\n")
            << none << QByteArray("text/plain") << viewer;
        QTest::newRow("parent type's application")
            << defaults("config-home/mimeapps.list", "text/plain=editor.desktop;") + "\n==\n" +
                   "data-dir/mime/subclasses\n--\ntext/x-csrc text/plain\n"
            << none << QByteArray("text/x-csrc") << editor;
        QTest::newRow("own application before the parent's")
            << defaults("config-home/mimeapps.list",
                        "text/plain=editor.desktop;\ntext/x-csrc=viewer.desktop;") +
                   "\n==\n" + "data-dir/mime/subclasses\n--\ntext/x-csrc text/plain\n"
            << none << QByteArray("text/x-csrc") << viewer;
        QTest::newRow("vendor prefix as a folder")
            << defaults("config-home/mimeapps.list", "text/plain=vendor-tool.desktop;") << none
            << QByteArray("text/plain") << QByteArray("tool \"%1\"");
        QTest::newRow("no application") << QByteArray() << none << QByteArray("text/plain") << none;
        QTest::newRow("empty type") << defaults("config-home/mimeapps.list", "=editor.desktop;") << none
                                    << QByteArray("") << none;
    }
    void commandKey() {
        QFETCH(QByteArray, files);
        QFETCH(QByteArray, desktop);
        QFETCH(QByteArray, asked);
        QFETCH(QByteArray, command);
        TempXdg xdg;
        xdg.addApplication("editor.desktop", "editor %U");
        xdg.addApplication("viewer.desktop", "viewer %f");
        xdg.addApplication("hidden.desktop", "hidden %f", "Hidden=true\n");
        xdg.addApplication("tryexec.desktop", "tryexec %f", "TryExec=no-such-program-here\n");
        xdg.write(xdg.dataDir() + "/applications/vendor/tool.desktop", "[Desktop Entry]\nExec=tool %u\n");
        writeFiles(xdg, files);
        if (!desktop.isEmpty()) qputenv("XDG_CURRENT_DESKTOP", desktop);
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        QCOMPARE(commandOf(*store, asked), command);
    }

    // Exec lines as the command key gives them.
    void execLine_data() {
        QTest::addColumn<QByteArray>("exec");  // as written in the desktop file
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("%f") << QByteArray("editor %f") << QByteArray("editor \"%1\"");
        QTest::newRow("%F") << QByteArray("editor %F") << QByteArray("editor \"%1\"");
        QTest::newRow("%u") << QByteArray("editor %u") << QByteArray("editor \"%1\"");
        QTest::newRow("%U") << QByteArray("editor --new %U") << QByteArray("editor --new \"%1\"");
        QTest::newRow("%i %c %k expanded") << QByteArray("editor %i %c %k %U")
                                           << QByteArray("editor --icon ed-icon \"Ed 100%%\" ENTRY \"%1\"");
        QTest::newRow("deprecated codes dropped")
            << QByteArray("editor %d %D %n %N %v %m %f") << QByteArray("editor \"%1\"");
        // The file's code must be a whole argument: inside one, it may be code to the program.
        QTest::newRow("inside an argument: passed over") << QByteArray("editor --file=%f") << QByteArray();
        // The template spells a literal percent sign doubled, so "%%1" can never become the path.
        QTest::newRow("percent sign") << QByteArray("printf 100%% %f") << QByteArray("printf 100%% \"%1\"");
        QTest::newRow("percent sign and 1") << QByteArray("printf %%1 %f") << QByteArray("printf %%1 \"%1\"");
        QTest::newRow("shell script")
            << QByteArray("sh -c \"editor %f\"") << QByteArray("sh -c \"editor \\\"\\${1}\\\"\" sh \"%1\"");
        QTest::newRow("shell script that cannot be made safe")
            << QByteArray("sh -c \"editor $(basename %f)\"") << QByteArray();
        QTest::newRow("quoted program")
            << QByteArray("\"/opt/My Editor/ed\" %U") << QByteArray("\"/opt/My Editor/ed\" \"%1\"");
        QTest::newRow("string escapes")
            << QByteArray("editor\\s--new %f") << QByteArray("editor --new \"%1\"");
        QTest::newRow("escaped backslash in quotes")
            << QByteArray("ed \"a\\\\\\\\b\" %f") << QByteArray("ed \"a\\\\b\" \"%1\"");
        QTest::newRow("escaped dollar in quotes")
            << QByteArray("sh -c \"echo \\\\$HOME\" %f") << QByteArray("sh -c \"echo \\$HOME\" \"%1\"");
        QTest::newRow("no field code") << QByteArray("viewer") << QByteArray("viewer");
        QTest::newRow("quote left open") << QByteArray("editor \"%f") << QByteArray();
        QTest::newRow("no Exec") << QByteArray("") << QByteArray();
    }
    void execLine() {
        QFETCH(QByteArray, exec);
        QFETCH(QByteArray, command);
        TempXdg xdg;
        xdg.addApplication("app.desktop", exec, "Name=Ed 100%\nIcon=ed-icon\n");
        xdg.write(xdg.configHome() + "/mimeapps.list", "[Default Applications]\ntext/plain=app.desktop\n");
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        command.replace("ENTRY", xdg.dataDir() + "/applications/app.desktop");
        QCOMPARE(commandOf(*store, "text/plain"), command);
    }

    // A program that needs a terminal is started in one, or not offered where there is none.
    void terminalApplications_data() {
        QTest::addColumn<QByteArray>("terminal");  // a program in the only PATH folder; empty: none
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("Debian's terminal")
            << QByteArray("x-terminal-emulator") << QByteArray("x-terminal-emulator -e editor \"%1\"");
        QTest::newRow("xterm") << QByteArray("xterm") << QByteArray("xterm -e editor \"%1\"");
        QTest::newRow("no terminal: next application") << QByteArray() << QByteArray("viewer \"%1\"");
    }
    void terminalApplications() {
        QFETCH(QByteArray, terminal);
        QFETCH(QByteArray, command);
        TempXdg xdg;
        if (!terminal.isEmpty()) xdg.recorder(terminal);
        xdg.addApplication("editor.desktop", "editor %F", "Terminal=true\n");
        xdg.addApplication("viewer.desktop", "viewer %f", "Terminal=false\n");
        xdg.write(xdg.configHome() + "/mimeapps.list",
                  "[Default Applications]\ntext/plain=editor.desktop;viewer.desktop;\n");
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", xdg.root() + "/bin");
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const QByteArray found = commandOf(*store, "text/plain");
        qputenv("PATH", savedPath);
        QCOMPARE(found, command);
    }

    void longValues() {
        TempXdg xdg;
        const QByteArray longCommand = "editor " + QByteArray(200, 'x') + " \"%1\"";
        xdg.addApplication("long.desktop", "editor " + QByteArray(200, 'x') + " %f");
        xdg.write(xdg.configHome() + "/mimeapps.list", "[Default Applications]\ntext/plain=long.desktop\n");
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        // A small buffer is told the size it needs; the lookup asks again with it.
        QCOMPARE(commandOf(*store, "text/plain"), QByteArray("status 234"));
        xdg.write(xdg.dataDir() + "/mime/globs2", "50:text/plain:*.txt\n");
        QCOMPARE(GetOpenCommand(*store, ".txt", {}), longCommand);
    }

    // Exec lines through the real store and launcher to the exact argument vector that would be executed.
    // REC is the recorder's path, PATH the file's, ENTRY the desktop file's. Rows whose entry cannot be
    // made safe get the next application, FALLBACK.
    void execArguments_data() {
        QTest::addColumn<QByteArray>("exec");
        QTest::addColumn<QList<QByteArray>>("expected");
        using L = QList<QByteArray>;
        const L fallback{"REC", "--fallback", "PATH"};
        QTest::newRow("%f") << QByteArray("REC %f") << L{"REC", "PATH"};
        QTest::newRow("%F") << QByteArray("REC %F") << L{"REC", "PATH"};
        QTest::newRow("%u") << QByteArray("REC %u") << L{"REC", "PATH"};
        QTest::newRow("%U") << QByteArray("REC --new-window %U") << L{"REC", "--new-window", "PATH"};
        QTest::newRow("caption, list, icon")
            << QByteArray("REC -caption %c %U %i")
            << L{"REC", "-caption", "My \"Rec\" 100%", "PATH", "--icon", "rec-icon"};
        QTest::newRow("%k") << QByteArray("REC --desktop %k %f") << L{"REC", "--desktop", "ENTRY", "PATH"};
        QTest::newRow("%%1 is a literal %1") << QByteArray("REC %%1 %f") << L{"REC", "%1", "PATH"};
        QTest::newRow("100%%") << QByteArray("REC 100%% %f") << L{"REC", "100%", "PATH"};
        QTest::newRow("deprecated codes") << QByteArray("REC %d %D %n %N %v %m %f") << L{"REC", "PATH"};
        QTest::newRow("inside an argument: passed over") << QByteArray("REC --file=%f") << fallback;
        QTest::newRow("field code inside quotes")
            << QByteArray("REC \"--name=%c\" \"%f\"") << L{"REC", "--name=My \"Rec\" 100%", "PATH"};
        QTest::newRow("escapes in quotes")
            << QByteArray("REC \"\\\\$HOME \\\\\" \\\\`x\\\\`\" %f") << L{"REC", "$HOME \" `x`", "PATH"};
        QTest::newRow("string escape") << QByteArray("REC\\s-n %f") << L{"REC", "-n", "PATH"};
        QTest::newRow("long line") << QByteArray("REC " + QByteArray(300, 'x') + " %f")
                                   << L{"REC", QByteArray(300, 'x'), "PATH"};
        QTest::newRow("sh -c") << QByteArray("sh -c \"REC %f\"")
                               << L{"sh", "-c", "REC \"${1}\"", "sh", "PATH"};
        QTest::newRow("sh -c, its own $0")
            << QByteArray("sh -c \"REC %f\" name") << L{"sh", "-c", "REC \"${1}\"", "name", "PATH"};
        QTest::newRow("sh -c, in the script's double quotes")
            << QByteArray("sh -c \"REC \\\\\"%f\\\\\"\"") << L{"sh", "-c", "REC \"${1}\"", "sh", "PATH"};
        QTest::newRow("sh -c, in the script's single quotes")
            << QByteArray("sh -c \"REC '%f'\"") << L{"sh", "-c", "REC ''\"${1}\"''", "sh", "PATH"};
        QTest::newRow("bash -lc, caption too")
            << QByteArray("/bin/bash -lc \"REC %c %f\"")
            << L{"/bin/bash", "-lc", "REC \"${1}\" \"${2}\"", "bash", "My \"Rec\" 100%", "PATH"};
        QTest::newRow("env sh -c") << QByteArray("env A=1 sh -c \"REC %f\"")
                                   << L{"env", "A=1", "sh", "-c", "REC \"${1}\"", "sh", "PATH"};
        QTest::newRow("percent in a script") << QByteArray("sh -c \"printf 100%%; REC %f\"")
                                             << L{"sh", "-c", "printf 100%; REC \"${1}\"", "sh", "PATH"};
        QTest::newRow("safe form kept")
            << QByteArray("sh -c 'REC \"$1\"' sh %f") << L{"sh", "-c", "REC \"$1\"", "sh", "PATH"};
        QTest::newRow("in $(...): passed over") << QByteArray("sh -c \"REC $(basename %f)\"") << fallback;
        QTest::newRow("in backticks: passed over") << QByteArray("sh -c \"REC `echo %f`\"") << fallback;
        QTest::newRow("eval: passed over") << QByteArray("sh -c \"eval REC %f\"") << fallback;
        QTest::newRow("shell in a shell: passed over")
            << QByteArray("sh -c \"bash -c 'REC %f'\"") << fallback;
        QTest::newRow("python -c: passed over") << QByteArray("python3 -c \"print('%f')\"") << fallback;
        QTest::newRow("env -S: passed over") << QByteArray("env -S \"REC %f\"") << fallback;
        QTest::newRow("quote left open: passed over") << QByteArray("REC \"%f") << fallback;
    }
    void execArguments() {
        QFETCH(QByteArray, exec);
        QFETCH(QList<QByteArray>, expected);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        xdg.write(xdg.dataHome() + "/mime/globs2", "50:application/x-trovander-test:*.tvt\n");
        exec.replace("REC", helper);
        xdg.addApplication("app.desktop", exec, "Name=My \"Rec\" 100%\nIcon=rec-icon\n");
        xdg.addApplication("fallback.desktop", helper + " --fallback %f");
        xdg.write(xdg.configHome() + "/mimeapps.list",
                  "[Default Applications]\napplication/x-trovander-test=app.desktop;fallback.desktop;\n");
        const QByteArray path = xdg.root() + "/a file.tvt";
        xdg.write(path, "x");
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        QList<QByteArray> started;
        const std::unique_ptr<Launcher> launcher =
            makeSystemLauncher(*store, [&](const QByteArray&, const QList<QByteArray>& arguments, QString*) {
                started = arguments;
                return true;
            });
        QCOMPARE(openResult(SelectedRow{"a file.tvt", xdg.root(), "1 KB(s)"}, *store, *launcher, {}),
                 OpenOutcome::CommandStarted);
        for (QByteArray& argument : expected) {
            argument.replace("REC", helper);
            argument.replace("ENTRY", xdg.dataDir() + "/applications/app.desktop");
            argument.replace("PATH", path);
        }
        QCOMPARE(started, expected);
    }

    // Hostile names through entries that hand the file to a shell, really started: the recorder gets the
    // path as its one argument and nothing the name spells runs.
    void hostileNamesThroughAShell_data() {
        QTest::addColumn<QByteArray>("exec");
        QTest::addColumn<QByteArray>("name");
        const QList<QByteArray> names{"$(touch PWNED).tvt",   "`touch PWNED`.tvt",
                                      "a;touch PWNED;b.tvt",  "a\ntouch PWNED\n.tvt",
                                      "it's \"q\" 'x.tvt",    "-rf --x.tvt",
                                      "caf\xe9 \xff\xfe.tvt", "${IFS}$HOME|touch PWNED&.tvt"};
        const QList<QByteArray> execs{"sh -c \"REC %f\"", "sh -c \"REC '%f'\"",
                                      "bash -c \"REC \\\\\"%f\\\\\"\""};
        for (const QByteArray& exec : execs)
            for (const QByteArray& name : names)
                QTest::newRow(
                    QByteArray(exec + " | " + name).toPercentEncoding(" $`;'\"|&-{}()|").constData())
                    << exec << name;
    }
    void hostileNamesThroughAShell() {
        QFETCH(QByteArray, exec);
        QFETCH(QByteArray, name);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        xdg.write(xdg.dataHome() + "/mime/globs2", "50:application/x-trovander-test:*.tvt\n");
        xdg.addApplication("app.desktop", exec.replace("REC", helper));
        xdg.write(xdg.configHome() + "/mimeapps.list",
                  "[Default Applications]\napplication/x-trovander-test=app.desktop;\n");
        const QByteArray folder = xdg.root() + "/files";
        xdg.write(folder + "/keep", "");
        const QByteArray path = folder + "/" + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QStringList shown;
        QCOMPARE(openResult(SelectedRow{name, folder, "1 KB(s)"}, *store, *launcher,
                            [&](const QString& text) { shown << text; }),
                 OpenOutcome::CommandStarted);
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        QCOMPARE(*xdg.recorded(), QList<QByteArray>{path});
        QVERIFY(!QFile::exists(QFile::decodeName(folder + "/PWNED")));
        QVERIFY(!QFile::exists(QFile::decodeName(xdg.root() + "/PWNED")));
        QVERIFY(!QFile::exists(QStringLiteral("PWNED")));
        QCOMPARE(shown, QStringList());
    }

    // A command template from elsewhere (not a desktop entry) that passes "%1" to a shell is made safe
    // by the launcher itself, or refused.
    void launcherGuardsShellScripts() {
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        const QByteArray path = xdg.root() + "/$(touch PWNED) `touch PWNED`.txt";
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QString error;
        QVERIFY(!launcher->startCommand("sh -c \"" + helper + " $(echo %1)\"", path,
                                        WindowStyle::MinimizedFocus, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY2(
            launcher->startCommand("sh -c \"" + helper + " %1\"", path, WindowStyle::MinimizedFocus, &error),
            qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        QCOMPARE(*xdg.recorded(), QList<QByteArray>{path});
        QVERIFY(!QFile::exists(QFile::decodeName(xdg.root() + "/PWNED")));
    }

    // Where the extension names nothing, the content type does, as QMimeDatabase reads the file.
    void contentTypeFallback_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("shell script, no extension")
            << QByteArray("build") << QByteArray("#!/bin/sh\necho hi\n")
            << QByteArray("application/x-shellscript");
        QTest::newRow("PDF, unknown extension")
            << QByteArray("paper.qqq") << QByteArray("%PDF-1.4\n%\xe2\xe3\n")
            << QByteArray("application/pdf");
        QTest::newRow("not UTF-8 name")
            << QByteArray("\xff\xfe") << QByteArray("#!/bin/sh\n") << QByteArray("application/x-shellscript");
        QTest::newRow("gone") << QByteArray("nothing") << QByteArray() << QByteArray();
    }
    void contentTypeFallback() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, type);
        TempXdg xdg;
        // The machine's shared-mime-info database; the fixture puts it back afterwards.
        qunsetenv("XDG_DATA_DIRS");
        const QByteArray path = xdg.root() + "/" + name;
        if (!content.isNull()) {
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
            ::close(fd);
        }
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        QCOMPARE(store->contentType(path), type);
    }

    void splitCommandLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QList<QByteArray>>("arguments");
        using L = QList<QByteArray>;
        QTest::newRow("plain") << QByteArray("editor  -n\t%1") << true << L{"editor", "-n", "%1"};
        QTest::newRow("double quotes")
            << QByteArray("\"/opt/My Ed/ed\" \"%1\"") << true << L{"/opt/My Ed/ed", "%1"};
        QTest::newRow("escapes in double quotes")
            << QByteArray("\"a\\\"b\\`c\\$d\\\\e\\nf\"") << true << L{"a\"b`c$d\\e\\nf"};
        QTest::newRow("single quotes literal") << QByteArray("'a \"b\" \\c'") << true << L{"a \"b\" \\c"};
        QTest::newRow("backslash outside quotes") << QByteArray("a\\ b") << true << L{"a b"};
        QTest::newRow("joined pieces") << QByteArray("--file=\"%1\"x") << true << L{"--file=%1x"};
        QTest::newRow("empty argument") << QByteArray("a \"\" b") << true << L{"a", "", "b"};
        QTest::newRow("blank line") << QByteArray("   ") << true << L{};
        QTest::newRow("double quote left open") << QByteArray("a \"b") << false << L{};
        QTest::newRow("single quote left open") << QByteArray("a 'b") << false << L{};
    }
    void splitCommandLine() {
        QFETCH(QByteArray, line);
        QFETCH(bool, valid);
        QFETCH(QList<QByteArray>, arguments);
        const std::optional<QList<QByteArray>> split = trovander::splitCommandLine(line);
        QCOMPARE(split.has_value(), valid);
        if (valid) QCOMPARE(*split, arguments);
    }

    void quotedArgumentsSplitBack() {
        const QList<QByteArray> awkward{"plain",       "",    "two words",   "it's",      "say \"hi\"",
                                        "$(rm -rf x)", "`x`", "back\\slash", "tab\there", "line\nbreak",
                                        "caf\xe9",     "%1",  "a;b|c&d"};
        for (const QByteArray& argument : awkward) {
            const std::optional<QList<QByteArray>> split =
                trovander::splitCommandLine(quoteArgument(argument));
            QVERIFY(split.has_value());
            QCOMPARE(*split, QList<QByteArray>{argument});
        }
    }

    // The real launcher: the helper gets exactly the arguments the template names, with the path in place.
    void startCommand_data() {
        QTest::addColumn<QByteArray>("commandTail");  // after the helper's own path
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QList<QByteArray>>("expected");  // "PATH" stands for the full path
        using L = QList<QByteArray>;
        const QByteArray tricky("it's a \"name\" $(touch pwned) `touch pwned`;|&.txt");
        QTest::newRow("quoted %1, tricky name") << QByteArray(" \"%1\"") << tricky << L{"PATH"};
        QTest::newRow("bare %1, tricky name") << QByteArray(" %1") << tricky << L{"PATH"};
        QTest::newRow("two %1") << QByteArray(" \"%1\" --again \"%1\"") << QByteArray("a b.txt")
                                << L{"PATH", "--again", "PATH"};
        QTest::newRow("name holding %1") << QByteArray(" \"%1\"") << QByteArray("%1 and %2.txt") << L{"PATH"};
        QTest::newRow("not UTF-8") << QByteArray(" \"%1\"") << QByteArray("caf\xe9 \xff.txt") << L{"PATH"};
        QTest::newRow("other placeholders stay")
            << QByteArray(" \"%1\" %* %2") << QByteArray("a.txt") << L{"PATH", "%*", "%2"};
    }
    void startCommand() {
        QFETCH(QByteArray, commandTail);
        QFETCH(QByteArray, name);
        QFETCH(QList<QByteArray>, expected);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder();
        const QByteArray path = xdg.root() + "/" + name;
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QString error;
        QVERIFY2(launcher->startCommand(quoteArgument(helper) + commandTail, path,
                                        WindowStyle::MinimizedFocus, &error),
                 qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        for (QByteArray& argument : expected) argument.replace("PATH", path);
        QCOMPARE(*xdg.recorded(), expected);
        QVERIFY(!QFile::exists(QFile::decodeName(xdg.root() + "/pwned")));
    }

    // The self-starting command starts the path itself; with anything more it goes through "%1".
    void selfStarting_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QList<QByteArray>>("expected");
        QTest::addColumn<OpenOutcome>("outcome");
        QTest::newRow("the seven characters")
            << QByteArray(kSelfStartingCommand) << QList<QByteArray>{} << OpenOutcome::ProgramStarted;
        QTest::newRow("and a space") << QByteArray("\"%1\" %* ") << QList<QByteArray>{"%*"}
                                     << OpenOutcome::CommandStarted;
    }
    void selfStarting() {
        QFETCH(QByteArray, command);
        QFETCH(QList<QByteArray>, expected);
        QFETCH(OpenOutcome, outcome);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder("tool with space.app");
        // The lookup is the in-memory one here: no desktop entry spells the seven characters.
        MemoryAssociationStore store;
        store.setText(".app", "appfile");
        store.setText("appfile\\shell\\open\\command", command);
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(store);
        const QByteArray folder = helper.left(helper.lastIndexOf('/'));
        QStringList shown;
        QCOMPARE(openResult(SelectedRow{"tool with space.app", folder, "1 KB(s)"}, store, *launcher,
                            [&](const QString& text) { shown << text; }),
                 outcome);
        QCOMPARE(shown, QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        QCOMPARE(*xdg.recorded(), expected);
    }

    void startFailures_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("blanks") << QByteArray("   ");
        QTest::newRow("no such program") << QByteArray("no-such-program-here \"%1\"");
        QTest::newRow("unexpanded variable") << QByteArray("%SystemRoot%\\notepad.exe \"%1\"");
        QTest::newRow("quote left open") << QByteArray("\"editor %1");
        QTest::newRow("not a program file") << QByteArray("/dev/null \"%1\"");
    }
    void startFailures() {
        QFETCH(QByteArray, command);
        TempXdg xdg;
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QString error;
        QVERIFY(!launcher->startCommand(command, "/tmp/a.txt", WindowStyle::MinimizedFocus, &error));
        QVERIFY(!error.isEmpty());
    }

    void startProgramThatIsNoProgram() {
        TempXdg xdg;
        xdg.write(xdg.root() + "/plain.app", "not a program");
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QString error;
        QVERIFY(!launcher->startProgram(xdg.root() + "/plain.app", WindowStyle::MinimizedFocus, &error));
        QVERIFY(error.contains("plain.app"));
    }

    // The file manager: the default application for inode/directory, else xdg-open; the folder one argument.
    void openFolder_data() {
        QTest::addColumn<bool>("hasDefault");
        QTest::newRow("default file manager") << true;
        QTest::newRow("xdg-open") << false;
    }
    void openFolder() {
        QFETCH(bool, hasDefault);
        TempXdg xdg;
        const QByteArray helper = xdg.recorder(hasDefault ? "file-manager" : "xdg-open");
        if (hasDefault) {
            xdg.addApplication("files.desktop", quoteArgument(helper) + " %U");
            xdg.write(xdg.configHome() + "/mimeapps.list",
                      "[Default Applications]\ninode/directory=files.desktop\n");
        }
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", xdg.root() + "/bin:" + savedPath);
        const QByteArray folder = xdg.root() + "/my \"docs\" $(x)";
        const std::unique_ptr<AssociationStore> store = makeSystemAssociationStore();
        const std::unique_ptr<Launcher> launcher = makeSystemLauncher(*store);
        QString error;
        const bool opened = launcher->openFolder(folder, &error);
        qputenv("PATH", savedPath);
        QVERIFY2(opened, qPrintable(error));
        QTRY_VERIFY_WITH_TIMEOUT(xdg.recorded().has_value(), kHelperWaitMs);
        QCOMPARE(*xdg.recorded(), QList<QByteArray>{folder});
    }
};

QTEST_GUILESS_MAIN(TestOpenXdg)
#include "test_open_xdg.moc"
