#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QStringList>
#include <cstring>
#include <vector>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"

namespace trovander {

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

// How long the file manager may take to answer ShowItems before the plain folder is opened instead.
constexpr int kShowItemsTimeoutMs = 3000;

bool startArguments(const QList<QByteArray>& arguments, const StartArguments& start, QString* error) {
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
    if (start) return start(*program, arguments, error);
    if (!spawnDetached(*program, arguments, &spawnError)) {
        *error = QStringLiteral("\"%1\" could not be started: %2").arg(displayText(*program), spawnError);
        return false;
    }
    return true;
}

class PosixLauncher : public Launcher {
  public:
    PosixLauncher(AssociationStore& associations, StartArguments start)
        : associations_(associations), start_(std::move(start)) {}

    // The window style has no portable form on X11 or Wayland; the started program decides.
    bool startCommand(const QByteArray& commandTemplate, const QByteArray& path, WindowStyle /*style*/,
                      QString* error) override {
        const std::optional<QList<QByteArray>> arguments = commandArguments(commandTemplate, path, error);
        return arguments && startArguments(*arguments, start_, error);
    }

    bool startProgram(const QByteArray& path, WindowStyle /*style*/, QString* error) override {
        return startArguments({path}, start_, error);
    }

    bool openFolder(const QByteArray& folder, QString* error) override {
        const QByteArray fileManager = folderCommand();
        if (!fileManager.isEmpty() && startCommand(fileManager, folder, WindowStyle::NormalFocus, error))
            return true;
        return startArguments({QByteArrayLiteral("xdg-open"), folder}, start_, error);
    }

