#include "frmAbout.h"

#include <QMouseEvent>

#include "SiteAddress.h"
#include "Skin.h"
#include "WindowSet.h"

namespace trovander {

frmAbout::frmAbout(Windows& windows, Services& services)
    : SkinnedWindow(QStringLiteral("About Trovander"), QSize(610, 273), skin::role("frmAbout/background"),
                    QSize(610, 273)),
      windows_(windows),
      services_(services) {
    setObjectName("frmAbout");

    CrossBtn = new PictureBox(this);
    CrossBtn->setObjectName("CrossBtn");
    CrossBtn->setGeometry(584, 8, 15, 15);
    CrossBtn->setPicture(skin::role("titlebar/close-first"));

    lblLink = new ClickLabel(this);
    lblLink->setObjectName("lblLink");
    lblLink->setGeometry(416, 192, 161, 17);

    stackAsListed({CrossBtn, lblLink});
    setTabIndexes({{1, CrossBtn}, {0, lblLink}});

    connect(CrossBtn, &PictureBox::clicked, this, &frmAbout::CrossBtn_Click);
    connect(lblLink, &ClickLabel::clicked, this, &frmAbout::lblLink_Click);
}

void frmAbout::CrossBtn_Click() { hide(); }

void frmAbout::Form_Click() { hide(); }

void frmAbout::lblLink_Click() {
    if (services_.urls) services_.urls->openUrl(QString::fromLatin1(SiteAddress));
}

// No drag here: a press only arms the click.
void frmAbout::mousePressEvent(QMouseEvent* event) { clicks_.press(event); }

void frmAbout::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = clicks_.release(event, rect());
    if (click) Form_Click();
}

}  // namespace trovander
