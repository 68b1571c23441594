// The results window: the list of hits, their count, Open, New Search and End, and the title-bar pictures,
// which show a pressed picture while a mouse button is held on them.
#pragma once

#include <QTreeView>

#include "BorderlessWindow.h"
#include "ClickLabel.h"
#include "ImageList.h"
#include "PictureBox.h"
#include "results/ResultsModel.h"
#include "ui/Services.h"

// Results includes: frmResult_results.cpp
// Opening includes: frmResult_open.cpp
#include <QMenu>
#include <QMessageBox>
#include <functional>

namespace trovander {

class Windows;

class frmResult : public BorderlessWindow {
    Q_OBJECT
  public:
    frmResult(Windows& windows, Services& services);
    ~frmResult() override;

    // Timer1 (the drag timer) is BorderlessWindow's.
    PictureBox* MinBtn;
    PictureBox* About;
    PictureBox* CrossBtn;
    QTreeView* lstResult;
    // Close raised, close pressed, About raised, About pressed, minimise raised, minimise pressed.
    ImageList* CrossL;
    ClickLabel* cmdOpen;          // over the painted "Open" face
    ClickLabel* cmdClose;         // over the painted "End" face
    ClickLabel* cmdNewSearch;     // over the painted "New Search" face
    ClickLabel* lblSearchResult;  // the count of hits

    // The rows of lstResult.
    ResultsModel& results() { return results_; }

    // Positions of CrossL.
    enum Picture {
        CloseRaised = 1,
        ClosePressed,
        AboutRaised,
        AboutPressed,
        MinimiseRaised,
        MinimisePressed
    };

    // Shows the About window only.
    void About_Click();
    // Each shows its pressed picture on the way down and its raised one on the way up.
    void CrossBtn_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void CrossBtn_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void About_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void About_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void MinBtn_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void MinBtn_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);

    // A header click, with the column counted from 1 ("File Name" is 1).
    void lstResult_ColumnClick(int columnIndexFrom1);
    void cmdNewSearch_Click();
    void cmdClose_Click();
    // A double-click on the list, and Open, open the selected entry.
    void lstResult_DblClick();
    void cmdOpen_Click();

  protected:
    // Closing the window through the window system ends the program as CrossBtn does; otherwise the process
    // would live on with every window hidden.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QObject* listViewport_ = nullptr;  // lstResult's viewport, watched for double-clicks

    Windows& windows_;
    Services& services_;

  public:
    // Opening (frmResult_open.cpp):
    // Runs the open action's message box (a status number, or a program that would not start) modally.
    // Tests replace it to read the box or answer it at once.
    std::function<void(QMessageBox&)> runMessageBox = [](QMessageBox& box) { box.exec(); };

    // The row's context menu: Open, Open Containing Folder, Copy Full Path, Copy Name. It acts on the
    // selected rows (a right-click selects the row under the pointer first).
    QMenu* mnuResult;
    QAction* mnuOpen;
    QAction* mnuOpenFolder;
    QAction* mnuCopyPath;
    QAction* mnuCopyName;
    // Shows mnuResult at a point of the list's viewport, when a row is selected.
    void lstResult_ContextMenu(const QPoint& viewportPoint);
    void mnuOpenFolder_Click();
    // The full paths (or names) of the selected rows, one per line, onto the clipboard.
    void mnuCopyPath_Click();
    void mnuCopyName_Click();
    // Enter opens as Open does, Ctrl+C copies the full paths, the Menu key opens the context menu. True
    // when the key was taken.
    bool lstResult_KeyDown(QKeyEvent* event);

  private:
    // Makes the list's picture at a position the button's picture, unless it shows it already.
    void swapPicture(PictureBox* button, int positionFrom1);

    ResultsModel results_;

    // Opening (frmResult_open.cpp):
    void setUpOpening();
    // The row Open acts on: the current row when it is selected, else the first selected; -1 for none.
    int openRow() const;
    QList<int> selectedRows() const;
    void showMessage(const QString& text);
};

}  // namespace trovander
