// Doubles for the window tests: a URL opener that records, a recorder for the end of the program, and the
// windows built over a temporary Main.mdb.
#pragma once

#include <QStringList>
#include <memory>

#include "platform/Services.h"
#include "support/Fixtures.h"
#include "ui/Windows.h"

namespace trovander::testing {

class RecordingUrlOpener final : public UrlOpener {
  public:
    void openUrl(const QString& address) override { opened << address; }
    QStringList opened;
};

// Replaces the process exit for its lifetime: EndProgramNow only counts. Also clears a previous ending.
class EndRecorder {
  public:
    EndRecorder();
    ~EndRecorder();
    EndRecorder(const EndRecorder&) = delete;
    EndRecorder& operator=(const EndRecorder&) = delete;

    int ends = 0;
};

// The services every window test starts from: the given index, the recording URL opener, a fixed clock
// (2024-03-01 12:00) and a yield that counts. A test adds what else it needs (drives, associations,
// launcher) or replaces these; it outlives the windows it is handed to.
class TestServices {
  public:
    explicit TestServices(IndexStore& store);
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;

    RecordingUrlOpener urls;
    int yields = 0;
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
    RecordingUrlOpener& urls = services_.urls;
    EndRecorder end;
    const int& yields = services_.yields;

  private:
    std::unique_ptr<Windows> windows_;
};

}  // namespace trovander::testing
