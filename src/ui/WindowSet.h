// The six windows of the program. Each is made on first use and afterwards only hidden and shown; the
// windows reach each other through this object.
#pragma once

#include <QPointer>
#include <memory>

#include "ui/Services.h"

namespace trovander {

class frmStart;
class frmMain;
class frmSearching;
class frmResult;
class frmAbout;
class frmAboutProgrammer;

class Windows {
  public:
    explicit Windows(Services& services);
    ~Windows();
    Windows(const Windows&) = delete;
    Windows& operator=(const Windows&) = delete;

    frmStart& start();
    frmMain& main();
    frmSearching& searching();
    frmResult& result();
    frmAbout& about();
    // Closed by its close box, this window is unloaded; the next use makes it anew in its design state.
    frmAboutProgrammer& aboutProgrammer();

    // Whether a window has been made (and, for the About Programmer window, not unloaded since).
    bool isLoadedStart() const { return start_ != nullptr; }
    bool isLoadedMain() const { return main_ != nullptr; }
    bool isLoadedSearching() const { return searching_ != nullptr; }
    bool isLoadedResult() const { return result_ != nullptr; }
    bool isLoadedAbout() const { return about_ != nullptr; }
    bool isLoadedAboutProgrammer() const;

    Services& services() { return services_; }

  private:
    Services& services_;
    std::unique_ptr<frmStart> start_;
    std::unique_ptr<frmMain> main_;
    std::unique_ptr<frmSearching> searching_;
    std::unique_ptr<frmResult> result_;
    std::unique_ptr<frmAbout> about_;
    QPointer<frmAboutProgrammer> aboutProgrammer_;  // deletes itself when closed by its close box
};

}  // namespace trovander
