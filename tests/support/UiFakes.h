// Doubles for the window tests: a URL opener that records, a recorder for the end of the program, and the
// windows built over a temporary Main.mdb.
#pragma once

#include <QStringList>
#include <memory>

#include "ui/Services.h"
#include "support/Fixtures.h"
#include "ui/WindowSet.h"

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

// Six windows over an empty temporary index, with a recording URL opener and a counted yield.
class UiFixture {
  public:
    UiFixture();
    ~UiFixture();

    Windows& windows() { return *windows_; }
    RecordingUrlOpener urls;
    EndRecorder end;
    int yields = 0;

  private:
    TempIndex index_;
    Services services_;
    std::unique_ptr<Windows> windows_;
};

}  // namespace trovander::testing
