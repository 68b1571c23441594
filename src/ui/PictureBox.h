// A picture box: shows one picture by role, reports every button going down and up, and clicks.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>

#include "ClickTracker.h"

namespace trovander {

class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The picture is known by its role; two boxes show the same picture exactly when the roles are equal,
    // which is what comparing picture handles asks.
    const QString& picture() const { return picture_; }
    void setPicture(const QString& rolePath);

    // Space clicks a focused box, as it would a push button; Enter is left to the window.
    void setClicksByKey(bool on) { clicksByKey_ = on; }

  Q_SIGNALS:
    // Any mouse button; the position is relative to the box.
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPointF position);
    // The left button went down and came up again over the box.
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QString picture_;
    bool clicksByKey_ = false;
    ClickTracker clicks_;
};

}  // namespace trovander
