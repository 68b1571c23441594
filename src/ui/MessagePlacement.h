// Message boxes over the window they belong to: the window system left alone puts a box whose owner has
// not been placed yet (or a box without owner) at the screen's top-left corner.
#pragma once

#include <QMessageBox>

namespace trovander {

// Centres window over its owner (the parent's window) when the owner is on screen and not minimised,
// otherwise on the screen, inside its available area.
void centreOverOwner(QWidget& window);

// A message box that places itself so each time it is shown, after it has taken its final size.
class PlacedMessageBox : public QMessageBox {
    Q_OBJECT
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace trovander
