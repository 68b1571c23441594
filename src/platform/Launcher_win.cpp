// Starting programs with CreateProcessA: no shell reads the command line, and a Windows name cannot hold a
// double quote, so a "%1" that the command quotes stays one argument whatever the name holds.
#define NOMINMAX
#include <windows.h>

#include "platform/Launcher.h"

namespace trovander {

namespace {

WORD showCommand(WindowStyle style) {
    return style == WindowStyle::NormalFocus ? SW_SHOWNORMAL : SW_SHOWMINIMIZED;
}

// application may be null (the command line names the program); commandLine may be empty (application
// is then the whole command).
bool createProcess(const char* application, QByteArray commandLine, WindowStyle style, QString* error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand(style);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(application, commandLine.isEmpty() ? nullptr : commandLine.data(), nullptr, nullptr,
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
        return run(nullptr, commandLine, style, error);
    }

    bool startProgram(const QByteArray& path, WindowStyle style, QString* error) override {
        return run(path.constData(), {}, style, error);
    }

    bool openFolder(const QByteArray& folder, QString* error) override {
        return run(nullptr, "explorer.exe \"" + quotedFolder(folder) + "\"", WindowStyle::NormalFocus, error);
    }

    // Explorer selects the entry itself.
    bool showInFolder(const QByteArray& path, QString* error) override {
        return run(nullptr, "explorer.exe /select,\"" + quotedFolder(path) + "\"", WindowStyle::NormalFocus,
                   error);
    }

    bool exists(const QByteArray& path) override {
        return !path.isEmpty() && GetFileAttributesA(path.constData()) != INVALID_FILE_ATTRIBUTES;
    }

  private:
    // A root such as c:\ would otherwise escape the closing quote.
    static QByteArray quotedFolder(QByteArray folder) {
        if (folder.endsWith('\\')) folder.append('\\');
        return folder;
    }

    bool run(const char* application, const QByteArray& commandLine, WindowStyle style, QString* error) {
        if (start_) return start_(application ? QByteArray(application) : commandLine, {commandLine}, error);
        return createProcess(application, commandLine, style, error);
    }

    StartArguments start_;
};

}  // namespace

std::unique_ptr<Launcher> makeSystemLauncher(AssociationStore& /*associations*/, StartArguments start) {
    return std::make_unique<WindowsLauncher>(std::move(start));
}

}  // namespace trovander
