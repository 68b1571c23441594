#include "indexer/Staleness.h"

#include <QLocale>

#include "store/RecordSet.h"

namespace trovander {

std::optional<QDateTime> parseStamp(std::string_view text) {
    const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).trimmed();
    if (s.isEmpty()) return std::nullopt;
    QDateTime t = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!t.isValid()) {
        // Stamps written before the ISO form took the regional settings of their day; they read back while
        // those settings still hold.
        const QLocale regional = QLocale::system();
        for (const QLocale::FormatType form : {QLocale::ShortFormat, QLocale::LongFormat}) {
            t = regional.toDateTime(s, form);
            if (t.isValid()) break;
        }
    }
    if (!t.isValid()) return std::nullopt;
    // A stamp that carries an offset is judged by the local calendar like the others.
    return t.toLocalTime();
}

qint64 ageInCalendarDays(const QDateTime& stamp, const QDateTime& now) {
    return stamp.toLocalTime().date().daysTo(now.toLocalTime().date());
}

IndexAge judgeIndexAge(const RecordSet& stamps, const QDateTime& now) {
    if (stamps.rowCount() < 1) return IndexAge::NeverBuilt;
    const int column = stamps.columnIndex("dated");
    if (column < 0) return IndexAge::Unreadable;
    const std::optional<QDateTime> newest = parseStamp(stamps.value(0, static_cast<size_t>(column)));
    if (!newest) return IndexAge::Unreadable;
    return ageInCalendarDays(*newest, now) >= kStaleAgeDays ? IndexAge::WeekOld : IndexAge::Current;
}

}  // namespace trovander
