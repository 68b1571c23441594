// Starting programs for the open action: a command line with the entry's path put into it, a file that is
// itself a program, and the file manager on a folder. Nothing is waited for.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace trovander {

class AssociationStore;

// The separator between a folder and a name in a full path ("\" on Windows, "/" elsewhere). Paths here are
// bytes as the file system gives them.
char folderSeparator();

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
};

// The platform's launcher. Where the desktop names its file manager through the associations (the default
// application for inode/directory), it is looked up in associations, which must outlive the launcher.
std::unique_ptr<Launcher> makeSystemLauncher(AssociationStore& associations);

// Command lines in desktop-entry quoting (POSIX backends): arguments are separated by blanks; a double-quoted
// run keeps blanks and takes "\" before one of  " ` $ \  as that character; a single-quoted run is literal;
// outside quotes "\" takes the next character literally. nullopt when a quote is left open.
std::optional<QList<QByteArray>> splitCommandLine(const QByteArray& commandLine);
// The argument written so that splitCommandLine gives it back unchanged.
QByteArray quoteArgument(const QByteArray& argument);
// Every "%1" of every argument replaced by path.
QList<QByteArray> putPathIntoArguments(const QList<QByteArray>& arguments, const QByteArray& path);

}  // namespace trovander
