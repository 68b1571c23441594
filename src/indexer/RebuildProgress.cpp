#include "indexer/RebuildProgress.h"

#include <QElapsedTimer>
#include <QLocale>

namespace trovander {

RebuildProgress::RebuildProgress(Clock clockMs) : clock_(std::move(clockMs)) {
    if (!clock_) {
        clock_ = [timer = [] {
            QElapsedTimer t;
            t.start();
            return t;
        }()] { return static_cast<int64_t>(timer.elapsed()); };
    }
}

void RebuildProgress::start() {
    startMs_ = clock_();
    lastMs_ = startMs_;
    drawn_ = false;
}

bool RebuildProgress::due() {
    const int64_t now = clock_();
    if (drawn_ && now - lastMs_ < kIntervalMs) return false;
    drawn_ = true;
    lastMs_ = now;
    return true;
}

int64_t RebuildProgress::elapsedMs() const { return clock_() - startMs_; }

QString RebuildProgress::text(uint64_t records) const {
    const int64_t seconds = std::max<int64_t>(0, elapsedMs()) / 1000;
    const QString time =
        seconds >= 3600
            ? QStringLiteral("%1:%2:%3")
                  .arg(seconds / 3600)
                  .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                  .arg(seconds % 60, 2, 10, QLatin1Char('0'))
            : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 entries so far\n%2 elapsed")
        .arg(QLocale().toString(static_cast<qulonglong>(records)), time);
}

}  // namespace trovander
