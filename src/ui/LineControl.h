// A drawn line; like a rule on paper it takes no clicks, which fall through to the window under it.
#pragma once

#include <QColor>
#include <QWidget>

namespace trovander {

class LineControl : public QWidget {
    Q_OBJECT
  public:
    // A horizontal line from (x1, y) to (x2, y), widthPixels thick, centred on y.
    LineControl(QWidget* parent, int x1, int x2, int y, int widthPixels, QColor colour);

    QColor colour() const { return colour_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor colour_;
};

}  // namespace trovander
