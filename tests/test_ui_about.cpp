// The About windows: which About button shows which window, the clicks that hide them, the close box that
// unloads the About Programmer window, and the site links.
#include <QtTest>

#include "support/UiFakes.h"
#include "ui/SiteAddress.h"
#include "ui/frmAbout.h"
#include "ui/frmAboutProgrammer.h"
#include "ui/frmMain.h"
#include "ui/frmResult.h"

using namespace trovander;
using trovander::testing::UiFixture;

class TestUiAbout : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aboutButtons_data();
    void aboutButtons();
    void aboutClicks_data();
    void aboutClicks();
    void programmerClicks_data();
    void programmerClicks();
    void programmerCloseBoxUnloads();
    void visitSiteChangesNothingElse();
};

void TestUiAbout::aboutButtons_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("showsProgrammer");
    QTest::newRow("frmMain: both windows") << "frmMain" << true;
    QTest::newRow("frmResult: the About window only") << "frmResult" << false;
}

void TestUiAbout::aboutButtons() {
    QFETCH(QString, window);
    QFETCH(bool, showsProgrammer);

    UiFixture ui;
    Windows& w = ui.windows();
    QWidget& form = window == "frmMain" ? static_cast<QWidget&>(w.main()) : w.result();
    form.show();
    auto* about = form.findChild<PictureBox*>("About");

    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(7, 7));
    QVERIFY(w.about().isVisible());
    QCOMPARE(w.isLoadedAboutProgrammer() && w.aboutProgrammer().isVisible(), showsProgrammer);
    QVERIFY(form.isVisible());  // neither About window takes the place of the window that asked

    // Hidden by a click and asked for again: the same windows come back.
    frmAbout* aboutWindow = &w.about();
    QTest::mouseClick(aboutWindow, Qt::LeftButton, {}, QPoint(100, 250));
    QVERIFY(!aboutWindow->isVisible());
    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(7, 7));
    QCOMPARE(&w.about(), aboutWindow);
    QVERIFY(aboutWindow->isVisible());
    QCOMPARE(ui.end.ends, 0);
    QVERIFY(ui.urls.opened.isEmpty());
}

void TestUiAbout::aboutClicks_data() {
    QTest::addColumn<QString>("target");  // a control, or "surface" with a point
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("hides");
    QTest::addColumn<bool>("opensPage");
    QTest::newRow("surface, on the emblem") << "surface" << QPoint(100, 120) << true << false;
    QTest::newRow("surface, on the painted text") << "surface" << QPoint(300, 150) << true << false;
    QTest::newRow("surface, beside the address") << "surface" << QPoint(410, 200) << true << false;
    QTest::newRow("CrossBtn") << "CrossBtn" << QPoint(7, 7) << true << false;
    QTest::newRow("lblLink") << "lblLink" << QPoint(80, 8) << false << true;
}

void TestUiAbout::aboutClicks() {
    QFETCH(QString, target);
    QFETCH(QPoint, at);
    QFETCH(bool, hides);
    QFETCH(bool, opensPage);

    UiFixture ui;
    frmAbout& about = ui.windows().about();
    about.show();
    QWidget* receiver = target == "surface" ? &about : about.findChild<QWidget*>(target);
    if (target == "surface") QCOMPARE(about.childAt(at), nullptr);
    QTest::mouseClick(receiver, Qt::LeftButton, {}, at);
    QCOMPARE(about.isVisible(), !hides);
    QCOMPARE(ui.urls.opened, opensPage ? QStringList{SiteAddress} : QStringList{});
    QCOMPARE(ui.end.ends, 0);
}

void TestUiAbout::programmerClicks_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QPoint>("at");  // within the target; on the surface, within the window
    QTest::addColumn<bool>("hides");
    QTest::newRow("surface") << "surface" << QPoint(440, 195) << true;
    QTest::newRow("surface, on the rule under the name") << "surface" << QPoint(437, 88) << true;
    QTest::newRow("Image1 (portrait)") << "Image1" << QPoint(60, 60) << true;
    QTest::newRow("lblLabel0") << "lblLabel0" << QPoint(10, 10) << true;
    QTest::newRow("lblLabel1") << "lblLabel1" << QPoint(10, 8) << true;
    QTest::newRow("lblLabel2") << "lblLabel2" << QPoint(10, 30) << true;
    QTest::newRow("lblLabel3") << "lblLabel3" << QPoint(10, 8) << true;
    QTest::newRow("Label1 (title)") << "Label1" << QPoint(100, 20) << false;
    QTest::newRow("Image2 (banner)") << "Image2" << QPoint(20, 20) << false;
}

void TestUiAbout::programmerClicks() {
    QFETCH(QString, target);
    QFETCH(QPoint, at);
    QFETCH(bool, hides);

    UiFixture ui;
    frmAboutProgrammer& programmer = ui.windows().aboutProgrammer();
    programmer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&programmer));
    QWidget* receiver = &programmer;
    QPoint point = at;
    if (target == "surface") {
        // Clicks go where the window system would send them: the rule takes none.
        if (QWidget* child = programmer.childAt(at)) {
            receiver = child;
            point = child->mapFrom(&programmer, at);
        }
    } else {
        receiver = programmer.findChild<QWidget*>(target);
    }
    QTest::mouseClick(receiver, Qt::LeftButton, {}, point);
    QCOMPARE(programmer.isVisible(), !hides);
    QVERIFY(ui.windows().isLoadedAboutProgrammer());  // hiding leaves it loaded
}

void TestUiAbout::programmerCloseBoxUnloads() {
    UiFixture ui;
    frmAboutProgrammer* first = &ui.windows().aboutProgrammer();
    QPointer<frmAboutProgrammer> watch(first);
    first->show();
    first->move(first->pos() + QPoint(40, 30));
    first->close();
    QVERIFY(!ui.windows().isLoadedAboutProgrammer());
    QTRY_VERIFY(watch.isNull());  // deleted once the event loop runs

    frmAboutProgrammer& again = ui.windows().aboutProgrammer();
    QVERIFY(ui.windows().isLoadedAboutProgrammer());
    QVERIFY(again.isHidden());
    QCOMPARE(again.findChild<QLabel*>("Label1")->text(), QStringLiteral("About Programmer"));
    QCOMPARE(ui.end.ends, 0);
}

// The link opens the web page and leaves the window as it was, the search text and its selection included.
void TestUiAbout::visitSiteChangesNothingElse() {
    UiFixture ui;
    frmMain& main = ui.windows().main();
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    main.txtSearch->setText(QStringLiteral("holiday photos"));
    main.txtSearch->setSelection(2, 5);
    const QPoint place = main.pos();

    QTest::mouseClick(main.lblVisitSite, Qt::LeftButton, {}, QPoint(20, 8));
    QCOMPARE(ui.urls.opened, QStringList{SiteAddress});
    QCOMPARE(main.txtSearch->text(), QStringLiteral("holiday photos"));
    QCOMPARE(main.txtSearch->selectionStart(), 2);
    QCOMPARE(main.txtSearch->selectedText(), QStringLiteral("liday"));
    QVERIFY(main.isVisible());
    QCOMPARE(main.pos(), place);
    QVERIFY(!main.Timer1->isActive());
    QCOMPARE(ui.end.ends, 0);
    QVERIFY(!ui.windows().isLoadedAbout());
    QCOMPARE(siteHostName(), main.lblVisitSite->text());
}

QTEST_MAIN(TestUiAbout)
#include "test_ui_about.moc"
