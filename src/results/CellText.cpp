#include "results/CellText.h"

#include <cmath>

namespace trovander {

namespace {
constexpr double kKiB = 1024.0;
constexpr double kMiB = 1048576.0;
constexpr double kGiB = 1073741824.0;

// Shortest decimal form, no group separators, the locale's decimal separator.
QString numberText(double value, QLocale locale) {
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', QLocale::FloatingPointShortest);
}

// The long time form without its time zone: the zone is not part of a file's time of last change as the
// list shows it, and it would make every date cell longer.
QString timeWithoutZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') quoted = !quoted;
        if (!quoted && c == u't') continue;
        out += c;
    }
    out.replace(QStringLiteral("()"), QString());
    return out.trimmed();
}
}  // namespace

QString advFileLen(double size, const QLocale& locale) {
    double unit = 0;
    const char* suffix = " Bytes(s)";
    if (size > kGiB) {
        unit = kGiB;
        suffix = " GB(s)";
    } else if (size > kMiB) {
        unit = kMiB;
        suffix = " MB(s)";
    } else if (size > kKiB) {
        unit = kKiB;
        suffix = " KB(s)";
    }
    if (unit == 0) return numberText(size, locale) + QLatin1String(suffix);
    // The unit is a power of two, so size * 10 / unit is exact; nearbyint in the default rounding mode
    // sends an exact half to the even neighbour.
    const double tenths = std::nearbyint(size * 10.0 / unit);
    return numberText(tenths / 10.0, locale) + QLatin1String(suffix);
}

DateText::DateText(const QLocale& locale)
    : locale_(locale),
      dateFormat_(locale.dateFormat(QLocale::ShortFormat)),
      timeFormat_(timeWithoutZone(locale.timeFormat(QLocale::LongFormat))) {}

QString DateText::format(const QDateTime& localTime) const {
    const QString date = locale_.toString(localTime.date(), dateFormat_);
    const QTime time = localTime.time();
    // The list shows whole seconds, so a change within midnight's first second counts as midnight.
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0) return date;
    return date + u' ' + locale_.toString(time, timeFormat_);
}

QString DateText::formatSecs(int64_t secsSinceEpoch) const {
    return format(QDateTime::fromSecsSinceEpoch(secsSinceEpoch));
}

QString countCaption(int64_t rows) { return QString::number(rows) + QLatin1String(" item(s) found"); }

}  // namespace trovander
