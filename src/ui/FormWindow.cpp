#include "FormWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>
#include <vector>

#include "Skin.h"

namespace trovander {

FormWindow::FormWindow(Border border, const QString& caption, QSize clientSize) : QWidget(nullptr) {
    Qt::WindowFlags flags = Qt::Window;
    if (border == Border::None) {
        flags |= Qt::FramelessWindowHint;
    } else {
        // A title bar with a close box and neither minimise nor maximise box.
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint;
    }
    setWindowFlags(flags);
    setWindowTitle(caption);
    setFixedSize(clientSize);
}

void FormWindow::setVisible(bool visible) {
    if (visible && !placed_) {
        placed_ = true;
        placeOnFirstShow();
    }
    if (visible) showsNormal();
    QWidget::setVisible(visible);
}

void FormWindow::showsNormal() {
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized) setWindowState(state & ~Qt::WindowMinimized);
    QWindow* native = windowHandle();
    if (!native) return;
    if (native->windowStates() & Qt::WindowMinimized)
        native->setWindowStates(native->windowStates() & ~Qt::WindowMinimized);
    // Minimised by the program, an X11 window carries the hint "map me as an icon"; restored by the window
    // manager (a task bar), the window reads normal again but keeps that hint, so the next show would map
    // it as an icon and nothing would be on screen. Passing through another state rewrites the hint; while
    // the window is not mapped, the manager takes no notice of the passage.
    if (restoredByManager_ && !isVisible() && QGuiApplication::platformName() == QLatin1String("xcb")) {
        const Qt::WindowStates now = native->windowStates();
        native->setWindowStates(now | Qt::WindowMaximized);
        native->setWindowStates(now);
    }
    restoredByManager_ = false;
}

void FormWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
        restoredByManager_ = true;
}

void FormWindow::setTabIndexes(std::initializer_list<std::pair<int, QWidget*>> controls) {
    std::vector<std::pair<int, QWidget*>> ordered(controls);
    std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [index, control] : ordered) {
        if (!(control->focusPolicy() & Qt::TabFocus)) continue;
        if (previous) setTabOrder(previous, control);
        previous = control;
    }
}

void FormWindow::stackAsListed(std::initializer_list<QWidget*> controlsTopFirst) {
    for (auto it = std::rbegin(controlsTopFirst); it != std::rend(controlsTopFirst); ++it) (*it)->raise();
}

void FormWindow::placeOnFirstShow() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->availableGeometry();
    QRect frame(QPoint(0, 0), size());
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

SkinnedWindow::SkinnedWindow(const QString& caption, QSize clientSize, const QString& backgroundRole,
                             QSize pictureSize)
    : FormWindow(Border::None, caption, clientSize), background_(backgroundRole), pictureSize_(pictureSize) {
    setWindowIcon(skin::emblemIcon());
    // The picture covers everything; the white behind it only shows while it is drawn.
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinnedWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The painter's scale, not the widget's: a snapshot may render at another ratio than the screen's.
    const qreal ratio = std::max<qreal>(1.0, painter.deviceTransform().m11());
    if (cache_.isNull() || cache_.devicePixelRatio() != ratio) {
        cache_ = QPixmap(pictureSize_ * ratio);
        cache_.setDevicePixelRatio(ratio);
        cache_.fill(Qt::white);
        QPainter picture(&cache_);
        picture.setRenderHint(QPainter::Antialiasing);
        skin::paint(picture, background_, QRectF(QPointF(0, 0), QSizeF(pictureSize_)));
    }
    painter.drawPixmap(0, 0, cache_);
}

}  // namespace trovander
