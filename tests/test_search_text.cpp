// Size text, date text and count caption of the result rows.
#include <QtTest>

#include "results/CellText.h"

using namespace trovander;

class TestSearchText : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void sizeText_data() {
        QTest::addColumn<double>("sizeBytes");
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("text");
        const QString en = QStringLiteral("en_US");
        QTest::newRow("zero") << 0.0 << en << "0 Bytes(s)";
        QTest::newRow("one") << 1.0 << en << "1 Bytes(s)";
        QTest::newRow("1024 stays bytes") << 1024.0 << en << "1024 Bytes(s)";
        QTest::newRow("1025 first KB") << 1025.0 << en << "1 KB(s)";
        QTest::newRow("1126") << 1126.0 << en << "1.1 KB(s)";
        QTest::newRow("1.25 half to even 1.2") << 1280.0 << en << "1.2 KB(s)";
        QTest::newRow("1.75 half to even 1.8") << 1792.0 << en << "1.8 KB(s)";
        QTest::newRow("1023.5 KB") << 1048064.0 << en << "1023.5 KB(s)";
        QTest::newRow("just under MB") << 1048575.0 << en << "1024 KB(s)";
        QTest::newRow("MB stays KB") << 1048576.0 << en << "1024 KB(s)";
        QTest::newRow("first MB") << 1048577.0 << en << "1 MB(s)";
        QTest::newRow("1.5 MB") << 1572864.0 << en << "1.5 MB(s)";
        QTest::newRow("GB stays MB") << 1073741824.0 << en << "1024 MB(s)";
        QTest::newRow("first GB") << 1073741825.0 << en << "1 GB(s)";
        QTest::newRow("1.5 GB") << 1610612736.0 << en << "1.5 GB(s)";
        QTest::newRow("5e9") << 5000000000.0 << en << "4.7 GB(s)";
        // GB is the largest unit; thousands carry no group separator.
        QTest::newRow("terabytes in GB") << 5e12 << en << "4656.6 GB(s)";
        QTest::newRow("comma locale") << 1572864.0 << QStringLiteral("de_DE") << "1,5 MB(s)";
        QTest::newRow("comma locale whole") << 2097152.0 << QStringLiteral("de_DE") << "2 MB(s)";
        QTest::newRow("comma locale bytes") << 999.0 << QStringLiteral("de_DE") << "999 Bytes(s)";
        QTest::newRow("space-grouping locale") << 1073217536.0 << QStringLiteral("fr_FR") << "1023,5 MB(s)";
    }
    void sizeText() {
        QFETCH(double, sizeBytes);
        QFETCH(QString, localeName);
        QFETCH(QString, text);
        QCOMPARE(advFileLen(sizeBytes, QLocale(localeName)), text);
        // The default argument is the regional setting.
        QLocale::setDefault(QLocale(localeName));
        QCOMPARE(advFileLen(sizeBytes), text);
    }

    void dateText_data() {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        const QDate day(2024, 3, 5);
        QTest::newRow("afternoon us") << "en_US" << QDateTime(day, QTime(13, 5, 9)) << "3/5/24 1:05:09 PM";
        QTest::newRow("afternoon de") << "de_DE" << QDateTime(day, QTime(13, 5, 9)) << "05.03.24 13:05:09";
        QTest::newRow("midnight us") << "en_US" << QDateTime(day, QTime(0, 0)) << "3/5/24";
        QTest::newRow("midnight de") << "de_DE" << QDateTime(day, QTime(0, 0)) << "05.03.24";
        QTest::newRow("second after midnight")
            << "de_DE" << QDateTime(day, QTime(0, 0, 1)) << "05.03.24 00:00:01";
        QTest::newRow("milliseconds after midnight")
            << "de_DE" << QDateTime(day, QTime(0, 0, 0, 400)) << "05.03.24";
    }
    void dateText() {
        QFETCH(QString, localeName);
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QCOMPARE(DateText(QLocale(localeName)).format(time), text);
        QLocale::setDefault(QLocale(localeName));
        QCOMPARE(DateText().formatSecs(time.toSecsSinceEpoch()), text);
    }

    void caption_data() {
        QTest::addColumn<qint64>("rows");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << qint64(0) << "0 item(s) found";
        QTest::newRow("three") << qint64(3) << "3 item(s) found";
        QTest::newRow("a million, no separators") << qint64(1000000) << "1000000 item(s) found";
    }
    void caption() {
        QFETCH(qint64, rows);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QCOMPARE(countCaption(rows), text);
    }
};

QTEST_GUILESS_MAIN(TestSearchText)
#include "test_search_text.moc"
