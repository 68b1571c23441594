// The About window: what the program does and where to reach its makers. One click hides it.
#pragma once

#include "ClickLabel.h"
#include "ClickTracker.h"
#include "FormWindow.h"
#include "PictureBox.h"
#include "ui/Services.h"

namespace trovander {

class Windows;

class frmAbout : public SkinnedWindow {
    Q_OBJECT
  public:
    frmAbout(Windows& windows, Services& services);

    PictureBox* CrossBtn;
    ClickLabel* lblLink;  // over the painted web address

    void CrossBtn_Click();
    // A click on the surface, outside the two controls.
    void Form_Click();
    // Opens the maker's web page; the window stays.
    void lblLink_Click();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

    Windows& windows_;
    Services& services_;

  private:
    ClickTracker clicks_;
};

}  // namespace trovander
