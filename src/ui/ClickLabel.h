// A label that takes the clicks on its whole area: a transparent one lies over a painted face and acts as
// its button. A press on it never reaches the window below.
#pragma once

#include <QLabel>

#include "ClickTracker.h"

namespace trovander {

class ClickLabel : public QLabel {
    Q_OBJECT
  public:
    explicit ClickLabel(QWidget* parent = nullptr);

    // Transparent: only the text is drawn, what lies under it shows through.
    void setTransparent(bool on);

  Q_SIGNALS:
    // The left button went down and came up again over the label.
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    ClickTracker clicks_;
};

}  // namespace trovander
