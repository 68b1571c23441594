// The About Programmer window: a banner, a portrait and four lines about the program's developers.
// A click almost anywhere hides it; its close box unloads it.
#pragma once

#include <array>

#include "ClickLabel.h"
#include "ClickTracker.h"
#include "FormWindow.h"
#include "LineControl.h"
#include "PictureBox.h"
#include "ui/Services.h"

namespace trovander {

class Windows;

class frmAboutProgrammer : public FormWindow {
    Q_OBJECT
  public:
    frmAboutProgrammer(Windows& windows, Services& services);

    ClickLabel* Label1;                   // the title, over the banner
    PictureBox* Image2;                   // the banner
    std::array<ClickLabel*, 4> lblLabel;  // name, qualification, role, contact
    LineControl* Line1;                   // the rule under the name
    PictureBox* Image1;                   // the portrait

    void Form_Click();
    void Image1_Click();
    // Any of the four lines; the index is not looked at.
    void lblLabel_Click(int index);

    // Closed by its close box: on its way out, never shown again.
    bool isUnloaded() const { return unloaded_; }

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    Windows& windows_;
    Services& services_;

  private:
    ClickTracker clicks_;
    bool unloaded_ = false;
};

}  // namespace trovander
