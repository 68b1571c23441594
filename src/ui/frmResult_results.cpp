// The results window's own actions: sorting by a column, New Search and End.
#include "WindowSet.h"
#include "frmMain.h"
#include "frmResult.h"
#include "platform/ProgramEnd.h"

namespace trovander {

void frmResult::lstResult_ColumnClick(int columnIndexFrom1) {
    // SortKey is the column's sub-item index; Sorted stays on from here, always in ascending order.
    results_.sortByColumn(columnIndexFrom1 - 1);
}

void frmResult::cmdNewSearch_Click() {
    // Only hidden: rows, count, selection and sort column stay until the next search replaces the rows.
    hide();
    windows_.main().show();
}

void frmResult::cmdClose_Click() { services_.end->endNow(); }

}  // namespace trovander
