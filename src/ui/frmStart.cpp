#include "frmStart.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include "Skin.h"
#include "WindowSet.h"
#include "platform/ProgramEnd.h"

namespace trovander {

frmStart::frmStart(Windows& windows, Services& services)
    : FormWindow(Border::FixedSingle, QStringLiteral("Getting Start"), QSize(496, 273)),
      windows_(windows),
      services_(services) {
    setObjectName("frmStart");
    setWindowIcon(skin::emblemIcon());
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    Picture1 = new PictureBox(this);
    Picture1->setObjectName("Picture1");
    Picture1->setGeometry(136, 0, 193, 168);
    Picture1->setPicture(skin::role("frmStart/Picture1"));

    Label1 = new ClickLabel(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 168, 481, 65);
    Label1->setTransparent(false);
    QPalette labelColours = Label1->palette();
    labelColours.setColor(QPalette::Window, Qt::white);
    Label1->setPalette(labelColours);
    Label1->setFont(skin::font(skin::Face::Georgia, /*points=*/18, /*bold=*/false, /*italic=*/true));
    Label1->setWordWrap(true);
    Label1->setText(QStringLiteral("Your database may be out-dated you should scan your pc once a day"));

    // Right of the picture, above the text: the design leaves that corner empty.
    lblProgress = new QLabel(this);
    lblProgress->setObjectName("lblProgress");
    lblProgress->setGeometry(334, 128, 156, 38);
    lblProgress->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    lblProgress->setFont(skin::font(skin::Face::Georgia, /*points=*/8, /*bold=*/false, /*italic=*/true));
    lblProgress->setVisible(false);

    auto makeButton = [this](const char* name, int left, const char* picture) {
        auto* button = new PictureBox(this);
        button->setObjectName(name);
        button->setGeometry(left, 224, 146, 42);
        button->setPicture(skin::role(picture));
        button->setFocusPolicy(Qt::StrongFocus);
        button->setClicksByKey(true);
        return button;
    };
    cmdStart = makeButton("cmdStart", 8, "frmStart/cmdStart");
    cmdStart->setVisible(false);  // shown once the index is fresh
    cmdScan = makeButton("cmdScan", 160, "frmStart/cmdScan");
    cmdExit = makeButton("cmdExit", 312, "frmStart/cmdExit");

    // The buttons lie above the text's white box, which reaches into their top edge: a label never hides a
    // picture box.
    stackAsListed({cmdStart, cmdScan, cmdExit, lblProgress, Picture1, Label1});
    setTabIndexes({{1, Picture1}, {0, Label1}, {4, cmdStart}, {3, cmdScan}, {2, cmdExit}});

    connect(cmdStart, &PictureBox::clicked, this, &frmStart::cmdStart_Click);
    connect(cmdScan, &PictureBox::clicked, this, &frmStart::cmdScan_Click);
    connect(cmdExit, &PictureBox::clicked, this, &frmStart::cmdExit_Click);
}

frmStart::~frmStart() = default;

void frmStart::setVisible(bool visible) {
    if (visible && !loaded_) {
        // Set first: the load may show the window itself, for instance while a rebuild runs.
        loaded_ = true;
        Form_Load();
    }
    FormWindow::setVisible(visible);
}

void frmStart::offerContinue() {
    indexWhole_ = true;
    cmdStart->setVisible(true);
    cmdStart->setFocus(Qt::OtherFocusReason);
}

void frmStart::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        event->accept();
        // While Continue is hidden (a rebuild runs, or the check failed) Enter does nothing.
        if (cmdStart->isVisible() && !rebuilding()) cmdStart_Click();
        return;
    }
    FormWindow::keyPressEvent(event);
}

void frmStart::showEvent(QShowEvent* event) {
    FormWindow::showEvent(event);
    // The first control in tab order is Exit: the focus would land there.
    if (cmdStart->isVisible()) cmdStart->setFocus(Qt::OtherFocusReason);
}

void frmStart::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!services_.end->ending()) services_.end->endNow();
}

}  // namespace trovander
