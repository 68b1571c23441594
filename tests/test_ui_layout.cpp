// The six windows as made: every control with its kind, place, size, visibility, text and font; the
// windows' own captions and sizes; the painted faces under the transparent labels.
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QTreeView>
#include <QtTest>

#include "support/UiFakes.h"
#include "ui/ClickLabel.h"
#include "ui/ImageList.h"
#include "ui/LineControl.h"
#include "ui/PictureBox.h"
#include "ui/Skin.h"
#include "ui/frmAbout.h"
#include "ui/frmAboutProgrammer.h"
#include "ui/frmMain.h"
#include "ui/frmResult.h"
#include "ui/frmSearching.h"
#include "ui/frmStart.h"

using namespace trovander;
using trovander::testing::UiFixture;

namespace {

QWidget& windowNamed(Windows& windows, const QString& name) {
    if (name == "frmStart") return windows.start();
    if (name == "frmMain") return windows.main();
    if (name == "frmSearching") return windows.searching();
    if (name == "frmResult") return windows.result();
    if (name == "frmAbout") return windows.about();
    return windows.aboutProgrammer();
}

QString textOf(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    return {};
}

// The background picture of a skinned window, at its design size.
QImage backgroundOf(SkinnedWindow& window) {
    QImage image(window.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    skin::paint(painter, window.background(), QRectF(QPointF(0, 0), QSizeF(window.width(), 273)));
    if (window.height() != 272) {
        painter.end();
        image.fill(Qt::black);
        painter.begin(&image);
        skin::paint(painter, window.background(), QRectF(QPointF(0, 0), QSizeF(window.size())));
    }
    return image;
}

// The painted faces are light blue; the panel and the body around them are white or blue-grey.
bool onFace(const QImage& image, QPoint at) {
    const QColor c = image.pixelColor(at);
    return c.blue() - c.red() > 50 && c.blue() > 200;
}

}  // namespace

class TestUiLayout : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void controls_data();
    void controls();
    void windows_data();
    void windows();
    void facesUnderLabels_data();
    void facesUnderLabels();
    void initialStates();
    void resultList();
    void startTabOrder();
    void overlaps_data();
    void overlaps();
};

void TestUiLayout::controls_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("fontPixels");  // 0: not looked at
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");

    const QString picture = "trovander::PictureBox", label = "trovander::ClickLabel";
    auto row = [](const char* window, const char* control, const QString& kind, QRect geometry, bool visible,
                  const QString& text = {}, int fontPixels = 0, bool bold = false, bool italic = false) {
        QTest::addRow("%s.%s", window, control) << QString(window) << QString(control) << kind << geometry
                                                << visible << text << fontPixels << bold << italic;
    };
    row("frmStart", "Picture1", picture, {136, 0, 193, 168}, true);
    row("frmStart", "Label1", label, {8, 168, 481, 65}, true,
        "Your database may be out-dated you should scan your pc once a day", 24, false, true);
    row("frmStart", "cmdStart", picture, {8, 224, 146, 42}, false);
    row("frmStart", "cmdScan", picture, {160, 224, 146, 42}, true);
    row("frmStart", "cmdExit", picture, {312, 224, 146, 42}, true);

    row("frmMain", "About", picture, {540, 8, 15, 15}, true);
    row("frmMain", "MinBtn", picture, {558, 8, 15, 15}, true);
    row("frmMain", "CrossBtn", picture, {576, 8, 15, 15}, true);
    row("frmMain", "txtSearch", "QLineEdit", {232, 171, 361, 23}, true, ".exe", 16, true, false);
    row("frmMain", "cmdClose", label, {456, 216, 137, 33}, true, "");
    row("frmMain", "lblVisitSite", label, {336, 96, 153, 17}, true, "trovander.example", 13, true, false);
    row("frmMain", "cmdSearch", label, {304, 216, 145, 33}, true, "");

    row("frmResult", "MinBtn", picture, {584, 8, 15, 15}, true);
    row("frmResult", "About", picture, {568, 8, 15, 15}, true);
    row("frmResult", "CrossBtn", picture, {600, 8, 15, 15}, true);
    row("frmResult", "lstResult", "QTreeView", {8, 80, 617, 369}, true);
    row("frmResult", "cmdOpen", label, {264, 456, 105, 33}, true, "");
    row("frmResult", "cmdClose", label, {520, 456, 97, 33}, true, "");
    row("frmResult", "cmdNewSearch", label, {376, 456, 137, 33}, true, "");
    row("frmResult", "lblSearchResult", label, {128, 56, 201, 17}, true, " item(s) found", 13, true, false);

    row("frmAbout", "CrossBtn", picture, {584, 8, 15, 15}, true);
    row("frmAbout", "lblLink", label, {416, 192, 161, 17}, true, "");

    row("frmAboutProgrammer", "Label1", label, {88, 8, 289, 41}, true, "About Programmer", 29, true, false);
    row("frmAboutProgrammer", "Image2", picture, {0, 0, 449, 49}, true);
    row("frmAboutProgrammer", "lblLabel3", label, {144, 176, 273, 17}, true, "Tel. +1 555 0100", 13, true,
        false);
    row("frmAboutProgrammer", "lblLabel2", label, {144, 120, 273, 41}, true,
        "Design, index engine and windows of the Trovander file finder", 13, true, false);
    row("frmAboutProgrammer", "lblLabel1", label, {144, 96, 273, 17}, true, "C++ and Qt desktop software", 13,
        true, false);
    row("frmAboutProgrammer", "Line1", "trovander::LineControl", {144, 87, 297, 2}, true);
    row("frmAboutProgrammer", "lblLabel0", label, {144, 56, 289, 33}, true, "Trovander developers", 29, true,
        false);
    row("frmAboutProgrammer", "Image1", picture, {8, 56, 127, 134}, true);
}

