#include "PictureBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "Skin.h"

namespace trovander {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) { setFocusPolicy(Qt::NoFocus); }

void PictureBox::setPicture(const QString& rolePath) {
    if (picture_ == rolePath) return;
    picture_ = rolePath;
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    skin::paint(painter, picture_, rect());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    // Taken here, so a press on the box never reaches the window below (no drag starts).
    event->accept();
    clicks_.press(event);
    Q_EMIT mouseDown(event->button(), event->modifiers(), event->position());
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = clicks_.release(event, rect());
    // The button-up comes first, so a swapped picture is back before the click's handler runs.
    Q_EMIT mouseUp(event->button(), event->modifiers(), event->position());
    if (click) Q_EMIT clicked();
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double-click is a press like the first.
    mousePressEvent(event);
}

void PictureBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Space only: Enter belongs to the window (its default action), so an Enter meant to go on never lands
    // on whichever box happens to hold the focus.
    if (clicksByKey_ && !event->isAutoRepeat() && key == Qt::Key_Space) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace trovander
