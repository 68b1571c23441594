// The six windows as made: every control with its kind, visibility, text and face, each inside its window,
// its text whole, none over another unless meant; the windows' own captions and sizes; the painted faces
// under the transparent labels.
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

class TestUiLayout : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void controls_data();
    void controls();
    void nothingOverlaps_data();
    void nothingOverlaps();
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

// The named controls of each window, as the user meets them: what kind of control, whether it shows, its
// text and its type face. Places and sizes are not copied here: what counts is that each control lies
// inside its window, shows its whole text, and covers no other control except where one is meant to lie
// over another (overlaps, below).
struct Control {
    const char* window;
    const char* name;
    const char* kind;
    bool visible;
    const char* text = "";
    bool bold = false;
    bool italic = false;
};

const std::vector<Control>& allControls() {
    static const std::vector<Control> controls = {
        {"frmStart", "Picture1", "trovander::PictureBox", true},
        {"frmStart", "Label1", "trovander::ClickLabel", true,
         "Your database may be out-dated you should scan your pc once a day", false, true},
        {"frmStart", "cmdStart", "trovander::PictureBox", false},
        {"frmStart", "cmdScan", "trovander::PictureBox", true},
        {"frmStart", "cmdExit", "trovander::PictureBox", true},

        {"frmMain", "About", "trovander::PictureBox", true},
        {"frmMain", "MinBtn", "trovander::PictureBox", true},
        {"frmMain", "CrossBtn", "trovander::PictureBox", true},
        {"frmMain", "txtSearch", "QLineEdit", true, ".exe", true},
        {"frmMain", "cmdClose", "trovander::ClickLabel", true},
        {"frmMain", "lblVisitSite", "trovander::ClickLabel", true, "trovander.example", true},
        {"frmMain", "cmdSearch", "trovander::ClickLabel", true},

        {"frmResult", "MinBtn", "trovander::PictureBox", true},
        {"frmResult", "About", "trovander::PictureBox", true},
        {"frmResult", "CrossBtn", "trovander::PictureBox", true},
        {"frmResult", "lstResult", "QTreeView", true},
        {"frmResult", "cmdOpen", "trovander::ClickLabel", true},
        {"frmResult", "cmdClose", "trovander::ClickLabel", true},
        {"frmResult", "cmdNewSearch", "trovander::ClickLabel", true},
        {"frmResult", "lblSearchResult", "trovander::ClickLabel", true, " item(s) found", true},

        {"frmAbout", "CrossBtn", "trovander::PictureBox", true},
        {"frmAbout", "lblLink", "trovander::ClickLabel", true},

        {"frmAboutProgrammer", "Label1", "trovander::ClickLabel", true, "About Programmer", true},
        {"frmAboutProgrammer", "Image2", "trovander::PictureBox", true},
        {"frmAboutProgrammer", "lblLabel3", "trovander::ClickLabel", true, "Tel. +1 555 0100", true},
        {"frmAboutProgrammer", "lblLabel2", "trovander::ClickLabel", true,
         "Design, index engine and windows of the Trovander file finder", true},
        {"frmAboutProgrammer", "lblLabel1", "trovander::ClickLabel", true, "C++ and Qt desktop software",
         true},
        {"frmAboutProgrammer", "Line1", "trovander::LineControl", true},
        {"frmAboutProgrammer", "lblLabel0", "trovander::ClickLabel", true, "Trovander developers", true},
        {"frmAboutProgrammer", "Image1", "trovander::PictureBox", true},
    };
    return controls;
}

// The text as drawn in the control's own area: false when any of it is cut off.
bool textFits(QWidget* control, const QString& text) {
    if (text.isEmpty()) return true;
    const QFontMetrics metrics(control->font());
    auto* label = qobject_cast<QLabel*>(control);
    const QRect area = control->contentsRect();
    const int flags = (label && label->wordWrap()) ? int(Qt::TextWordWrap) : int(Qt::TextSingleLine);
    const QRect needed = metrics.boundingRect(QRect(0, 0, area.width(), 10000), flags, text);
    return needed.width() <= area.width() && needed.height() <= area.height();
}

}  // namespace

void TestUiLayout::controls_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    for (const Control& c : allControls())
        QTest::addRow("%s.%s", c.window, c.name)
            << QString(c.window) << QString(c.name) << QString(c.kind) << c.visible
            << QString::fromUtf8(c.text) << c.bold << c.italic;
}

void TestUiLayout::controls() {
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QString, kind);
    QFETCH(bool, visible);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(bool, italic);

    UiFixture ui;
    QWidget& form = windowNamed(ui.windows(), window);
    auto* widget = form.findChild<QWidget*>(control);
    QVERIFY2(widget, qPrintable(control + " is missing"));
    QCOMPARE(widget->metaObject()->className(), kind);
    QCOMPARE(!widget->isHidden(), visible);
    QCOMPARE(textOf(widget), text);
    QVERIFY2(!widget->geometry().isEmpty(), "the control has no area");
    // The banner is drawn two pixels wider than its window, which cuts it off at the edge.
    if (window + "." + control != "frmAboutProgrammer.Image2")
        QVERIFY2(form.rect().contains(widget->geometry()), "the control reaches past its window");
    if (!text.isEmpty()) {
        QVERIFY2(textFits(widget, text), "the text is cut off");
        QCOMPARE(widget->font().bold(), bold);
        QCOMPARE(widget->font().italic(), italic);
    }
}

// No two controls of a window cover each other, but for those meant to: the text and buttons of the start
// window over its white box, and the title over the banner and the name over its rule on About Programmer.
void TestUiLayout::nothingOverlaps_data() {
    QTest::addColumn<QString>("window");
    for (const char* window :
         {"frmStart", "frmMain", "frmSearching", "frmResult", "frmAbout", "frmAboutProgrammer"})
        QTest::newRow(window) << QString(window);
}

void TestUiLayout::nothingOverlaps() {
    QFETCH(QString, window);
    const QSet<QString> meant = {"frmStart.Label1+cmdStart", "frmStart.Label1+cmdScan",
                                 "frmStart.Label1+cmdExit", "frmAboutProgrammer.Image2+Label1",
                                 "frmAboutProgrammer.Line1+lblLabel0"};
    UiFixture ui;
    QWidget& form = windowNamed(ui.windows(), window);
    std::vector<QWidget*> controls;
    for (const Control& c : allControls())
        if (window == c.window) controls.push_back(form.findChild<QWidget*>(c.name));
    for (size_t i = 0; i < controls.size(); ++i)
        for (size_t j = i + 1; j < controls.size(); ++j) {
            QStringList pair = {controls[i]->objectName(), controls[j]->objectName()};
            pair.sort();
            const QString name = window + "." + pair.join('+');
            if (meant.contains(name)) {
                QVERIFY2(controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(name + " no longer overlap: drop them from the list"));
                continue;
            }
            QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()), qPrintable(name));
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
