#include "frmMain.h"

#include <QCloseEvent>
#include <QKeyEvent>

#include "SiteAddress.h"
#include "Skin.h"
#include "WindowSet.h"
#include "frmAbout.h"
#include "frmAboutProgrammer.h"
#include "platform/ProgramEnd.h"

namespace trovander {

frmMain::frmMain(Windows& windows, Services& services)
    : BorderlessWindow(QStringLiteral("Trovander"), QSize(610, 272), skin::role("frmMain/background"),
                       QSize(610, 273), services),
      windows_(windows),
      services_(services) {
    setObjectName("frmMain");

    auto makeTitleButton = [this](const char* name, int left, const char* picture) {
        auto* button = new PictureBox(this);
        button->setObjectName(name);
        button->setGeometry(left, 8, 15, 15);
        button->setPicture(skin::role(picture));
        return button;
    };
    // On this window the title-bar buttons keep their one picture when pressed.
    About = makeTitleButton("About", 540, "titlebar/about-raised");
    MinBtn = makeTitleButton("MinBtn", 558, "titlebar/minimise-raised");
    CrossBtn = makeTitleButton("CrossBtn", 576, "titlebar/close-first");

    txtSearch = new QLineEdit(this);
    txtSearch->setObjectName("txtSearch");
    txtSearch->setGeometry(232, 171, 361, 23);
    txtSearch->setFont(skin::font(skin::Face::Arial, /*points=*/12, /*bold=*/true));
    // The painted field is the frame: a second one inside it would look doubled.
    txtSearch->setFrame(false);
    txtSearch->setText(QStringLiteral(".exe"));
    txtSearch->installEventFilter(this);

    auto makeFaceLabel = [this](const char* name, QRect geometry) {
        auto* label = new ClickLabel(this);
        label->setObjectName(name);
        label->setGeometry(geometry);
        return label;
    };
    cmdClose = makeFaceLabel("cmdClose", QRect(456, 216, 137, 33));

    lblVisitSite = makeFaceLabel("lblVisitSite", QRect(336, 96, 153, 17));
    QPalette blue = lblVisitSite->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblVisitSite->setPalette(blue);
    lblVisitSite->setFont(skin::font(skin::Face::MsSansSerif, /*points=*/9.75, /*bold=*/true));
    lblVisitSite->setText(siteHostName());

    cmdSearch = makeFaceLabel("cmdSearch", QRect(304, 216, 145, 33));

    stackAsListed({About, MinBtn, CrossBtn, txtSearch, cmdClose, lblVisitSite, cmdSearch});
    setTabIndexes({{6, About},
                   {3, MinBtn},
                   {2, CrossBtn},
                   {0, txtSearch},
                   {5, cmdClose},
                   {4, lblVisitSite},
                   {1, cmdSearch}});
    txtSearch->setFocus();

    connect(About, &PictureBox::clicked, this, &frmMain::About_Click);
    connect(MinBtn, &PictureBox::clicked, this, &frmMain::MinBtn_Click);
    connect(CrossBtn, &PictureBox::clicked, this, &frmMain::CrossBtn_Click);
    connect(cmdClose, &ClickLabel::clicked, this, &frmMain::cmdClose_Click);
    connect(lblVisitSite, &ClickLabel::clicked, this, &frmMain::lblVisitSite_Click);
    connect(cmdSearch, &ClickLabel::clicked, this, &frmMain::cmdSearch_Click);
}

frmMain::~frmMain() = default;

void frmMain::About_Click() {
    windows_.about().show();
    frmAboutProgrammer& programmer = windows_.aboutProgrammer();
    programmer.show();
    // Shown last, it comes up in front of the About window.
    programmer.raise();
    programmer.activateWindow();
}

void frmMain::openSitePage() {
    if (services_.urls) services_.urls->openUrl(QString::fromLatin1(SiteAddress));
}

void frmMain::lblVisitSite_Click() { openSitePage(); }

void frmMain::cmdClose_Click() {
    openSitePage();
    services_.end->endNow();
}

void frmMain::Form_QueryUnload(int&, int) {
    openSitePage();
    services_.end->endNow();
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Once the program is ending nothing more is asked of the window.
    if (services_.end->ending()) {
        event->ignore();
        return;
    }
    int cancel = 0;
    Form_QueryUnload(cancel, /*unloadMode=*/0);
    // Still here only when the end of the program was held back (tests): the window stays as it was.
    event->ignore();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtSearch && event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        // A held key repeats its press and release; only the real release counts.
        if (!key->isAutoRepeat()) txtSearch_KeyUp(key->key());
    }
    return BorderlessWindow::eventFilter(watched, event);
}

}  // namespace trovander
