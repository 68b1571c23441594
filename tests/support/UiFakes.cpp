#include "support/UiFakes.h"

#include <QDateTime>

namespace trovander::testing {

EndRecorder::EndRecorder() : program([this](int) { ++ends; }) {}

SystemOpening::SystemOpening(Services& services)
    : services_(services),
      associations_(makeSystemAssociationStore()),
      launcher_(makeSystemLauncher(*associations_)) {
    services.associations = associations_.get();
    services.launcher = launcher_.get();
}

SystemOpening::~SystemOpening() {
    services_.associations = nullptr;
    services_.launcher = nullptr;
}

UiFixture::UiFixture() {
    services_.store = &index_.store();
    services_.urls = &urls;
    services_.now = [] { return QDateTime(QDate(2024, 3, 1), QTime(12, 0)); };
    services_.yield = [this] { ++yields; };
    services_.end = &end.program;
    services_.drives = drives_.get();
    services_.folders = folders_.get();
    windows_ = std::make_unique<Windows>(services_);
}

// The windows go before the index and the opener they were given.
UiFixture::~UiFixture() { windows_.reset(); }

}  // namespace trovander::testing
