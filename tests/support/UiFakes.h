// Doubles for the window tests: a URL opener that records, a recorder for the end of the program, and the
// windows built over a temporary Main.mdb.
#pragma once

#include <QStringList>
#include <memory>

#include "platform/AssociationStore.h"
#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "platform/Launcher.h"
#include "platform/ProgramEnd.h"
#include "support/Fixtures.h"
#include "ui/Services.h"
#include "ui/WindowSet.h"

namespace trovander::testing {

class RecordingUrlOpener final : public UrlOpener {
  public:
    void openUrl(const QString& address) override { opened << address; }
    QStringList opened;
};

// An end of the program that only counts: hand program to the windows' services.
class EndRecorder {
  public:
    EndRecorder();
    EndRecorder(const EndRecorder&) = delete;
    EndRecorder& operator=(const EndRecorder&) = delete;

    int ends = 0;
    ProgramEnd program;
};

// The desktop's own association store and launcher, handed to services for as long as this owner lives
// (taken back from them when it goes): for tests of opening through the real freedesktop lookups.
class SystemOpening {
  public:
    explicit SystemOpening(Services& services);
    ~SystemOpening();
    SystemOpening(const SystemOpening&) = delete;
    SystemOpening& operator=(const SystemOpening&) = delete;

  private:
    Services& services_;
    std::unique_ptr<AssociationStore> associations_;
    std::unique_ptr<Launcher> launcher_;
};

// Six windows over an empty temporary index, with a recording URL opener and a counted yield.
class UiFixture {
  public:
    UiFixture();
    ~UiFixture();

    Windows& windows() { return *windows_; }
    Services& services() { return services_; }
    RecordingUrlOpener urls;
    EndRecorder end;
    int yields = 0;

  private:
    TempIndex index_;
    // The machine's own drives and folders, as the program has them.
    std::unique_ptr<DriveProbe> drives_ = makeSystemDriveProbe();
    std::unique_ptr<FolderReader> folders_ = makeSystemFolderReader();
    Services services_;
    std::unique_ptr<Windows> windows_;
};

}  // namespace trovander::testing
