// The texts of a result row that are not stored names: size text, date text, the count caption.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace trovander {

// A byte count in the largest unit it exceeds (strictly), to one decimal with halves to even:
// 1024 -> "1024 Bytes(s)", 1025 -> "1 KB(s)", 1280 -> "1.2 KB(s)". The decimal separator is the locale's.
QString advFileLen(double size, const QLocale& locale = QLocale());

// The date of last change under the regional settings: short date, a blank, the long time with seconds
// (no time zone). A time of exactly midnight is left out and the date stands alone.
class DateText {
  public:
    explicit DateText(const QLocale& locale = QLocale());
    QString format(const QDateTime& localTime) const;
    QString formatSecs(int64_t secsSinceEpoch) const;

  private:
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
};

// "N item(s) found", N in plain decimal digits.
QString countCaption(int64_t rows);

}  // namespace trovander
