#include "ClickLabel.h"

#include <QMouseEvent>

namespace trovander {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {
    setTransparent(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
}

void ClickLabel::setTransparent(bool on) {
    setAutoFillBackground(!on);
    setAttribute(Qt::WA_NoSystemBackground, on);
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    event->accept();
    clicks_.press(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = clicks_.release(event, rect());
    if (click) Q_EMIT clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

}  // namespace trovander
