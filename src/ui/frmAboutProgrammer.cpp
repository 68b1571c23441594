#include "frmAboutProgrammer.h"

#include <QCloseEvent>
#include <QMouseEvent>

#include "Skin.h"
#include "WindowSet.h"

namespace trovander {

frmAboutProgrammer::frmAboutProgrammer(Windows& windows, Services& services)
    : FormWindow(Border::FixedSingle, QStringLiteral("About Programmer"), QSize(447, 202)),
      windows_(windows),
      services_(services) {
    setObjectName("frmAboutProgrammer");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(skin::programmerIcon());
    QPalette yellow = palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 128));
    yellow.setColor(QPalette::WindowText, Qt::black);
    setPalette(yellow);
    setAutoFillBackground(true);

    const QColor olive(128, 128, 0);

    Label1 = new ClickLabel(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(88, 8, 289, 41);
    Label1->setFont(skin::font(skin::Face::Impact, /*points=*/21.75));
    QPalette title = Label1->palette();
    title.setColor(QPalette::WindowText, olive);
    Label1->setPalette(title);
    Label1->setText(QStringLiteral("About Programmer"));

    Image2 = new PictureBox(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(0, 0, 449, 49);
    Image2->setPicture(skin::role("frmAboutProgrammer/banner"));

    struct Line {
        QRect geometry;
        const char* text;
    };
    // No person is named: the lines speak of the project and its developers.
    const Line lines[4] = {
        {QRect(144, 56, 289, 33), "Trovander developers"},
        {QRect(144, 96, 273, 17), "C++ and Qt desktop software"},
        {QRect(144, 120, 273, 41), "Design, index engine and windows of the Trovander file finder"},
        {QRect(144, 176, 273, 17), "Tel. +1 555 0100"},
    };
    for (int index = 0; index < 4; ++index) {
        auto* label = new ClickLabel(this);
        label->setObjectName(QStringLiteral("lblLabel%1").arg(index));
        label->setGeometry(lines[index].geometry);
        label->setWordWrap(true);
        label->setFont(index == 0 ? skin::font(skin::Face::TimesNewRoman, /*points=*/21.75, /*bold=*/true)
                                  : skin::font(skin::Face::MsSansSerif, /*points=*/9.75, /*bold=*/true));
        label->setText(QString::fromUtf8(lines[index].text));
        connect(label, &ClickLabel::clicked, this, [this, index] { lblLabel_Click(index); });
        lblLabel[static_cast<size_t>(index)] = label;
    }

    Line1 = new LineControl(this, 144, 440, 88, /*widthPixels=*/2, olive);
    Line1->setObjectName("Line1");

    Image1 = new PictureBox(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 56, 127, 134);
    Image1->setPicture(skin::role("frmAboutProgrammer/portrait"));

    stackAsListed({Label1, Image2, lblLabel[3], lblLabel[2], lblLabel[1], Line1, lblLabel[0], Image1});
    setTabIndexes({{4, Label1}, {3, lblLabel[3]}, {2, lblLabel[2]}, {1, lblLabel[1]}, {0, lblLabel[0]}});

    connect(Image1, &PictureBox::clicked, this, &frmAboutProgrammer::Image1_Click);
}

void frmAboutProgrammer::Form_Click() { hide(); }
void frmAboutProgrammer::Image1_Click() { hide(); }
void frmAboutProgrammer::lblLabel_Click(int) { hide(); }

void frmAboutProgrammer::mousePressEvent(QMouseEvent* event) { clicks_.press(event); }

void frmAboutProgrammer::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = clicks_.release(event, rect());
    if (click) Form_Click();
}

void frmAboutProgrammer::closeEvent(QCloseEvent* event) {
    // The close box unloads the window (it deletes itself); the next showing makes a new one.
    unloaded_ = true;
    event->accept();
}

}  // namespace trovander
