// The title-bar pictures and the ways out: pressed pictures on the results window, minimise, end at once,
// and leaving the search window by its Close face or the window system, which opens the web page first.
#include <QCloseEvent>
#include <QtTest>

#include "support/UiFakes.h"
#include "ui/SiteAddress.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"
#include "ui/frmResult.h"
#include "ui/frmSearching.h"
#include "ui/frmStart.h"

using namespace trovander;
using trovander::testing::UiFixture;

Q_DECLARE_METATYPE(Qt::MouseButton)

class TestUiButtons : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void resultPictureSwap_data();
    void resultPictureSwap();
    void mainPicturesStay();
    void minimiseOnlyItsWindow_data();
    void minimiseOnlyItsWindow();
    void waysOut_data();
    void waysOut();
    void windowSystemClose_data();
    void windowSystemClose();
};

void TestUiButtons::resultPictureSwap_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<Qt::MouseButton>("mouse");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<int>("raised");
    QTest::newRow("CrossBtn, right button") << "CrossBtn" << Qt::RightButton << 2 << 1;
    QTest::newRow("About, middle button") << "About" << Qt::MiddleButton << 4 << 3;
    QTest::newRow("MinBtn, right button") << "MinBtn" << Qt::RightButton << 6 << 5;
}

// Down shows the pressed picture, up the raised one from the list; a second up only yields.
void TestUiButtons::resultPictureSwap() {
    QFETCH(QString, button);
    QFETCH(Qt::MouseButton, mouse);
    QFETCH(int, pressed);
    QFETCH(int, raised);

    UiFixture ui;
    frmResult& result = ui.windows().result();
    auto* box = result.findChild<PictureBox*>(button);
    result.show();
    QVERIFY(QTest::qWaitForWindowExposed(&result));

    QTest::mousePress(box, mouse, {}, QPoint(7, 7));
    QCOMPARE(box->picture(), result.CrossL->ListImage(pressed));
    QTest::mouseRelease(box, mouse, {}, QPoint(7, 7));
    QCOMPARE(box->picture(), result.CrossL->ListImage(raised));
    QCOMPARE(ui.yields, 0);
    if (button == "CrossBtn") result.CrossBtn_MouseUp(mouse, {}, 7, 7);
    if (button == "About") result.About_MouseUp(mouse, {}, 7, 7);
    if (button == "MinBtn") result.MinBtn_MouseUp(mouse, {}, 7, 7);
    QCOMPARE(ui.yields, 1);
    QCOMPARE(box->picture(), result.CrossL->ListImage(raised));
    QCOMPARE(ui.end.ends, 0);  // buttons other than the left one click nothing
    QVERIFY(result.isVisible() && !result.isMinimized());
    QVERIFY(!ui.windows().isLoadedAbout());
}

// On the search window the title-bar buttons keep their one picture while held.
void TestUiButtons::mainPicturesStay() {
    UiFixture ui;
    frmMain& main = ui.windows().main();
    for (PictureBox* box : {main.About, main.MinBtn, main.CrossBtn}) {
        const QString before = box->picture();
        QTest::mousePress(box, Qt::RightButton, {}, QPoint(7, 7));
        QCOMPARE(box->picture(), before);
        QTest::mouseRelease(box, Qt::RightButton, {}, QPoint(7, 7));
        QCOMPARE(box->picture(), before);
    }
}

void TestUiButtons::minimiseOnlyItsWindow_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("frmMain") << "frmMain";
    QTest::newRow("frmResult") << "frmResult";
}

void TestUiButtons::minimiseOnlyItsWindow() {
    QFETCH(QString, window);

    UiFixture ui;
    frmMain& main = ui.windows().main();
    frmResult& result = ui.windows().result();
    main.show();
    result.show();
    QVERIFY(QTest::qWaitForWindowExposed(&result));
    BorderlessWindow& target = window == "frmMain" ? static_cast<BorderlessWindow&>(main) : result;
    BorderlessWindow& other = window == "frmMain" ? static_cast<BorderlessWindow&>(result) : main;
    auto* minimise = target.findChild<PictureBox*>("MinBtn");

    QTest::mouseClick(minimise, Qt::LeftButton, {}, QPoint(7, 7));
    QVERIFY(target.windowState() & Qt::WindowMinimized);
    QVERIFY(!(other.windowState() & Qt::WindowMinimized));
    QVERIFY(other.isVisible());
    QCOMPARE(ui.end.ends, 0);
    if (window == "frmResult") QCOMPARE(minimise->picture(), result.CrossL->ListImage(5));
}

void TestUiButtons::waysOut_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("opensPage");
    QTest::newRow("frmMain.CrossBtn") << "frmMain"
                                      << "CrossBtn" << false;
    QTest::newRow("frmMain.cmdClose (Close face)") << "frmMain"
                                                   << "cmdClose" << true;
    QTest::newRow("frmResult.CrossBtn") << "frmResult"
                                        << "CrossBtn" << false;
}

// Each ends the program at once; only the search window's Close face opens the web page first.
void TestUiButtons::waysOut() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(bool, opensPage);

    UiFixture ui;
    QWidget& form = window == "frmMain" ? static_cast<QWidget&>(ui.windows().main()) : ui.windows().result();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* target = form.findChild<QWidget*>(control);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());

    QCOMPARE(ui.end.ends, 1);
    QCOMPARE(ui.urls.opened, opensPage ? QStringList{SiteAddress} : QStringList{});
    if (window == "frmResult") {
        // Released before the click: the raised close picture of the list is back.
        QCOMPARE(ui.windows().result().CrossBtn->picture(), ui.windows().result().CrossL->ListImage(1));
    }
}

void TestUiButtons::windowSystemClose_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<int>("ends");
    QTest::addColumn<bool>("opensPage");
    QTest::addColumn<bool>("staysVisible");
    QTest::newRow("frmMain: web page, then the end") << "frmMain" << 1 << true << true;
    QTest::newRow("frmResult: the end, as its CrossBtn") << "frmResult" << 1 << false << true;
    QTest::newRow("frmAbout: hidden") << "frmAbout" << 0 << false << false;
    QTest::newRow("frmSearching: ignored") << "frmSearching" << 0 << false << true;
    QTest::newRow("frmStart: the end, as its Exit") << "frmStart" << 1 << false << false;
}

void TestUiButtons::windowSystemClose() {
    QFETCH(QString, window);
    QFETCH(int, ends);
    QFETCH(bool, opensPage);
    QFETCH(bool, staysVisible);

    UiFixture ui;
    Windows& w = ui.windows();
    QWidget& form = window == "frmMain"        ? static_cast<QWidget&>(w.main())
                    : window == "frmResult"    ? static_cast<QWidget&>(w.result())
                    : window == "frmAbout"     ? static_cast<QWidget&>(w.about())
                    : window == "frmSearching" ? static_cast<QWidget&>(w.searching())
                                               : static_cast<QWidget&>(w.start());
    // The start window is only opened for the window system here: showing it would run its loading.
    if (window != "frmStart") {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
    form.close();
    QCOMPARE(ui.end.ends, ends);
    QCOMPARE(ui.urls.opened, opensPage ? QStringList{SiteAddress} : QStringList{});
    if (window != "frmStart") QCOMPARE(form.isVisible(), staysVisible);
    // Asked again once the program is ending, nothing more happens.
    form.close();
    QCOMPARE(ui.end.ends, ends);
    QCOMPARE(ui.urls.opened.size(), opensPage ? 1 : 0);
}

QTEST_MAIN(TestUiButtons)
#include "test_ui_buttons.moc"