void TestUiLayout::controls() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, kind);
    QFETCH(QRect, geometry);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QFETCH(int, fontPixels);
    QFETCH(bool, bold);
    QFETCH(bool, italic);

    UiFixture ui;
    QWidget& form = windowNamed(ui.windows(), window);
    auto* widget = form.findChild<QWidget*>(control);
    QVERIFY2(widget, qPrintable(control + " is missing"));
    QCOMPARE(widget->metaObject()->className(), kind);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(!widget->isHidden(), visible);
    QCOMPARE(textOf(widget), text);
    if (fontPixels) {
        QCOMPARE(widget->font().pixelSize(), fontPixels);
        QCOMPARE(widget->font().bold(), bold);
        QCOMPARE(widget->font().italic(), italic);
    }
}

void TestUiLayout::windows_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("clientSize");
    QTest::addColumn<bool>("borderless");

    QTest::newRow("frmStart") << "frmStart"
                              << "Getting Start" << QSize(496, 273) << false;
    QTest::newRow("frmMain") << "frmMain"
                             << "Trovander" << QSize(610, 272) << true;
    QTest::newRow("frmSearching") << "frmSearching"
                                  << "Searching Please wait..." << QSize(458, 217) << true;
    QTest::newRow("frmResult") << "frmResult"
                               << "Search Result" << QSize(631, 500) << true;
    QTest::newRow("frmAbout") << "frmAbout"
                              << "About Trovander" << QSize(610, 273) << true;
    QTest::newRow("frmAboutProgrammer") << "frmAboutProgrammer"
                                        << "About Programmer" << QSize(447, 202) << false;
}

void TestUiLayout::windows() {
    QFETCH(QString, window);
    QFETCH(QString, caption);
    QFETCH(QSize, clientSize);
    QFETCH(bool, borderless);

    UiFixture ui;
    QWidget& form = windowNamed(ui.windows(), window);
    QCOMPARE(form.objectName(), window);
    QVERIFY(form.isWindow());
    QVERIFY(form.isHidden());  // made, not shown
    QCOMPARE(form.windowTitle(), caption);
    QCOMPARE(form.size(), clientSize);
    QCOMPARE(form.minimumSize(), clientSize);
    QCOMPARE(form.maximumSize(), clientSize);
    QCOMPARE(bool(form.windowFlags() & Qt::FramelessWindowHint), borderless);
    QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!form.windowIcon().isNull());
}

void TestUiLayout::facesUnderLabels_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("label");
    QTest::newRow("frmMain.cmdSearch") << "frmMain"
                                       << "cmdSearch";
    QTest::newRow("frmMain.cmdClose") << "frmMain"
                                      << "cmdClose";
    QTest::newRow("frmResult.cmdOpen") << "frmResult"
                                       << "cmdOpen";
    QTest::newRow("frmResult.cmdNewSearch") << "frmResult"
                                            << "cmdNewSearch";
    QTest::newRow("frmResult.cmdClose") << "frmResult"
                                        << "cmdClose";
}

// Each transparent button label covers its painted face: the face fills the label's width and stops at
// its edges, so a click beside the face reaches the window.
void TestUiLayout::facesUnderLabels() {
    QFETCH(QString, window);
    QFETCH(QString, label);

    UiFixture ui;
    auto& form = static_cast<SkinnedWindow&>(windowNamed(ui.windows(), window));
    const QImage picture = backgroundOf(form);
    const QRect r = form.findChild<QWidget*>(label)->geometry();
    const int y = r.top() + r.height() * 3 / 4;
    QVERIFY2(onFace(picture, {r.left() + 5, y}), "the face starts at the label's left edge");
    QVERIFY2(onFace(picture, {r.right() - 5, y}), "the face reaches the label's right edge");
    QVERIFY2(!onFace(picture, {r.left() - 3, y}), "nothing of the face lies left of the label");
    QVERIFY2(!onFace(picture, {r.right() + 3, y}), "nothing of the face lies right of the label");
    QVERIFY2(!onFace(picture, {r.center().x(), r.bottom() + 3}), "nothing of the face lies below the label");
}

