#include "WindowSet.h"

#include "frmAbout.h"
#include "frmAboutProgrammer.h"
#include "frmMain.h"
#include "frmResult.h"
#include "frmSearching.h"
#include "frmStart.h"

namespace trovander {

Windows::Windows(Services& services) : services_(services) {}

Windows::~Windows() { delete aboutProgrammer_.data(); }

frmStart& Windows::start() {
    if (!start_) start_ = std::make_unique<frmStart>(*this, services_);
    return *start_;
}

frmMain& Windows::main() {
    if (!main_) main_ = std::make_unique<frmMain>(*this, services_);
    return *main_;
}

frmSearching& Windows::searching() {
    if (!searching_) searching_ = std::make_unique<frmSearching>(*this, services_);
    return *searching_;
}

frmResult& Windows::result() {
    if (!result_) result_ = std::make_unique<frmResult>(*this, services_);
    return *result_;
}

frmAbout& Windows::about() {
    if (!about_) about_ = std::make_unique<frmAbout>(*this, services_);
    return *about_;
}

bool Windows::isLoadedAboutProgrammer() const {
    return !aboutProgrammer_.isNull() && !aboutProgrammer_->isUnloaded();
}

frmAboutProgrammer& Windows::aboutProgrammer() {
    // A window closed by its close box is on its way out (it deletes itself once the event loop allows).
    if (!isLoadedAboutProgrammer()) aboutProgrammer_ = new frmAboutProgrammer(*this, services_);
    return *aboutProgrammer_;
}

}  // namespace trovander
