// Starting programs for the open action: a command line with the entry's path put into it, a file that is
// itself a program, and the file manager on a folder. Nothing is waited for.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "platform/FolderSeparator.h"

namespace trovander {

class AssociationStore;

// How the started program's window should open. Only a request: a desktop may ignore it.
enum class WindowStyle { NormalFocus = 1, MinimizedFocus = 2 };

class Launcher {
  public:
    virtual ~Launcher() = default;

    // Starts commandTemplate with every "%1" standing for path. The path never adds, removes or changes an
    // argument of the template, whatever characters it holds. False with *error set when nothing started.
    virtual bool startCommand(const QByteArray& commandTemplate, const QByteArray& path, WindowStyle style,
                              QString* error) = 0;
    // Starts the file at path as the program itself, with no arguments.
    virtual bool startProgram(const QByteArray& path, WindowStyle style, QString* error) = 0;
    // Opens the desktop's file manager on folder.
    virtual bool openFolder(const QByteArray& folder, QString* error) = 0;
    // Shows the folder that holds path in the file manager with the entry selected, where the desktop
    // offers that; otherwise opens that folder as openFolder does.
    virtual bool showInFolder(const QByteArray& path, QString* error) = 0;
    // Whether an entry is at path now (links followed): an index can outlive the files it names.
    virtual bool exists(const QByteArray& path) = 0;
};

// Starts a program found on disk with its whole argument vector (the first is the program as named).
// The system launcher spawns it; a dry run writes it down instead.
using StartArguments =
    std::function<bool(const QByteArray& program, const QList<QByteArray>& arguments, QString* error)>;

// The platform's launcher. Where the desktop names its file manager through the associations (the default
// application for inode/directory), it is looked up in associations, which must outlive the launcher.
// start, when given, takes the place of spawning the program.
std::unique_ptr<Launcher> makeSystemLauncher(AssociationStore& associations, StartArguments start = {});

// The file: URL of a path, every byte outside the unreserved set percent-encoded, so a name that is not
// UTF-8 keeps its bytes.
QByteArray fileUrl(const QByteArray& path);
// The folder part of a full path ("/" for an entry of the root).
QByteArray parentFolder(const QByteArray& path);

// Command lines in desktop-entry quoting (POSIX backends): arguments are separated by blanks; a double-quoted
// run keeps blanks and takes "\" before one of  " ` $ \  as that character; a single-quoted run is literal;
// outside quotes "\" takes the next character literally. nullopt when a quote is left open.
std::optional<QList<QByteArray>> splitCommandLine(const QByteArray& commandLine);
// The argument written so that splitCommandLine gives it back unchanged.
QByteArray quoteArgument(const QByteArray& argument);
// Every "%1" of every argument replaced by path and every "%%" by one "%", read from left to right; any
// other "%" stays as it is. A template spells a literal "%1" as "%%1".
QList<QByteArray> putPathIntoArguments(const QList<QByteArray>& arguments, const QByteArray& path);
// text with every "%" doubled, so that putPathIntoArguments gives it back unchanged.
QByteArray escapePercent(const QByteArray& text);

// A placeholder met in a script: how many bytes it spans, and either the arguments it stands for or, for
// a literal, the text that takes its place.
struct ScriptPlaceholder {
    qsizetype length = 0;
    QList<QByteArray> values;
    bool literal = false;
    QByteArray text;
    bool file = false;  // it stands for the file's path, the one value the entry's author does not choose
};
// The placeholder that starts at position at of text, none when none does.
using FindPlaceholder = std::function<std::optional<ScriptPlaceholder>(const QByteArray& text, qsizetype at)>;

// Where the arguments start a POSIX shell on a script (sh -c SCRIPT, bash -lc SCRIPT, env ... sh -c
// SCRIPT), every placeholder in the script becomes a quoted reference to a positional parameter and its
// values are added after the script's own arguments: a value reaches the shell only as a parameter's
// value, never as text it parses. None when a placeholder stands where that cannot be done (inside $(...),
// backticks or ${...}, after a backslash, in a script that runs another shell or eval, or in the script
// of another interpreter such as python -c). Any other argument may hold the file's placeholder only as
// the whole argument: inside a larger one it may be code to whatever program reads it (nice sh -c,
// flock -c, an awk program), so that is none too, whatever the program in front. Arguments that start no
// shell and pass the file only as whole arguments come back as they are.
// *scriptIndex, when given, is set to the rewritten script's argument, -1 when none was rewritten; the
// values added are the arguments from the given ones' count on.
std::optional<QList<QByteArray>> passScriptValuesAsParameters(const QList<QByteArray>& arguments,
                                                              const FindPlaceholder& find,
                                                              qsizetype* scriptIndex = nullptr);

// A command template as the launcher starts it: split, made safe where it passes the path to a shell,
// and the path put in. None with *error set when the line does not split or cannot be made safe.
std::optional<QList<QByteArray>> commandArguments(const QByteArray& commandTemplate, const QByteArray& path,
                                                  QString* error);

}  // namespace trovander