    // The desktop's file manager service selects the entry; without one, the plain folder.
    bool showInFolder(const QByteArray& path, QString* error) override {
        if (!start_) {
            QDBusConnection bus = QDBusConnection::sessionBus();
            if (bus.isConnected()) {
                QDBusMessage call = QDBusMessage::createMethodCall(
                    QStringLiteral("org.freedesktop.FileManager1"),
                    QStringLiteral("/org/freedesktop/FileManager1"),
                    QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
                // The URL is ASCII whatever the name's bytes, so it crosses D-Bus's UTF-8 strings intact.
                call << QStringList{QString::fromLatin1(fileUrl(path))} << QString();
                if (bus.call(call, QDBus::Block, kShowItemsTimeoutMs).type() == QDBusMessage::ReplyMessage)
                    return true;
            }
        }
        return openFolder(parentFolder(path), error);
    }

    bool exists(const QByteArray& path) override {
        struct stat info {};
        return !path.isEmpty() && ::stat(path.constData(), &info) == 0;
    }

  private:
    // The default application for folders, as the associations name it; empty when there is none.
    QByteArray folderCommand() {
        AssociationKey key = 0;
        if (associations_.openKey(QByteArrayLiteral("inode/directory\\shell\\open\\command"), &key) != 0)
            return {};
        // Any length: asked again with the size the store reports.
        QByteArray buffer(256, '\0');
        std::uint32_t countBytes = static_cast<std::uint32_t>(buffer.size());
        long status = associations_.readDefaultValue(key, buffer.data(), &countBytes);
        for (int attempt = 0; status == kStatusMoreData && attempt < 4; ++attempt) {
            buffer.resize(countBytes);
            status = associations_.readDefaultValue(key, buffer.data(), &countBytes);
        }
        associations_.closeKey(key);
        if (status != kStatusSuccess || countBytes == 0 || countBytes > buffer.size()) return {};
        return buffer.left(static_cast<qsizetype>(countBytes - 1));
    }

    AssociationStore& associations_;
    StartArguments start_;
};

// ---- scripts a shell reads ----

QByteArray baseName(const QByteArray& program) { return program.mid(program.lastIndexOf('/') + 1); }

bool isPosixShell(const QByteArray& name) {
    static const QList<QByteArray> shells{"sh",   "bash",  "dash", "zsh",  "ksh",  "ksh93",
                                          "mksh", "pdksh", "ash",  "yash", "posh", "lksh"};
    return shells.contains(name);
}

// Programs that run a script given on their command line in a language whose quoting is not the shell's.
bool isOtherInterpreter(const QByteArray& name) {
    static const QList<QByteArray> prefixes{"python",    "perl", "ruby", "node",  "nodejs", "fish", "csh",
                                            "tcsh",      "php",  "lua",  "tclsh", "awk",    "gawk", "mawk",
                                            "osascript", "pwsh", "rc",   "es",    "elvish", "nu",   "xonsh"};
    for (const QByteArray& prefix : prefixes)
        if (name == prefix ||
            (name.startsWith(prefix) && (name[prefix.size()] >= '0' && name[prefix.size()] <= '9')))
            return true;
    return false;
}

struct ScriptAt {
    qsizetype index = -1;    // the script's argument; -1 when no shell reads one
    bool unsafe = false;     // the script is read in a way no rewriting makes safe
    bool wholeRest = false;  // ... and so is every argument from it on (env -S)
};

ScriptAt findScript(const QList<QByteArray>& arguments) {
    qsizetype i = 0;
    const qsizetype n = arguments.size();
    if (n == 0) return {};
    if (baseName(arguments[0]) == "env") {
        for (++i; i < n && (arguments[i].startsWith('-') || arguments[i].contains('=')); ++i) {
            const QByteArray& option = arguments[i];
            // env -S splits its own text into a command line.
            if (option.startsWith("-S") || option.startsWith("--split-string") ||
                (option.startsWith('-') && !option.startsWith("--") && option.contains('S')))
                return {i, true, true};
            if (option == "--") {
                ++i;
                break;
            }
            // -u NAME and -C DIR take the next argument when their value is not joined to them, so that
            // the value is never taken for the program env starts.
            if (option == "--unset" || option == "--chdir") {
                ++i;
            } else if (option.startsWith('-') && !option.startsWith("--")) {
                for (qsizetype c = 1; c < option.size(); ++c)
                    if (option[c] == 'u' || option[c] == 'C') {
                        if (c + 1 == option.size()) ++i;
                        break;
                    }
            }
        }
    }
    if (i < n && baseName(arguments[i]) == "busybox") ++i;
    if (i >= n) return {};
    const QByteArray program = baseName(arguments[i]);
    const bool shell = isPosixShell(program);
    if (!shell && !isOtherInterpreter(program)) return {};
    bool inline_ = false;
    for (++i; i < n; ++i) {
        const QByteArray& option = arguments[i];
        if (option == "--" || option == "-") {
            ++i;
            break;
        }
        if (option.size() < 2 || (option[0] != '-' && option[0] != '+')) break;
        if (option.startsWith("--")) {
            if (shell && (option == "--rcfile" || option == "--init-file")) ++i;
            if (!shell && (option == "--command" || option == "--eval" || option.startsWith("--command=") ||
                           option.startsWith("--eval=")))
                return {i, true};
            continue;
        }
        if (option.contains('c') || (!shell && (option.contains('e') || option.contains('E'))))
            inline_ = true;
        if (shell && (option.contains('o') || option.contains('O'))) ++i;  // -o takes an option's name
    }
    if (!inline_ || i >= n) return {};
    return {i, !shell};
}

// Words in a script that make it read a value as code again.
bool runsCodeAgain(const QByteArray& script) {
    QByteArray word;
    auto check = [&word]() {
        const QByteArray name = baseName(word);
        const bool again = name == "eval" || name == "source" || isPosixShell(name) ||
                           isOtherInterpreter(name) || name == "xargs" || name == "su" || name == "sudo" ||
                           name == "ssh";
        word.clear();
        return again;
    };
    for (const char c : script) {
        if (isBlank(c) || isOneOf(c, ";|&()`'\"{}$<>")) {
            if (check()) return true;
        } else {
            word.append(c);
        }
    }
    return check();
}

// The script with its placeholders turned into references to positional parameters from firstIndex on;
// their values are appended to *values. None when a placeholder cannot be made safe.
std::optional<QByteArray> rewriteScript(const QByteArray& script, const FindPlaceholder& find, int firstIndex,
                                        QList<QByteArray>* values) {
    enum class Quote { None, Single, Double };
    Quote quote = Quote::None;
    int nesting = 0;  // open $( ${ $(( and backticks: a reference there would need quoting of its own
    bool inBackticks = false;
    const bool codeAgain = runsCodeAgain(script);
    QByteArray out;
    const qsizetype n = script.size();
    for (qsizetype i = 0; i < n;) {
        if (const std::optional<ScriptPlaceholder> placeholder = find(script, i)) {
            i += placeholder->length;
            if (placeholder->literal) {
                out.append(placeholder->text);
                continue;
            }
            if (nesting > 0 || inBackticks || codeAgain) return std::nullopt;
            QList<QByteArray> references;
            for (const QByteArray& value : placeholder->values) {
                const QByteArray reference = "${" + QByteArray::number(firstIndex + values->size()) + "}";
                values->append(value);
                references.append(quote == Quote::None ? "\"" + reference + "\"" : reference);
            }
            const QByteArray joined = references.join(' ');
            // Inside single quotes the quote is closed around the reference and opened again.
            out.append(quote == Quote::Single ? "'\"" + joined + "\"'" : joined);
            continue;
        }
        const char c = script[i];
        const char next = i + 1 < n ? script[i + 1] : '\0';
        if (quote == Quote::Single) {
            if (c == '\'') quote = Quote::None;
            out.append(c);
            ++i;
            continue;
        }
        // A backslash before a placeholder would escape the first character of what takes its place
        // (a quote of the reference, or the first byte of a value): only literal text may follow one.
        if (c == '\\' && i + 1 < n) {
            if (const std::optional<ScriptPlaceholder> after = find(script, i + 1)) {
                if (!after->literal) return std::nullopt;
                out.append(c);
                out.append(after->text);
                i += 1 + after->length;
                continue;
            }
        }
        if (c == '\\' && next != '\0' && (quote == Quote::None || isOneOf(next, "$`\"\\\n"))) {
            out.append(c);
            out.append(next);
            i += 2;
            continue;
        }
        if (c == '\'' && quote == Quote::None)
            quote = Quote::Single;
        else if (c == '"')
            quote = quote == Quote::Double ? Quote::None : Quote::Double;
        else if (c == '`')
            inBackticks = !inBackticks;
        else if (c == '$' && (next == '(' || next == '{')) {
            ++nesting;
            out.append(c);
            out.append(next);
            i += 2;
            continue;
        } else if ((c == ')' || c == '}') && nesting > 0)
            --nesting;
        out.append(c);
        ++i;
    }
    if (quote != Quote::None) return std::nullopt;
    return out;
}

// Whether text holds the file's placeholder other than as the whole of it.
bool holdsFileInsideLargerText(const QByteArray& text, const FindPlaceholder& find) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const std::optional<ScriptPlaceholder> found = find(text, i)) {
            if (found->file && !found->literal && !(i == 0 && found->length == text.size())) return true;
            i += found->length - 1;
        }
    return false;
}

