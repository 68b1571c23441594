// What every window of the program shares: a fixed client size, its caption and icon, and the screen centre
// as its place when it is first shown.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <initializer_list>
#include <utility>

namespace trovander {

class FormWindow : public QWidget {
    Q_OBJECT
  public:
    enum class Border { FixedSingle, None };

    FormWindow(Border border, const QString& caption, QSize clientSize);

    // Every show shows the window normal (not minimised), and on the first show places it.
    void setVisible(bool visible) override;

  protected:
    void changeEvent(QEvent* event) override;
    // Keyboard focus moves in the order of the tab indexes given; controls that take no focus are passed by.
    void setTabIndexes(std::initializer_list<std::pair<int, QWidget*>> controls);
    // Where controls overlap, the one listed first lies on top.
    static void stackAsListed(std::initializer_list<QWidget*> controlsTopFirst);

    // Placed at the centre of the screen on the first showing only; afterwards it stays where it was left.
    virtual void placeOnFirstShow();

  private:
    void showsNormal();

    bool placed_ = false;
    bool restoredByManager_ = false;  // back from minimised since the last show
};

// A borderless window drawn whole by its background picture.
class SkinnedWindow : public FormWindow {
    Q_OBJECT
  public:
    // The picture is drawn from the top-left corner at its own size (it may reach past the client area).
    SkinnedWindow(const QString& caption, QSize clientSize, const QString& backgroundRole, QSize pictureSize);

    const QString& background() const { return background_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString background_;
    QSize pictureSize_;
    QPixmap cache_;  // the picture at the last device pixel ratio
};

}  // namespace trovander
