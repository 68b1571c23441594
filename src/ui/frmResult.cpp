#include "frmResult.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <cmath>

#include "Skin.h"
#include "WindowSet.h"
#include "frmAbout.h"
#include "platform/ProgramEnd.h"

namespace trovander {
namespace {

constexpr double kTwipsPerPixel = 15.0;

int pixelsFromTwips(int twips) { return static_cast<int>(std::lround(twips / kTwipsPerPixel)); }

}  // namespace

frmResult::frmResult(Windows& windows, Services& services)
    : BorderlessWindow(QStringLiteral("Search Result"), QSize(631, 500), skin::role("frmResult/background"),
                       QSize(631, 500), services),
      windows_(windows),
      services_(services) {
    setObjectName("frmResult");

    CrossL = new ImageList({skin::role("titlebar/close-raised"), skin::role("titlebar/close-pressed"),
                            skin::role("titlebar/about-raised"), skin::role("titlebar/about-pressed"),
                            skin::role("titlebar/minimise-raised"), skin::role("titlebar/minimise-pressed")},
                           this);
    CrossL->setObjectName("CrossL");

    auto makeTitleButton = [this](const char* name, int left, const QString& picture) {
        auto* button = new PictureBox(this);
        button->setObjectName(name);
        button->setGeometry(left, 8, 15, 15);
        button->setPicture(picture);
        return button;
    };
    MinBtn = makeTitleButton("MinBtn", 584, CrossL->ListImage(MinimiseRaised));
    About = makeTitleButton("About", 568, CrossL->ListImage(AboutRaised));
    // The first close picture is not the list's raised one: after a press the list's takes its place.
    CrossBtn = makeTitleButton("CrossBtn", 600, skin::role("titlebar/close-first"));

    lstResult = new QTreeView(this);
    lstResult->setObjectName("lstResult");
    lstResult->setGeometry(8, 80, 617, 369);
    lstResult->setModel(&results_);
    lstResult->setUniformRowHeights(true);
    lstResult->setRootIsDecorated(false);
    lstResult->setItemsExpandable(false);
    lstResult->setAllColumnsShowFocus(true);
    lstResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Several rows can be selected for copying and dragging out; Open acts on the current one.
    lstResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstResult->setSortingEnabled(false);  // unsorted until a header is clicked
    lstResult->setFont(skin::font(skin::Face::MsSansSerif, /*points=*/8.25));
    QHeaderView* header = lstResult->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setSortIndicatorShown(false);
    const int widthsTwips[] = {2500, 5000, 740, 2000};
    for (int column = 0; column < 4; ++column)
        header->resizeSection(column, pixelsFromTwips(widthsTwips[column]));
    listViewport_ = lstResult->viewport();
    listViewport_->installEventFilter(this);
    lstResult->installEventFilter(this);

    auto makeFaceLabel = [this](const char* name, QRect geometry) {
        auto* label = new ClickLabel(this);
        label->setObjectName(name);
        label->setGeometry(geometry);
        return label;
    };
    cmdOpen = makeFaceLabel("cmdOpen", QRect(264, 456, 105, 33));
    cmdClose = makeFaceLabel("cmdClose", QRect(520, 456, 97, 33));
    cmdNewSearch = makeFaceLabel("cmdNewSearch", QRect(376, 456, 137, 33));
    lblSearchResult = makeFaceLabel("lblSearchResult", QRect(128, 56, 201, 17));
    QPalette blue = lblSearchResult->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblSearchResult->setPalette(blue);
    lblSearchResult->setFont(skin::font(skin::Face::MsSansSerif, /*points=*/9.75, /*bold=*/true));
    lblSearchResult->setText(QStringLiteral(" item(s) found"));

    stackAsListed({MinBtn, About, CrossBtn, lstResult, cmdOpen, cmdClose, cmdNewSearch, lblSearchResult});
    setTabIndexes({{6, MinBtn},
                   {5, About},
                   {4, CrossBtn},
                   {1, lstResult},
                   {7, cmdOpen},
                   {3, cmdClose},
                   {2, cmdNewSearch},
                   {0, lblSearchResult}});

    auto swapOn = [this](PictureBox* button,
                         void (frmResult::*down)(Qt::MouseButton, Qt::KeyboardModifiers, double, double),
                         void (frmResult::*up)(Qt::MouseButton, Qt::KeyboardModifiers, double, double)) {
        connect(button, &PictureBox::mouseDown, this,
                [this, down](Qt::MouseButton b, Qt::KeyboardModifiers s, QPointF p) {
                    (this->*down)(b, s, p.x(), p.y());
                });
        connect(button, &PictureBox::mouseUp, this,
                [this, up](Qt::MouseButton b, Qt::KeyboardModifiers s, QPointF p) {
                    (this->*up)(b, s, p.x(), p.y());
                });
    };
    swapOn(CrossBtn, &frmResult::CrossBtn_MouseDown, &frmResult::CrossBtn_MouseUp);
    swapOn(About, &frmResult::About_MouseDown, &frmResult::About_MouseUp);
    swapOn(MinBtn, &frmResult::MinBtn_MouseDown, &frmResult::MinBtn_MouseUp);

    connect(CrossBtn, &PictureBox::clicked, this, &frmResult::CrossBtn_Click);
    connect(About, &PictureBox::clicked, this, &frmResult::About_Click);
    connect(MinBtn, &PictureBox::clicked, this, &frmResult::MinBtn_Click);
    connect(header, &QHeaderView::sectionClicked, this,
            [this](int logicalIndex) { lstResult_ColumnClick(logicalIndex + 1); });
    connect(cmdOpen, &ClickLabel::clicked, this, &frmResult::cmdOpen_Click);
    connect(cmdClose, &ClickLabel::clicked, this, &frmResult::cmdClose_Click);
    connect(cmdNewSearch, &ClickLabel::clicked, this, &frmResult::cmdNewSearch_Click);
    setUpOpening();
}

frmResult::~frmResult() {
    // The view goes before the model it shows.
    delete lstResult;
}

void frmResult::About_Click() { windows_.about().show(); }

void frmResult::swapPicture(PictureBox* button, int positionFrom1) {
    const QString wanted = CrossL->ListImage(positionFrom1);
    if (button->picture() == wanted) {
        if (services_.yield) services_.yield();
        return;
    }
    button->setPicture(wanted);
}

void frmResult::CrossBtn_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    swapPicture(CrossBtn, ClosePressed);
}
void frmResult::CrossBtn_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    swapPicture(CrossBtn, CloseRaised);
}
void frmResult::About_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    swapPicture(About, AboutPressed);
}
void frmResult::About_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    swapPicture(About, AboutRaised);
}
void frmResult::MinBtn_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    swapPicture(MinBtn, MinimisePressed);
}
void frmResult::MinBtn_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    swapPicture(MinBtn, MinimiseRaised);
}

void frmResult::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!services_.end->ending()) services_.end->endNow();
}

bool frmResult::eventFilter(QObject* watched, QEvent* event) {
    // The viewport kept from set-up: the filter also sees events while the list is being destroyed, when
    // asking the list for its viewport is no longer valid.
    if (watched == listViewport_ && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lstResult_DblClick();
    }
    if (watched == lstResult && event->type() == QEvent::KeyPress &&
        lstResult_KeyDown(static_cast<QKeyEvent*>(event)))
        return true;
    return BorderlessWindow::eventFilter(watched, event);
}

}  // namespace trovander
