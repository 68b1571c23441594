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

TestServices::TestServices(IndexStore& store) {
    services.store = &store;
    services.urls = &urls;
    services.now = [] { return QDateTime(QDate(2024, 3, 1), QTime(12, 0)); };
    services.yield = [this] { ++yields; };
    services.end = &end.program;
    services.drives = drives.get();
    services.folders = folders.get();
}

UiFixture::UiFixture() { windows_ = std::make_unique<Windows>(services_.services); }

// The windows go before the index and the opener they were given.
UiFixture::~UiFixture() { windows_.reset(); }

}  // namespace trovander::testing
