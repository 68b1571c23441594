// The search: the text of txtSearch becomes a name pattern, the hits become the rows of the results list.
#include <exception>

#include "MessagePlacement.h"
#include "WindowSet.h"
#include "frmMain.h"
#include "frmResult.h"
#include "frmSearching.h"
#include "results/CellText.h"
#include "search/Search.h"
#include "store/Sqlite.h"

namespace trovander {

namespace {
const QString kProgramTitle = QStringLiteral("Trovander");
}  // namespace

void frmMain::txtSearch_KeyUp(int key) {
    // Enter, on the main keyboard or the keypad, searches whatever modifiers are held; no other key does.
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    cmdSearch_Click();
}

void frmMain::cmdSearch_Click() {
    // The search lets the event loop run while it waits, so a second Enter could come in: one at a time.
    if (searchRunning_) return;
    searchRunning_ = true;
    struct Done {
        frmMain& self;
        ~Done() { self.searchRunning_ = false; }
    } done{*this};
    frmResult& result = windows_.result();
    frmSearching& searching = windows_.searching();
    ResultsModel& list = result.results();
    // A query the index cannot answer (locked, damaged) is said, and the search window stays for another
    // try: a failed search must not look like one without hits. Once the query has run, a failing step
    // leaves what it had done, and the steps after it still run.
    SearchRun search(services_.store, txtSearch->text(), SearchRun::Where::OffThread);
    try {
        list.append(search.queryAndLookUp([&] {
            list.clear();
            searching.show();
        }));
    } catch (const StoreError& e) {
        searching.hide();
        PlacedMessageBox box(
            QMessageBox::Warning, kProgramTitle,
            QStringLiteral("The search could not be run: ") + QString::fromStdString(e.what()),
            QMessageBox::Ok, this);
        box.setWindowModality(Qt::ApplicationModal);
        runMessageBox(box);
        return;
    } catch (const std::exception&) {
        // Out of memory while filling: the rows added so far stay, and the count says how many.
    }
    result.lblSearchResult->setText(countCaption(list.count()));
    result.show();
    searching.hide();
    hide();
}

}  // namespace trovander
