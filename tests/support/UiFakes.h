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

// The services every window test starts from: the given index, the recording URL opener, a fixed clock
// (2024-03-01 12:00), a yield that counts, an end of the program that counts, and the machine's own drives
// and folders as the program has them. A test adds what else it needs (associations, launcher) or
// replaces these; it outlives the windows it is handed to.
class TestServices {
  public:
    explicit TestServices(IndexStore& store);
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;

    RecordingUrlOpener urls;
    int yields = 0;
    EndRecorder end;
    std::unique_ptr<DriveProbe> drives = makeSystemDriveProbe();
    std::unique_ptr<FolderReader> folders = makeSystemFolderReader();
    Services services;
};

// Six windows over an empty temporary index, with the test services.
class UiFixture {
    TempIndex index_;
    TestServices services_{index_.store()};

  public:
    UiFixture();
    ~UiFixture();

    Windows& windows() { return *windows_; }
    Services& services() { return services_.services; }
    RecordingUrlOpener& urls = services_.urls;
    EndRecorder& end = services_.end;
    const int& yields = services_.yields;

  private:
    std::unique_ptr<Windows> windows_;
};

}  // namespace trovander::testing
