// What the windows get from outside through their constructors: the store and the platform services.
// Tests hand in a temporary Main.mdb and fakes; main.cpp makes the real ones once and hands them in.
// Every pointer a window uses must be set: nothing falls back to a system backend behind the caller.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace trovander {

class IndexStore;
class AssociationStore;
class Launcher;
class DriveProbe;
class FolderReader;
class ProgramEnd;

// Asks the desktop to open a web address in the default browser; the result is not waited for.
class UrlOpener {
  public:
    virtual ~UrlOpener() = default;
    virtual void openUrl(const QString& address) = 0;
};

struct Services {
    IndexStore* store = nullptr;               // the one connection of the process (Conn)
    AssociationStore* associations = nullptr;  // file associations (the registry's role)
    Launcher* launcher = nullptr;              // starting programs and the file manager
    UrlOpener* urls = nullptr;                 // the site links
    DriveProbe* drives = nullptr;              // the drives a rebuild walks
    FolderReader* folders = nullptr;           // how a rebuild reads folders
    ProgramEnd* end = nullptr;                 // ending the program at once
    std::function<QDateTime()> now;            // local date and time; tests fix it
    std::function<void()> yield;               // DoEvents; tests count it
};

}  // namespace trovander
