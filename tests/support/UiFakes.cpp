#include "support/UiFakes.h"

#include <QDateTime>

#include "platform/ProgramEnd.h"

namespace trovander::testing {

EndRecorder::EndRecorder() {
    resetProgramEnding();
    setEndHandler([this](int) { ++ends; });
}

EndRecorder::~EndRecorder() {
    setEndHandler(nullptr);
    resetProgramEnding();
}

UiFixture::UiFixture() {
    services_.store = &index_.store();
    services_.urls = &urls;
    services_.now = [] { return QDateTime(QDate(2024, 3, 1), QTime(12, 0)); };
    services_.yield = [this] { ++yields; };
    windows_ = std::make_unique<Windows>(services_);
}

// The windows go before the index and the opener they were given.
UiFixture::~UiFixture() { windows_.reset(); }

}  // namespace trovander::testing
