#include "support/OpenFakes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <stdexcept>

namespace trovander::testing {

bool RecordingLauncher::answer(QString* error) {
    if (failure.isEmpty()) return true;
    *error = failure;
    return false;
}

bool RecordingLauncher::startCommand(const QByteArray& commandTemplate, const QByteArray& path,
                                     WindowStyle style, QString* error) {
    requests.append({LaunchRequest::Command, commandTemplate, path, style});
    return answer(error);
}

bool RecordingLauncher::startProgram(const QByteArray& path, WindowStyle style, QString* error) {
    requests.append({LaunchRequest::Program, {}, path, style});
    return answer(error);
}

bool RecordingLauncher::openFolder(const QByteArray& folder, QString* error) {
    requests.append({LaunchRequest::Folder, {}, folder, WindowStyle::NormalFocus});
    return answer(error);
}

bool RecordingLauncher::showInFolder(const QByteArray& path, QString* error) {
    requests.append({LaunchRequest::ShowItem, {}, path, WindowStyle::NormalFocus});
    return answer(error);
}

namespace {
const char* const kVariables[] = {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                  "XDG_CURRENT_DESKTOP"};
}

TempXdg::TempXdg() {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    for (const char* variable : kVariables)
        saved_[variable] =
            qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable)) : std::nullopt;
    for (const QByteArray& folder : {dataHome(), dataDir(), configHome(), configDir()})
        QDir().mkpath(QFile::decodeName(folder));
    qputenv("XDG_DATA_HOME", dataHome());
    qputenv("XDG_DATA_DIRS", dataDir());
    qputenv("XDG_CONFIG_HOME", configHome());
    qputenv("XDG_CONFIG_DIRS", configDir());
    qunsetenv("XDG_CURRENT_DESKTOP");
}

TempXdg::~TempXdg() {
    for (const auto& [variable, value] : saved_) {
        if (value)
            qputenv(variable.constData(), *value);
        else
            qunsetenv(variable.constData());
    }
    // By bytes: the folder's own clean-up cannot spell names that are not UTF-8, and would leave them.
    std::error_code ignored;
    std::filesystem::remove_all(root().toStdString(), ignored);
}

QByteArray TempXdg::root() const { return QFile::encodeName(dir_.path()); }

void TempXdg::write(const QByteArray& path, const QByteArray& content) {
    const QString name = QFile::decodeName(path);
    QDir().mkpath(QFileInfo(name).path());
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

void TempXdg::addApplication(const QByteArray& id, const QByteArray& exec, const QByteArray& extraLines,
                             const QByteArray& dataDir) {
    const QByteArray folder = (dataDir.isEmpty() ? this->dataDir() : dataDir) + "/applications/";
    write(folder + id,
          "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + exec + "\n" + extraLines);
}

void TempXdg::associateRecorderWithTvt() {
    const QByteArray helper = recorder();
    write(dataHome() + "/mime/globs2", "50:application/x-trovander-test:*.tvt\n");
    addApplication("recorder.desktop", quoteArgument(helper) + " %f", {}, dataHome());
    write(configHome() + "/mimeapps.list",
          "[Default Applications]\napplication/x-trovander-test=recorder.desktop;\n");
}

QByteArray TempXdg::recorder(const QByteArray& name) {
    const QByteArray path = root() + "/bin/" + name;
    write(path, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" + recordFile() +
                    ".part' && mv '" + recordFile() + ".part' '" + recordFile() + "'\n");
    QFile::setPermissions(QFile::decodeName(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

std::optional<QList<QByteArray>> TempXdg::recorded() const {
    QFile file(QFile::decodeName(recordFile()));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QList<QByteArray> arguments = file.readAll().split('\0');
    arguments.removeLast();  // after the last NUL
    return arguments;
}

}  // namespace trovander::testing
