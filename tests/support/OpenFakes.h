// Doubles for the opening tests: a launcher that records what it is asked to start, and temporary XDG
// base directories with a helper program that writes down the arguments it was started with.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTemporaryDir>
#include <map>
#include <optional>

#include "platform/Launcher.h"

namespace trovander::testing {

struct LaunchRequest {
    enum Kind { Command, Program, Folder, ShowItem } kind;
    QByteArray command;  // the template of a Command request
    QByteArray path;     // the full path, or the folder of a Folder request
    WindowStyle style;
};

// Starts nothing; records every request. With failure set, every request fails with that error.
class RecordingLauncher final : public Launcher {
  public:
    bool startCommand(const QByteArray& commandTemplate, const QByteArray& path, WindowStyle style,
                      QString* error) override;
    bool startProgram(const QByteArray& path, WindowStyle style, QString* error) override;
    bool openFolder(const QByteArray& folder, QString* error) override;
    bool showInFolder(const QByteArray& path, QString* error) override;
    // Every path is there except those in gone.
    bool exists(const QByteArray& path) override { return !gone.contains(path); }

    QList<LaunchRequest> requests;
    QString failure;
    QList<QByteArray> gone;

  private:
    bool answer(QString* error);
};

// Points XDG_DATA_HOME, XDG_DATA_DIRS, XDG_CONFIG_HOME and XDG_CONFIG_DIRS at empty temporary folders for
// the fixture's lifetime, so the machine's own associations never take part; clears XDG_CURRENT_DESKTOP.
class TempXdg {
  public:
    TempXdg();
    ~TempXdg();
    TempXdg(const TempXdg&) = delete;
    TempXdg& operator=(const TempXdg&) = delete;

    QByteArray dataHome() const { return root() + "/data-home"; }
    QByteArray dataDir() const { return root() + "/data-dir"; }  // the one entry of XDG_DATA_DIRS
    QByteArray configHome() const { return root() + "/config-home"; }
    QByteArray configDir() const { return root() + "/config-dir"; }  // the one entry of XDG_CONFIG_DIRS
    QByteArray root() const;

    // Writes a file (parents made) at an absolute path under the fixture.
    void write(const QByteArray& path, const QByteArray& content);
    // A desktop entry dataDir/applications/id; extra lines go into its [Desktop Entry] group.
    void addApplication(const QByteArray& id, const QByteArray& exec, const QByteArray& extraLines = {},
                        const QByteArray& dataDir = {});
    // An executable script that writes its arguments, each followed by a NUL, into recordFile() and then
    // renames it into place, so the file appears whole.
    QByteArray recorder(const QByteArray& name = "record-args");
    QByteArray recordFile() const { return root() + "/recorded"; }
    // Makes the recorder the user's default application for *.tvt files (application/x-trovander-test),
    // through a glob, a desktop entry and mimeapps.list, as a desktop would have it.
    void associateRecorderWithTvt();
    // The recorded arguments; none while the helper has not finished.
    std::optional<QList<QByteArray>> recorded() const;

  private:
    QTemporaryDir dir_;
    std::map<QByteArray, std::optional<QByteArray>> saved_;
};

}  // namespace trovander::testing
