// Dragging the borderless windows by their surface: any button, the window follows the pointer's travel,
// a still pointer never drifts, and a press on a control starts nothing.
#include <QLineEdit>
#include <QTreeView>
#include <QtTest>

#include "support/UiFakes.h"
#include "ui/frmAbout.h"
#include "ui/frmMain.h"
#include "ui/frmResult.h"

using namespace trovander;
using trovander::testing::UiFixture;

Q_DECLARE_METATYPE(Qt::MouseButton)

namespace {

BorderlessWindow& draggable(Windows& windows, const QString& name) {
    if (name == "frmMain") return windows.main();
    return windows.result();
}

// A point of the bare painted surface, away from every control.
QPoint surfacePoint(const QString& name) { return name == "frmMain" ? QPoint(300, 60) : QPoint(400, 40); }

void showAt(QWidget& window, QPoint topLeft) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(topLeft);
    QCOMPARE(window.pos(), topLeft);
}

}  // namespace

class TestUiDrag : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void dragMovesByTravel_data();
    void dragMovesByTravel();
    void stillPointerStays_data();
    void stillPointerStays();
    void pressOnControlStartsNoDrag_data();
    void pressOnControlStartsNoDrag();
    void aboutWindowDoesNotMove();
};

void TestUiDrag::dragMovesByTravel_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("travel");
    for (const char* window : {"frmMain", "frmResult"}) {
        QTest::addRow("%s left", window) << window << Qt::LeftButton << QPoint(37, 21);
        QTest::addRow("%s right", window) << window << Qt::RightButton << QPoint(-25, 40);
        QTest::addRow("%s middle", window) << window << Qt::MiddleButton << QPoint(12, -9);
    }
}

void TestUiDrag::dragMovesByTravel() {
    QFETCH(QString, window);
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, travel);

    UiFixture ui;
    BorderlessWindow& form = draggable(ui.windows(), window);
    const QPoint start(200, 150);
    showAt(form, start);
    const QPoint grip = surfacePoint(window);

    QTest::mousePress(&form, button, {}, grip);
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 1);
    QCOMPARE(QPointF(form.DownX, form.DownY), QPointF(grip));

    // The pointer travels in two steps, with a tick of the drag timer after each.
    QTest::mouseMove(&form, grip + travel / 2);
    form.Timer1_Timer();
    QCOMPARE(form.pos(), start + travel / 2);
    const QPoint rest = travel - travel / 2;
    QTest::mouseMove(&form, grip + rest);  // relative to the moved window
    form.Timer1_Timer();
    QCOMPARE(form.pos(), start + travel);

    QTest::mouseRelease(&form, button, {}, grip);
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(form.pos(), start + travel);
}

void TestUiDrag::stillPointerStays_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QPoint>("travel");
    QTest::newRow("frmMain, no travel") << "frmMain" << QPoint(0, 0);
    QTest::newRow("frmMain, after a move") << "frmMain" << QPoint(30, 15);
    QTest::newRow("frmResult, no travel") << "frmResult" << QPoint(0, 0);
    QTest::newRow("frmResult, after a move") << "frmResult" << QPoint(-20, 25);
}

// Once the window has caught up with the pointer, further ticks without a movement leave it in place.
void TestUiDrag::stillPointerStays() {
    QFETCH(QString, window);
    QFETCH(QPoint, travel);

    UiFixture ui;
    BorderlessWindow& form = draggable(ui.windows(), window);
    const QPoint start(240, 180);
    showAt(form, start);
    const QPoint grip = surfacePoint(window);

    QTest::mousePress(&form, Qt::LeftButton, {}, grip);
    if (!travel.isNull()) QTest::mouseMove(&form, grip + travel);
    for (int tick = 0; tick < 5; ++tick) form.Timer1_Timer();
    QCOMPARE(form.pos(), start + travel);
    QTest::mouseRelease(&form, Qt::LeftButton, {}, grip);
    QCOMPARE(form.pos(), start + travel);
}

void TestUiDrag::pressOnControlStartsNoDrag_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::newRow("frmMain.txtSearch") << "frmMain"
                                       << "txtSearch";
    QTest::newRow("frmMain.cmdSearch") << "frmMain"
                                       << "cmdSearch";
    QTest::newRow("frmMain.lblVisitSite") << "frmMain"
                                          << "lblVisitSite";
    QTest::newRow("frmMain.About") << "frmMain"
                                   << "About";
    QTest::newRow("frmResult.lstResult") << "frmResult"
                                         << "lstResult";
    QTest::newRow("frmResult.cmdNewSearch") << "frmResult"
                                            << "cmdNewSearch";
    QTest::newRow("frmResult.lblSearchResult") << "frmResult"
                                               << "lblSearchResult";
    QTest::newRow("frmResult.MinBtn") << "frmResult"
                                      << "MinBtn";
}

void TestUiDrag::pressOnControlStartsNoDrag() {
    QFETCH(QString, window);
    QFETCH(QString, control);

    UiFixture ui;
    BorderlessWindow& form = draggable(ui.windows(), window);
    const QPoint start(220, 160);
    showAt(form, start);
    QWidget* target = form.findChild<QWidget*>(control);
    if (auto* list = qobject_cast<QTreeView*>(target)) target = list->viewport();
    const QPoint at = target->rect().center();

    QTest::mousePress(target, Qt::RightButton, {}, at);
    QVERIFY(!form.Timer1->isActive());
    QCOMPARE(QPointF(form.DownX, form.DownY), QPointF(0, 0));
    QTest::mouseMove(target, at + QPoint(30, 30));
    QVERIFY(!form.Timer1->isActive());
    QTest::mouseRelease(target, Qt::RightButton, {}, at + QPoint(30, 30));
    QCOMPARE(form.pos(), start);
}

void TestUiDrag::aboutWindowDoesNotMove() {
    UiFixture ui;
    frmAbout& about = ui.windows().about();
    const QPoint start(150, 120);
    showAt(about, start);
    QTest::mousePress(&about, Qt::RightButton, {}, QPoint(300, 60));
    QTest::mouseMove(&about, QPoint(340, 90));
    // Whatever timer a drag would run ticks while the button is held: by hand, and by the event loop.
    for (QTimer* timer : about.findChildren<QTimer*>())
        if (timer->isActive()) QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QTest::qWait(20);
    QCOMPARE(about.pos(), start);
    QTest::mouseRelease(&about, Qt::RightButton, {}, QPoint(340, 90));
    QCOMPARE(about.pos(), start);
    QVERIFY(about.isVisible());  // a right click is no click
}

QTEST_MAIN(TestUiDrag)
#include "test_ui_drag.moc"
