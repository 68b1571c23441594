// The snapshot tool: one PNG per window, named by its class, at the client size times the scale.
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "support/Fixtures.h"

using trovander::testing::runTool;

class TestUiSnapshot : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void writesEveryWindow_data();
    void writesEveryWindow();
    void refusesBadArguments_data();
    void refusesBadArguments();
};

void TestUiSnapshot::writesEveryWindow_data() {
    QTest::addColumn<QString>("scale");
    QTest::addColumn<int>("factor");
    QTest::newRow("scale 1") << "1" << 1;
    QTest::newRow("scale 2") << "2" << 2;
}

void TestUiSnapshot::writesEveryWindow() {
    QFETCH(QString, scale);
    QFETCH(int, factor);

    QTemporaryDir dir;
    const QString out = dir.filePath("shots");  // made by the tool
    std::string log;
    QCOMPARE(runTool("trovander-snapshot", {out.toStdString(), "--scale", scale.toStdString()}, &log), 0);

    const QList<QPair<QString, QSize>> windows = {
        {"frmStart", {496, 273}},  {"frmMain", {610, 272}},  {"frmSearching", {458, 217}},
        {"frmResult", {631, 500}}, {"frmAbout", {610, 273}}, {"frmAboutProgrammer", {447, 202}},
    };
    for (const auto& [name, size] : windows) {
        QImage image(out + "/" + name + ".png");
        QVERIFY2(!image.isNull(), qPrintable(name + " was not written: " + QString::fromStdString(log)));
        QCOMPARE(image.size(), size * factor);
    }
    // The picture is drawn, not left blank: the search window's title strip is dark purple.
    QImage main(out + "/frmMain.png");
    const QColor strip = main.pixelColor(QPoint(400, 20) * factor);
    QVERIFY(strip.blue() > strip.green() + 30 && strip.value() < 180);
}

void TestUiSnapshot::refusesBadArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no folder") << QStringList{};
    QTest::newRow("scale not a number") << QStringList{"OUT", "--scale", "big"};
    QTest::newRow("scale zero") << QStringList{"OUT", "--scale", "0"};
    QTest::newRow("unknown option") << QStringList{"OUT", "--colour"};
}

void TestUiSnapshot::refusesBadArguments() {
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(a == "OUT" ? dir.filePath("shots").toStdString() : a.toStdString());
    QCOMPARE(runTool("trovander-snapshot", args), 2);
    QVERIFY(!QFile::exists(dir.filePath("shots")));
}

QTEST_MAIN(TestUiSnapshot)
#include "test_ui_snapshot.moc"
