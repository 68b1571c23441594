#include "ui/MessagePlacement.h"

#include <QGuiApplication>
#include <QScreen>

namespace trovander {

void centreOverOwner(QWidget& window) {
    QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    const bool ownerShown = owner && owner->isVisible() && !owner->isMinimized();
    QScreen* screen = ownerShown && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window.size());
    frame.moveCenter(ownerShown ? owner->frameGeometry().center() : area.center());
    // Never past the screen's edges, so the box's buttons stay reachable whatever the owner's place.
    frame.moveLeft(std::max(area.left(), std::min(frame.left(), area.right() - frame.width() + 1)));
    frame.moveTop(std::max(area.top(), std::min(frame.top(), area.bottom() - frame.height() + 1)));
    window.move(frame.topLeft());
}

void PlacedMessageBox::showEvent(QShowEvent* event) {
    // The box takes its final size in its own show handling; it is placed after that, before it is mapped.
    QMessageBox::showEvent(event);
    centreOverOwner(*this);
}

}  // namespace trovander