void TestUiLayout::initialStates() {
    UiFixture ui;
    for (BorderlessWindow* form : {static_cast<BorderlessWindow*>(&ui.windows().main()),
                                   static_cast<BorderlessWindow*>(&ui.windows().result())}) {
        auto* timer = form->findChild<QTimer*>("Timer1");
        QVERIFY(timer);
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 0);
        QCOMPARE(form->DownX + form->DownY + form->MoveX + form->MoveY, 0.0);
    }

    frmResult& result = ui.windows().result();
    auto* list = result.findChild<ImageList*>("CrossL");
    QVERIFY(list);
    const QStringList order = {"close-raised",  "close-pressed",   "about-raised",
                               "about-pressed", "minimise-raised", "minimise-pressed"};
    QCOMPARE(list->count(), 6);
    for (int position = 1; position <= 6; ++position)
        QCOMPARE(list->ListImage(position), skin::role("titlebar/" + order[position - 1]));
    for (int position = 1; position <= 6; ++position) QVERIFY(skin::exists(list->ListImage(position)));
    // About and MinBtn start with the very pictures 3 and 5; CrossBtn with a close picture of its own.
    QCOMPARE(result.About->picture(), list->ListImage(3));
    QCOMPARE(result.MinBtn->picture(), list->ListImage(5));
    QVERIFY(result.CrossBtn->picture() != list->ListImage(1));
    QVERIFY(skin::exists(result.CrossBtn->picture()));

    frmMain& main = ui.windows().main();
    QCOMPARE(main.txtSearch->text().size(), 4);
    for (PictureBox* button : {main.About, main.MinBtn, main.CrossBtn})
        QVERIFY(skin::exists(button->picture()));
}

void TestUiLayout::resultList() {
    UiFixture ui;
    QTreeView* list = ui.windows().result().lstResult;
    QCOMPARE(list->model(), &ui.windows().result().results());
    QVERIFY(list->uniformRowHeights());
    QVERIFY(!list->rootIsDecorated());
    QVERIFY(!list->isSortingEnabled());
    QVERIFY(list->header()->sectionsClickable());
    const QStringList headers = {"File Name", "File Path", "Size", "Date Modified"};
    const int widths[] = {167, 333, 49, 133};
    for (int column = 0; column < 4; ++column) {
        QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(), headers[column]);
        QCOMPARE(list->header()->sectionSize(column), widths[column]);
    }
}

// The focus order follows the tab indexes: Exit (2), Scan pc (3), Continue (4). Read from the focus chain,
// because showing the start window would run its loading.
void TestUiLayout::startTabOrder() {
    UiFixture ui;
    frmStart& start = ui.windows().start();
    auto nextFocusable = [](QWidget* from) {
        QWidget* next = from->nextInFocusChain();
        while (next != from && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
        return next;
    };
    QCOMPARE(nextFocusable(start.cmdExit), start.cmdScan);
    QCOMPARE(nextFocusable(start.cmdScan), start.cmdStart);
    QCOMPARE(nextFocusable(start.cmdStart), start.cmdExit);
}

void TestUiLayout::overlaps_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("onTop");  // empty: the window itself
    QTest::newRow("start: Scan pc above the text's white box") << "frmStart" << QPoint(200, 228) << "cmdScan";
    QTest::newRow("start: Exit above the text's white box") << "frmStart" << QPoint(380, 230) << "cmdExit";
    QTest::newRow("programmer: title above the banner")
        << "frmAboutProgrammer" << QPoint(150, 20) << "Label1";
    QTest::newRow("programmer: banner beside the title")
        << "frmAboutProgrammer" << QPoint(20, 20) << "Image2";
    QTest::newRow("programmer: the rule takes no clicks") << "frmAboutProgrammer" << QPoint(437, 88) << "";
}

void TestUiLayout::overlaps() {
    QFETCH(QString, window);
    QFETCH(QPoint, at);
    QFETCH(QString, onTop);

    UiFixture ui;
    QWidget* child = windowNamed(ui.windows(), window).childAt(at);
    QCOMPARE(child ? child->objectName() : QString(), onTop);
}

QTEST_MAIN(TestUiLayout)
#include "test_ui_layout.moc"
