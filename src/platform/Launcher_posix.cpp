#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <cstring>
#include <vector>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"

namespace trovander {

char folderSeparator() { return '/'; }

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// strchr alone would also match the terminating NUL.
bool isOneOf(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

// The characters a backslash escapes inside double quotes.
constexpr const char* kQuotedEscapes = "\"`$\\";

// Characters that must not stand bare in a desktop-entry argument.
bool needsQuotes(const QByteArray& argument) {
    if (argument.isEmpty()) return true;
    for (const char c : argument) {
        if (isBlank(c) || isOneOf(c, "\"'\\$`><~|&;*?#()")) return true;
    }
    return false;
}

QString displayText(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

bool isExecutableFile(const QByteArray& path) {
    struct stat info {};
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.constData(), X_OK) == 0;
}

// The program as execv needs it: a name with a "/" as it is, any other name searched along PATH.
std::optional<QByteArray> findProgram(const QByteArray& program) {
    if (program.isEmpty()) return std::nullopt;
    if (program.contains('/')) return isExecutableFile(program) ? std::optional(program) : std::nullopt;
    QByteArray searchPath = qgetenv("PATH");
    if (searchPath.isEmpty()) searchPath = "/usr/local/bin:/usr/bin:/bin";
    for (QByteArray folder : searchPath.split(':')) {
        if (folder.isEmpty()) folder = ".";
        const QByteArray candidate = folder + '/' + program;
        if (isExecutableFile(candidate)) return candidate;
    }
    return std::nullopt;
}

// Starts programPath with argv, detached: an intermediate child forks the program in a session of its
// own and leaves at once, so nothing is left for this process to reap. QProcess::startDetached is not
// used because Qt turns arguments into QString, and a path that is not UTF-8 would reach the program
// with replacement characters instead of its own bytes.
bool spawnDetached(const QByteArray& programPath, const QList<QByteArray>& argv, QString* error) {
    std::vector<char*> args;
    args.reserve(static_cast<size_t>(argv.size()) + 1);
    for (const QByteArray& argument : argv) args.push_back(const_cast<char*>(argument.constData()));
    args.push_back(nullptr);

    // Everything the children do must be async-signal-safe, so it is all prepared here.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigset_t noSignals;
    sigemptyset(&noSignals);

    // The program's exec failure comes back as its errno; a pipe closed without data means it started.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const pid_t intermediate = ::fork();
    if (intermediate < 0) {
        const int forkError = errno;
        ::close(report[0]);
        ::close(report[1]);
        *error = QString::fromLocal8Bit(std::strerror(forkError));
        return false;
    }
    if (intermediate == 0) {
        ::close(report[0]);
        const pid_t program = ::fork();
        if (program == 0) {
            ::setsid();
            ::sigprocmask(SIG_SETMASK, &noSignals, nullptr);
            ::sigaction(SIGPIPE, &defaultAction, nullptr);
            ::execv(programPath.constData(), args.data());
        }
        if (program > 0) ::_exit(0);
        // Reached when the second fork or the exec failed.
        const int failure = errno;
        [[maybe_unused]] const ssize_t written = ::write(report[1], &failure, sizeof failure);
        ::_exit(/*could not start=*/127);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(intermediate, &status, 0) < 0 && errno == EINTR) {
    }
    int failure = 0;
    ssize_t readBytes;
    do {
        readBytes = ::read(report[0], &failure, sizeof failure);
    } while (readBytes < 0 && errno == EINTR);
    ::close(report[0]);
    if (readBytes == static_cast<ssize_t>(sizeof failure)) {
        *error = QString::fromLocal8Bit(std::strerror(failure));
        return false;
    }
    return true;
}

bool startArguments(const QList<QByteArray>& arguments, QString* error) {
    if (arguments.isEmpty() || arguments.front().isEmpty()) {
        *error = QStringLiteral("the command line names no program");
        return false;
    }
    const std::optional<QByteArray> program = findProgram(arguments.front());
    if (!program) {
        *error =
            QStringLiteral("\"%1\" was not found or is not executable").arg(displayText(arguments.front()));
        return false;
    }
    QString spawnError;
    if (!spawnDetached(*program, arguments, &spawnError)) {
        *error = QStringLiteral("\"%1\" could not be started: %2").arg(displayText(*program), spawnError);
        return false;
    }
    return true;
}

class PosixLauncher : public Launcher {
  public:
    explicit PosixLauncher(AssociationStore& associations) : associations_(associations) {}

    // The window style has no portable form on X11 or Wayland; the started program decides.
    bool startCommand(const QByteArray& commandTemplate, const QByteArray& path, WindowStyle /*style*/,
                      QString* error) override {
        const std::optional<QList<QByteArray>> arguments = splitCommandLine(commandTemplate);
        if (!arguments) {
            *error = QStringLiteral("the command line %1 has a quote that is not closed")
                         .arg(displayText(commandTemplate));
            return false;
        }
        return startArguments(putPathIntoArguments(*arguments, path), error);
    }

    bool startProgram(const QByteArray& path, WindowStyle /*style*/, QString* error) override {
        return startArguments({path}, error);
    }

    bool openFolder(const QByteArray& folder, QString* error) override {
        const QByteArray fileManager = folderCommand();
        if (!fileManager.isEmpty() && startCommand(fileManager, folder, WindowStyle::NormalFocus, error))
            return true;
        return startArguments({QByteArrayLiteral("xdg-open"), folder}, error);
    }

  private:
    // The default application for folders, as the associations name it; empty when there is none.
    QByteArray folderCommand() {
        AssociationKey key = 0;
        if (associations_.openKey(QByteArrayLiteral("inode/directory\\shell\\open\\command"), &key) != 0)
            return {};
        // Not bound by the lookup's 128 bytes: that limit belongs to the file associations only.
        char buffer[4096];
        std::uint32_t countBytes = sizeof buffer;
        const long status = associations_.readDefaultValue(key, buffer, &countBytes);
        associations_.closeKey(key);
        if (status != kStatusSuccess || countBytes == 0) return {};
        return QByteArray(buffer, static_cast<qsizetype>(countBytes - 1));
    }

    AssociationStore& associations_;
};

}  // namespace

std::unique_ptr<Launcher> makeSystemLauncher(AssociationStore& associations) {
    return std::make_unique<PosixLauncher>(associations);
}

std::optional<QList<QByteArray>> splitCommandLine(const QByteArray& commandLine) {
    QList<QByteArray> arguments;
    QByteArray current;
    bool inArgument = false;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (isBlank(c)) {
            if (inArgument) arguments.append(current);
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == '"') {
            for (++i;; ++i) {
                if (i >= commandLine.size()) return std::nullopt;
                const char q = commandLine[i];
                if (q == '"') break;
                if (q == '\\' && i + 1 < commandLine.size() && isOneOf(commandLine[i + 1], kQuotedEscapes))
                    current.append(commandLine[++i]);
                else
                    current.append(q);
            }
        } else if (c == '\'') {
            const qsizetype end = commandLine.indexOf('\'', i + 1);
            if (end < 0) return std::nullopt;
            current.append(commandLine.mid(i + 1, end - i - 1));
            i = end;
        } else if (c == '\\' && i + 1 < commandLine.size()) {
            current.append(commandLine[++i]);
        } else {
            current.append(c);
        }
    }
    if (inArgument) arguments.append(current);
    return arguments;
}

QByteArray quoteArgument(const QByteArray& argument) {
    if (!needsQuotes(argument)) return argument;
    QByteArray quoted = "\"";
    for (const char c : argument) {
        if (isOneOf(c, kQuotedEscapes)) quoted.append('\\');
        quoted.append(c);
    }
    quoted.append('"');
    return quoted;
}

QList<QByteArray> putPathIntoArguments(const QList<QByteArray>& arguments, const QByteArray& path) {
    QList<QByteArray> filled = arguments;
    for (QByteArray& argument : filled) argument.replace(QByteArrayLiteral("%1"), path);
    return filled;
}

}  // namespace trovander
