// Names between the index's bytes and the Windows backends' UTF-16: every name the system gives comes back
// whole, and bytes that could reach another file than the one they spell are refused.
#include <QtTest>

#include "platform/WideText.h"

using namespace trovander;

Q_DECLARE_METATYPE(std::u16string)

namespace {
QByteArray bytesOf(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

class TestPlatformText : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Each name as the system gives it, its bytes in the index, and back.
    void systemNamesComeBackWhole_data() {
        QTest::addColumn<std::u16string>("wide");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << std::u16string(u"report.txt") << QByteArray("report.txt");
        QTest::newRow("accents") << std::u16string(u"Résumé") << QByteArray("R\xc3\xa9sum\xc3\xa9");
        QTest::newRow("three-byte letter") << std::u16string(u"\u6587") << QByteArray("\xe6\x96\x87");
        QTest::newRow("pair beyond the first plane")
            << std::u16string(u"\U0001F600.png") << QByteArray("\xf0\x9f\x98\x80.png");
        QTest::newRow("unpaired lead surrogate") << std::u16string{u'a', char16_t(0xD83D), u'b'}
                                                 << QByteArray(
                                                        "a\xed\xa0\xbd"
                                                        "b");
        QTest::newRow("unpaired trail surrogate")
            << std::u16string{char16_t(0xDE00)} << QByteArray("\xed\xb8\x80");
        QTest::newRow("lead surrogate at the end")
            << std::u16string{u'x', char16_t(0xD800)} << QByteArray("x\xed\xa0\x80");
        QTest::newRow("trail then lead is two units")
            << std::u16string{char16_t(0xDC00), char16_t(0xD800)} << QByteArray("\xed\xb0\x80\xed\xa0\x80");
        QTest::newRow("empty") << std::u16string() << QByteArray();
    }
    void systemNamesComeBackWhole() {
        QFETCH(std::u16string, wide);
        QFETCH(QByteArray, bytes);
        QCOMPARE(bytesOf(narrowName(wide)), bytes);
        const std::optional<std::u16string> back = widenName(bytes.toStdString());
        QVERIFY(back.has_value());
        QVERIFY(*back == wide);
    }

    void bytesThatSpellNoSingleNameAreRefused_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("NUL would cut the name short") << QByteArray("a.txt\0.exe", 10);
        QTest::newRow("stray continuation byte") << QByteArray("a\x80");
        QTest::newRow("byte that starts nothing") << QByteArray("\xff");
        QTest::newRow("sequence cut off") << QByteArray("\xe6\x96");
        QTest::newRow("overlong slash") << QByteArray(
            "..\xc0\xaf"
            "x");
        QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80");
        QTest::newRow("pair spelled as two halves") << QByteArray("\xed\xa0\xbd\xed\xb8\x80");
    }
    void bytesThatSpellNoSingleNameAreRefused() {
        QFETCH(QByteArray, bytes);
        QVERIFY(!widenName(bytes.toStdString()).has_value());
    }
};

QTEST_GUILESS_MAIN(TestPlatformText)
#include "test_platform_text.moc"
