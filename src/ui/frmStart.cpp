#include "frmStart.h"

#include <QCloseEvent>

#include "Skin.h"
#include "Windows.h"
#include "app/EndProgram.h"

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
    stackAsListed({cmdStart, cmdScan, cmdExit, Picture1, Label1});
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

void frmStart::closeEvent(QCloseEvent* event) {
    event->accept();
    if (!programEnding()) EndProgramNow();
}

}  // namespace trovander
