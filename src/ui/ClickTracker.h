// A click as every control and window here counts it: the left button went down on the widget and came up
// again over it. A release elsewhere, or of another button, is no click.
#pragma once

#include <QMouseEvent>
#include <QRect>

namespace trovander {

class ClickTracker {
  public:
    void press(const QMouseEvent* event) {
        if (event->button() == Qt::LeftButton) leftDown_ = true;
    }
    // True when this release ends a click inside area (the widget's own rect()).
    bool release(const QMouseEvent* event, const QRect& area) {
        if (event->button() != Qt::LeftButton) return false;
        const bool click = leftDown_ && area.contains(event->position().toPoint());
        leftDown_ = false;
        return click;
    }

  private:
    bool leftDown_ = false;
};

}  // namespace trovander
