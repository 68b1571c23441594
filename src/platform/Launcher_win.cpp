// Starting programs with CreateProcessW: no shell reads the command line, and a Windows name cannot hold a
// double quote, so a "%1" that the command quotes stays one argument whatever the name holds. Paths and
// commands are UTF-8 here and UTF-16 at the system, so non-ASCII names start and open too.
#define NOMINMAX
#include <windows.h>

#include "platform/Launcher.h"
#include "platform/WideText.h"

namespace trovander {

namespace {

WORD showCommand(WindowStyle style) {
    return style == WindowStyle::NormalFocus ? SW_SHOWNORMAL : SW_SHOWMINIMIZED;
}

std::optional<std::u16string> wide(const QByteArray& text) {
    return widenName(std::string_view(text.constData(), static_cast<size_t>(text.size())));
}

// application may be empty (the command line names the program); commandLine may be empty (application
// is then the whole command).
bool createProcess(const QByteArray& application, const QByteArray& commandLine, WindowStyle style,
                   QString* error) {
    const std::optional<std::u16string> wideApplication = wide(application);
    std::optional<std::u16string> wideCommandLine = wide(commandLine);  // CreateProcessW may write into it
    if (!wideApplication || !wideCommandLine) {
        *error = QStringLiteral("the path holds bytes that name no Windows file");
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand(style);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.isEmpty() ? nullptr : wideChars(*wideApplication),
                        commandLine.isEmpty() ? nullptr : wideChars(*wideCommandLine), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, &startup, &process)) {
        *error = QStringLiteral("Windows error %1").arg(GetLastError());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

class WindowsLauncher : public Launcher {
  public:
    explicit WindowsLauncher(StartArguments start) : start_(std::move(start)) {}

    bool startCommand(const QByteArray& commandTemplate, const QByteArray& path, WindowStyle style,
                      QString* error) override {
        QByteArray commandLine = commandTemplate;
        commandLine.replace(QByteArrayLiteral("%1"), path);
        if (commandLine.trimmed().isEmpty()) {
            *error = QStringLiteral("the command line names no program");
            return false;
        }
        return run({}, commandLine, style, error);
    }

    bool startProgram(const QByteArray& path, WindowStyle style, QString* error) override {
        return run(path, {}, style, error);
    }

    bool openFolder(const QByteArray& folder, QString* error) override {
        return run({}, "explorer.exe \"" + quotedFolder(folder) + "\"", WindowStyle::NormalFocus, error);
    }

    // Explorer selects the entry itself.
    bool showInFolder(const QByteArray& path, QString* error) override {
        return run({}, "explorer.exe /select,\"" + quotedFolder(path) + "\"", WindowStyle::NormalFocus,
                   error);
    }

    bool exists(const QByteArray& path) override {
        const std::optional<std::u16string> widePath = wide(path);
        return !path.isEmpty() && widePath &&
               GetFileAttributesW(wideChars(*widePath)) != INVALID_FILE_ATTRIBUTES;
    }

  private:
    // A root such as c:\ would otherwise escape the closing quote.
    static QByteArray quotedFolder(QByteArray folder) {
        if (folder.endsWith('\\')) folder.append('\\');
        return folder;
    }

    bool run(const QByteArray& application, const QByteArray& commandLine, WindowStyle style,
             QString* error) {
        if (start_) return start_(application.isEmpty() ? commandLine : application, {commandLine}, error);
        return createProcess(application, commandLine, style, error);
    }

    StartArguments start_;
};

}  // namespace

std::unique_ptr<Launcher> makeSystemLauncher(AssociationStore& /*associations*/, StartArguments start) {
    return std::make_unique<WindowsLauncher>(std::move(start));
}

}  // namespace trovander
