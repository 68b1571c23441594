// Opening the selected result with the program its file association names, and the row's other
// actions: its containing folder, copying its path or name, dragging it out.
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include "MessagePlacement.h"
#include "frmResult.h"
#include "results/Opener.h"

namespace trovander {

namespace {
const QString kProgramTitle = QStringLiteral("Trovander");
}

void frmResult::setUpOpening() {
    mnuResult = new QMenu(this);
    mnuResult->setObjectName("mnuResult");
    auto add = [this](const char* name, const QString& text, void (frmResult::*handler)()) {
        QAction* action = mnuResult->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    mnuOpen = add("mnuOpen", QStringLiteral("Open"), &frmResult::lstResult_DblClick);
    mnuOpenFolder =
        add("mnuOpenFolder", QStringLiteral("Open Containing Folder"), &frmResult::mnuOpenFolder_Click);
    mnuResult->addSeparator();
    mnuCopyPath = add("mnuCopyPath", QStringLiteral("Copy Full Path"), &frmResult::mnuCopyPath_Click);
    mnuCopyName = add("mnuCopyName", QStringLiteral("Copy Name"), &frmResult::mnuCopyName_Click);
    mnuResult->setDefaultAction(mnuOpen);

    lstResult->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lstResult, &QWidget::customContextMenuRequested, this, &frmResult::lstResult_ContextMenu);
    // Dragged rows leave as their files; nothing is dropped onto the list.
    lstResult->setDragEnabled(true);
    lstResult->setDragDropMode(QAbstractItemView::DragOnly);
    lstResult->setDefaultDropAction(Qt::CopyAction);
}

QList<int> frmResult::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : lstResult->selectionModel()->selectedRows()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int frmResult::openRow() const {
    const QModelIndex current = lstResult->currentIndex();
    if (current.isValid() && lstResult->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.front();
}

void frmResult::showMessage(const QString& text) {
    PlacedMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, this);
    box.setWindowModality(Qt::ApplicationModal);
    runMessageBox(box);
}

void frmResult::lstResult_DblClick() {
    // Without the platform's services (a window made for a test of something else) there is nothing to ask.
    if (services_.associations == nullptr || services_.launcher == nullptr) return;
    openResult(selectedRow(results_, openRow()), *services_.associations, *services_.launcher,
               [this](const QString& text) { showMessage(text); });
}

void frmResult::cmdOpen_Click() { lstResult_DblClick(); }

void frmResult::mnuOpenFolder_Click() {
    if (services_.launcher == nullptr) return;
    showContainingFolder(selectedRow(results_, openRow()), *services_.launcher,
                         [this](const QString& text) { showMessage(text); });
}

void frmResult::mnuCopyPath_Click() {
    QStringList lines;
    for (const QByteArray& path : results_.fullPaths(selectedRows())) lines << QString::fromUtf8(path);
    if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines.join('\n'));
}

void frmResult::mnuCopyName_Click() {
    QStringList lines;
    for (const int row : selectedRows()) lines << QString::fromUtf8(results_.nameBytes(row));
    if (!lines.isEmpty()) QGuiApplication::clipboard()->setText(lines.join('\n'));
}

void frmResult::lstResult_ContextMenu(const QPoint& viewportPoint) {
    if (selectedRows().isEmpty()) return;
    mnuResult->popup(lstResult->viewport()->mapToGlobal(viewportPoint));
}

bool frmResult::lstResult_KeyDown(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        mnuCopyPath_Click();
        return true;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() & ~Qt::KeypadModifier) return false;
            lstResult_DblClick();
            return true;
        case Qt::Key_Menu: {
            // At the open row, as a right-click there would show it.
            const int row = openRow();
            const QRect rect = row < 0 ? QRect() : lstResult->visualRect(results_.index(row, 0));
            lstResult_ContextMenu(rect.isValid() ? rect.center() : QPoint(0, 0));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace trovander
