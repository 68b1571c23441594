// A skinned window that stands in for its missing title bar: drag by any mouse button on the surface,
// minimise, end the program.
#pragma once

#include <QPointF>
#include <QTimer>

#include "FormWindow.h"
#include "ui/Services.h"

namespace trovander {

class BorderlessWindow : public SkinnedWindow {
    Q_OBJECT
  public:
    BorderlessWindow(const QString& caption, QSize clientSize, const QString& backgroundRole,
                     QSize pictureSize, Services& services);

    // Pointer positions relative to the window: at the last press on the surface, at the last movement.
    double DownX = 0, DownY = 0, MoveX = 0, MoveY = 0;
    // The drag timer: disabled with interval 0 until a press on the surface.
    QTimer* Timer1;

    // Positions are relative to the window, in the unit of its screen position.
    void Form_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void Form_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, double x, double y);
    void Form_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void Timer1_Timer();
    void MinBtn_Click();
    void CrossBtn_Click();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // Where the window system will not let a program place its windows (Wayland), its own move takes over.
    bool startSystemMove();

    // The pointer on the screen at the last press or movement: each step measures from it afresh, so a
    // window that has moved under a still pointer does not go on drifting by the last shift.
    QPointF pointerOnScreen_;
    Services& shellServices_;  // the close button ends the program through its end
};

}  // namespace trovander