bool holdsPlaceholder(const QByteArray& text, const FindPlaceholder& find) {
    for (qsizetype i = 0; i < text.size(); ++i)
        if (const std::optional<ScriptPlaceholder> found = find(text, i)) {
            if (!found->literal) return true;
            i += found->length - 1;
        }
    return false;
}

}  // namespace

std::unique_ptr<Launcher> makeSystemLauncher(AssociationStore& associations, StartArguments start) {
    return std::make_unique<PosixLauncher>(associations, std::move(start));
}

std::optional<QList<QByteArray>> passScriptValuesAsParameters(const QList<QByteArray>& arguments,
                                                              const FindPlaceholder& find,
                                                              qsizetype* scriptIndex) {
    if (scriptIndex) *scriptIndex = -1;
    const ScriptAt script = findScript(arguments);
    // Only a script this code rewrites may hold the file's path inside a larger argument.
    for (qsizetype i = 0; i < arguments.size(); ++i)
        if ((i != script.index || script.unsafe) && holdsFileInsideLargerText(arguments[i], find))
            return std::nullopt;
    if (script.index < 0) return arguments;
    if (script.unsafe) {
        const qsizetype end = script.wholeRest ? arguments.size() : script.index + 1;
        for (qsizetype i = script.index; i < end; ++i)
            if (holdsPlaceholder(arguments[i], find)) return std::nullopt;
        return arguments;
    }
    if (!holdsPlaceholder(arguments[script.index], find)) return arguments;
    QList<QByteArray> result = arguments;
    // After the script come $0, $1, ...: the values follow the script's own, with a $0 when it has none.
    const qsizetype own = arguments.size() - script.index - 1;
    QList<QByteArray> values;
    if (own == 0)
        result.append(escapePercent(baseName(arguments[0] == "env" ? QByteArray("sh") : arguments[0])));
    const int firstIndex = own == 0 ? 1 : static_cast<int>(own);
    const std::optional<QByteArray> rewritten =
        rewriteScript(arguments[script.index], find, firstIndex, &values);
    if (!rewritten) return std::nullopt;
    result[script.index] = *rewritten;
    result.append(values);
    if (scriptIndex) *scriptIndex = script.index;
    return result;
}

std::optional<QList<QByteArray>> commandArguments(const QByteArray& commandTemplate, const QByteArray& path,
                                                  QString* error) {
    const std::optional<QList<QByteArray>> arguments = splitCommandLine(commandTemplate);
    if (!arguments) {
        *error = QStringLiteral("the command line %1 has a quote that is not closed")
                     .arg(displayText(commandTemplate));
        return std::nullopt;
    }
    const FindPlaceholder find = [](const QByteArray& text,
                                    qsizetype at) -> std::optional<ScriptPlaceholder> {
        if (text[at] != '%' || at + 1 >= text.size()) return std::nullopt;
        if (text[at + 1] == '%') return ScriptPlaceholder{2, {}, /*literal=*/true, "%%"};
        if (text[at + 1] == '1') return ScriptPlaceholder{2, {"%1"}, false, {}, /*file=*/true};
        return std::nullopt;
    };
    const std::optional<QList<QByteArray>> safe = passScriptValuesAsParameters(*arguments, find);
    if (!safe) {
        *error = QStringLiteral(
                     "the command line %1 puts the file's name where a program could run it as a command")
                     .arg(displayText(commandTemplate));
        return std::nullopt;
    }
    return putPathIntoArguments(*safe, path);
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
    QList<QByteArray> filled;
    filled.reserve(arguments.size());
    for (const QByteArray& argument : arguments) {
        QByteArray out;
        for (qsizetype i = 0; i < argument.size(); ++i) {
            const char next = i + 1 < argument.size() ? argument[i + 1] : '\0';
            if (argument[i] == '%' && next == '%') {
                out.append('%');
                ++i;
            } else if (argument[i] == '%' && next == '1') {
                out.append(path);
                ++i;
            } else {
                out.append(argument[i]);
            }
        }
        filled.append(out);
    }
    return filled;
}

QByteArray escapePercent(const QByteArray& text) {
    QByteArray escaped = text;
    return escaped.replace("%", "%%");
}

}  // namespace trovander
