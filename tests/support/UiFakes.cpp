#include "support/UiFakes.h"

#include <QDateTime>

#include "app/EndProgram.h"

namespace trovander::testing {

EndRecorder::EndRecorder() {
    resetProgramEnding();
    setEndHandler([this](int) { ++ends; });
}

EndRecorder::~EndRecorder() {
    setEndHandler(nullptr);
    resetProgramEnding();
}

TestServices::TestServices(IndexStore& store) {
    services.store = &store;
    services.urls = &urls;
    services.now = [] { return QDateTime(QDate(2024, 3, 1), QTime(12, 0)); };
    services.yield = [this] { ++yields; };
}

UiFixture::UiFixture() { windows_ = std::make_unique<Windows>(services_.services); }

// The windows go before the index and the opener they were given.
UiFixture::~UiFixture() { windows_.reset(); }

}  // namespace trovander::testing
