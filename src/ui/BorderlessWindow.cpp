#include "BorderlessWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>
#include <cmath>

#include "platform/ProgramEnd.h"

namespace trovander {

BorderlessWindow::BorderlessWindow(const QString& caption, QSize clientSize, const QString& backgroundRole,
                                   QSize pictureSize, Services& services)
    : SkinnedWindow(caption, clientSize, backgroundRole, pictureSize),
      Timer1(new QTimer(this)),
      shellServices_(services) {
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(0);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &BorderlessWindow::Timer1_Timer);
    // Movements without a button down are reported too.
    setMouseTracking(true);
}

void BorderlessWindow::Form_MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
    DownX = x;
    DownY = y;
    pointerOnScreen_ = QPointF(pos()) + QPointF(x, y);
    if (startSystemMove()) return;
    Timer1->setInterval(1);
    Timer1->start();
}

void BorderlessWindow::Form_MouseMove(Qt::MouseButtons, Qt::KeyboardModifiers, double x, double y) {
    MoveX = x;
    MoveY = y;
    pointerOnScreen_ = QPointF(pos()) + QPointF(x, y);
}

void BorderlessWindow::Form_MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, double, double) {
    Timer1->stop();
}

void BorderlessWindow::Timer1_Timer() {
    MoveX = pointerOnScreen_.x() - x();
    MoveY = pointerOnScreen_.y() - y();
    const double left = x(), top = y();
    move(static_cast<int>(std::lround(left + MoveX - DownX)),
         static_cast<int>(std::lround(top + MoveY - DownY)));
}

void BorderlessWindow::MinBtn_Click() {
    setWindowState((windowState() & ~Qt::WindowActive) | Qt::WindowMinimized);
}

void BorderlessWindow::CrossBtn_Click() { shellServices_.end->endNow(); }

bool BorderlessWindow::startSystemMove() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) return false;
    QWindow* handle = windowHandle();
    return handle && handle->startSystemMove();
}

void BorderlessWindow::mousePressEvent(QMouseEvent* event) {
    Form_MouseDown(event->button(), event->modifiers(), event->position().x(), event->position().y());
}

void BorderlessWindow::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void BorderlessWindow::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove(event->buttons(), event->modifiers(), event->position().x(), event->position().y());
}

void BorderlessWindow::mouseReleaseEvent(QMouseEvent* event) {
    Form_MouseUp(event->button(), event->modifiers(), event->position().x(), event->position().y());
}

}  // namespace trovander
