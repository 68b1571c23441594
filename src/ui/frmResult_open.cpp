// Opening the selected result with the program its file association names.
#include <QItemSelectionModel>

#include "MessagePlacement.h"
#include "frmResult.h"
#include "results/Opener.h"

namespace trovander {

namespace {
const QString kProgramTitle = QStringLiteral("Trovander");
}

void frmResult::lstResult_DblClick() {
    // Without the platform's services (a window made for a test of something else) there is nothing to ask.
    if (services_.associations == nullptr || services_.launcher == nullptr) return;
    const QModelIndexList selected = lstResult->selectionModel()->selectedRows();
    const int row = selected.isEmpty() ? -1 : selected.front().row();
    openResult(selectedRow(results_, row), *services_.associations, *services_.launcher,
               [this](const QString& text) {
                   PlacedMessageBox box(QMessageBox::NoIcon, kProgramTitle, text, QMessageBox::Ok, this);
                   box.setWindowModality(Qt::ApplicationModal);
                   runMessageBox(box);
               });
}

void frmResult::cmdOpen_Click() { lstResult_DblClick(); }

}  // namespace trovander
