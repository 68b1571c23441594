// How old the index is, from its scan stamps, and when it is old enough to rebuild.
#pragma once

#include <QDateTime>
#include <optional>
#include <string_view>

namespace trovander {

class RecordSet;

// An index this many calendar days old or older is rebuilt at start.
constexpr qint64 kStaleAgeDays = 7;

// A stamp as the rebuild writes it (ISO 8601 local date and time), or in the form the current regional
// settings give dates and times. Nothing when the text is neither.
std::optional<QDateTime> parseStamp(std::string_view text);

// Calendar days from the stamp's date to today's date, times of day ignored: a stamp of 23:59 is one day old
// a minute after midnight. Negative for a stamp dated after today.
qint64 ageInCalendarDays(const QDateTime& stamp, const QDateTime& now);

enum class IndexAge {
    NeverBuilt,  // no stamp at all
    Current,     // 6 days old or less, or dated after today
    WeekOld,     // kStaleAgeDays or more
    Unreadable,  // the newest stamp is not a date
};

// Judges statement 5's rows, newest first: the newest stamp tells the age of the index. An unreadable newest
// stamp is not passed over for an older one, since that would misstate the age.
IndexAge judgeIndexAge(const RecordSet& stamps, const QDateTime& now);

// The message and the rebuild are due.
inline bool needsRebuild(IndexAge age) { return age == IndexAge::NeverBuilt || age == IndexAge::WeekOld; }

}  // namespace trovander
