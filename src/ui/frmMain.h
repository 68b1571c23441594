// The search window: the search box, Search Now and Close faces, the site link and the title-bar pictures.
#pragma once

#include <QLineEdit>
#include <QMessageBox>
#include <functional>

#include "BorderlessWindow.h"
#include "ClickLabel.h"
#include "PictureBox.h"
#include "ui/Services.h"

// Search includes: frmMain_search.cpp
#include "search/Search.h"

namespace trovander {

class Windows;

class frmMain : public BorderlessWindow {
    Q_OBJECT
  public:
    frmMain(Windows& windows, Services& services);
    ~frmMain() override;

    PictureBox* About;
    PictureBox* MinBtn;
    // Timer1 (the drag timer) is BorderlessWindow's.
    PictureBox* CrossBtn;
    QLineEdit* txtSearch;
    ClickLabel* cmdClose;      // over the painted "Close" face
    ClickLabel* lblVisitSite;  // the host name of the maker's web site
    ClickLabel* cmdSearch;     // over the painted "Search Now" face

    // Shows the About window, then the About Programmer window in front of it.
    void About_Click();
    // Opens the maker's web page; the window stays as it is.
    void lblVisitSite_Click();
    // Opens the maker's web page, then ends the program at once.
    void cmdClose_Click();
    // The window system asks the window to close: the same as cmdClose. Neither value is looked at.
    void Form_QueryUnload(int& cancel, int unloadMode);

    // Key release in txtSearch; key is a Qt::Key.
    void txtSearch_KeyUp(int key);
    void cmdSearch_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The web page goes through the desktop's opener, asked on behalf of this window.
    void openSitePage();

    Windows& windows_;
    Services& services_;

  public:
    // Search (frmMain_search.cpp):
    // How a message box is run; a test replaces it to read the box instead of waiting on it.
    std::function<void(QMessageBox&)> runMessageBox = [](QMessageBox& box) { box.exec(); };
    // Whether the names of the index have been read into memory since the window was made.
    bool indexWarm() const { return warmUp_.done(); }

  private:
    // Search (frmMain_search.cpp):
    // Reads the names of the index in the background, so that searches are answered from memory.
    IndexWarmUp warmUp_{services_.store};
    bool searchRunning_ = false;
};

}  // namespace trovander
