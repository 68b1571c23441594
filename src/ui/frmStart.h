// The start window: the index's state, then Continue, Scan pc and Exit.
#pragma once

#include <QLabel>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <string>

#include "ClickLabel.h"
#include "FormWindow.h"
#include "PictureBox.h"
#include "indexer/Rebuild.h"
#include "indexer/RebuildProgress.h"
#include "ui/Services.h"

namespace trovander {

class Windows;

class frmStart : public FormWindow {
    Q_OBJECT
  public:
    frmStart(Windows& windows, Services& services);
    ~frmStart() override;

    PictureBox* Picture1;  // the hard disk under a magnifying glass
    ClickLabel* Label1;    // the index's state; a rebuild writes its progress here
    PictureBox* cmdStart;  // Continue: hidden until the index is fresh
    PictureBox* cmdScan;
    PictureBox* cmdExit;
    QLabel* lblProgress;  // during and after a rebuild: the entries recorded so far and the time taken

    // Runs once, before the window first becomes visible.
    void Form_Load();
    void cmdStart_Click();
    void cmdScan_Click();
    void cmdExit_Click();

    // Showing the window the first time loads it first.
    void setVisible(bool visible) override;

  protected:
    // The close box ends the program as Exit does: otherwise it would live on with every window hidden.
    void closeEvent(QCloseEvent* event) override;
    // Enter is Continue, wherever the focus is; Exit answers only its click and its own key (Space on it).
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

    Windows& windows_;
    Services& services_;

  public:
    // The rebuild (frmStart_scan.cpp): the drives its last run walked and its counts; made on first use.
    Rebuild& rebuild();
    // True while a rebuild runs; a click on Scan then starts nothing.
    bool rebuilding() const { return rebuilding_; }
    // Runs the stale-index message box modally. Tests replace it to read the box or answer it at once.
    std::function<void(QMessageBox&)> runMessageBox = [](QMessageBox& box) { box.exec(); };
    // The clock the progress display reads (tests give one that they advance).
    void setProgressClock(RebuildProgress::Clock clockMs) { progress_ = RebuildProgress(std::move(clockMs)); }

  private:
    // Shows Continue and gives it the keyboard, so the Enter a user presses to go on does so.
    void offerContinue();
    // After a failed Scan: Continue again where the index before it is whole, which a damage fault denies.
    void offerContinueAfterFailure(bool damaged);

    bool loaded_ = false;
    bool indexWhole_ = false;  // Continue was offered on it, or the check found it whole but a week old

    // Discovery, then one rebuild. True when it ended with "Done."; false when another rebuild was running,
    // the rebuild failed (its error is in Label1) or the program is ending.
    bool scanAndRebuild();
    void showStaleMessage();
    void newRebuild();
    // Label1's caption, in the design font or smaller so that it fits.
    void showStatus(const QString& text, const QString& toolTip = QString());

    std::unique_ptr<Rebuild> rebuild_;
    RebuildProgress progress_;
    bool rebuilding_ = false;
    qreal labelSize_ = 0;  // Label1's design size, read on first use
    bool labelInPixels_ = false;
};

}  // namespace trovander
