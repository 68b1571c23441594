// The age of the index from its scan stamps: calendar days, the stamp forms read, the newest stamp deciding.
#include <QtTest>

#include "indexer/IndexBuilder.h"
#include "indexer/Staleness.h"
#include "support/Fixtures.h"
#include "support/StartFakes.h"

using namespace trovander;
using namespace trovander::testing;

Q_DECLARE_METATYPE(trovander::IndexAge)

class TestStartStaleness : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void ageCountsCalendarDays_data();
    void ageCountsCalendarDays();
    void newestStampDecides_data();
    void newestStampDecides();
};

void TestStartStaleness::ageCountsCalendarDays_data() {
    QTest::addColumn<QByteArray>("stamp");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("days");  // -1000: the stamp cannot be read

    const QDateTime noon = localAt(2024, 3, 20, 12, 0, 0);
    QTest::newRow("today") << QByteArray("2024-03-20T08:00:00") << noon << 0;
    QTest::newRow("later today") << QByteArray("2024-03-20T23:00:00") << noon << 0;
    QTest::newRow("23:59 is a day old a minute after midnight")
        << QByteArray("2024-03-19T23:59:00") << localAt(2024, 3, 20, 0, 1) << 1;
    QTest::newRow("6 days, late in the day") << QByteArray("2024-03-14T23:59:59") << noon << 6;
    QTest::newRow("7 days, just before midnight") << QByteArray("2024-03-13T23:59:59") << noon << 7;
    QTest::newRow("7 days, just after midnight")
        << QByteArray("2024-03-13T00:00:01") << localAt(2024, 3, 20, 0, 0, 1) << 7;
    QTest::newRow("across a month and a leap day") << QByteArray("2024-02-27T10:00:00") << noon << 22;
    QTest::newRow("tomorrow") << QByteArray("2024-03-21T00:00:00") << noon << -1;
    QTest::newRow("with milliseconds") << QByteArray("2024-03-18T10:00:00.250") << noon << 2;
    QTest::newRow("blanks around") << QByteArray("  2024-03-18T10:00:00 \n") << noon << 2;
    QTest::newRow("as the rebuild writes it")
        << stampText(localAt(2024, 3, 10, 9, 30, 5)).toUtf8() << noon << 10;
    QTest::newRow("regional short form of this machine")
        << QLocale::system().toString(localAt(2024, 3, 15, 9, 30), QLocale::ShortFormat).toUtf8() << noon
        << 5;
    QTest::newRow("empty") << QByteArray("") << noon << -1000;
    QTest::newRow("not a date") << QByteArray("last tuesday") << noon << -1000;
    QTest::newRow("impossible day") << QByteArray("2024-02-30T10:00:00") << noon << -1000;
    QTest::newRow("bytes that are not UTF-8") << QByteArray("2024-03-\xff\xfe") << noon << -1000;
}

void TestStartStaleness::ageCountsCalendarDays() {
    QFETCH(QByteArray, stamp);
    QFETCH(QDateTime, now);
    QFETCH(int, days);
    const std::optional<QDateTime> read = parseStamp(std::string_view(stamp.constData(), stamp.size()));
    if (days == -1000) {
        QVERIFY(!read);
        return;
    }
    QVERIFY2(read.has_value(), stamp.constData());
    QCOMPARE(ageInCalendarDays(*read, now), qint64{days});
}

void TestStartStaleness::newestStampDecides_data() {
    QTest::addColumn<QStringList>("stamps");  // in the order written
    QTest::addColumn<IndexAge>("age");

    QTest::newRow("never built") << QStringList{} << IndexAge::NeverBuilt;
    QTest::newRow("one stamp 6 days old") << QStringList{"2024-03-14T10:00:00"} << IndexAge::Current;
    QTest::newRow("one stamp 7 days old") << QStringList{"2024-03-13T23:59:59"} << IndexAge::WeekOld;
    QTest::newRow("old stamps, a recent one last")
        << QStringList{"2023-01-01T10:00:00", "2024-02-01T10:00:00", "2024-03-19T10:00:00"}
        << IndexAge::Current;
    QTest::newRow("recent stamp, then an old one")
        << QStringList{"2024-03-19T10:00:00", "2024-01-01T10:00:00"} << IndexAge::WeekOld;
    QTest::newRow("an unreadable older stamp is passed over")
        << QStringList{"13.03.24 ??", "2024-03-18T10:00:00"} << IndexAge::Current;
    QTest::newRow("an unreadable newest stamp")
        << QStringList{"2024-03-18T10:00:00", "garbage"} << IndexAge::Unreadable;
    QTest::newRow("a stamp after today") << QStringList{"2024-04-02T10:00:00"} << IndexAge::Current;
}

void TestStartStaleness::newestStampDecides() {
    QFETCH(QStringList, stamps);
    QFETCH(IndexAge, age);
    TempIndex index;
    for (const QString& s : stamps) index.store().insertStamp(s.toStdString());
    const RecordSet rows = index.store().selectStamps();
    QCOMPARE(judgeIndexAge(rows, localAt(2024, 3, 20, 12, 0, 0)), age);
}

QTEST_GUILESS_MAIN(TestStartStaleness)
#include "test_start_staleness.moc"
