#include "LineControl.h"

#include <QPainter>

namespace trovander {

LineControl::LineControl(QWidget* parent, int x1, int x2, int y, int widthPixels, QColor colour)
    : QWidget(parent), colour_(colour) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(x1, y - widthPixels / 2, x2 - x1 + 1, widthPixels);
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), colour_);
}

}  // namespace trovander
