// One search: the name pattern, the query over the index, the look-up of every file found, the rows.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "search/ResultRows.h"

namespace trovander {

class IndexStore;

// The search text as a name pattern: every "*", then every " ", then every "?" becomes "%". Nothing else
// changes, so a typed "%" or "_" keeps its meaning in the pattern.
std::string namePattern(std::string_view searchText);

// Statement 6 with the pattern bound, read to its end into compact rows (name, folder, file or folder).
// When the query cannot be run (the index is locked or damaged, the file fails part-way) the rows are
// emptied and the StoreError goes to the caller, so that a failed search is never taken for one without
// hits. Without a store there is nothing to read and no rows.
void readSearch(IndexStore* store, std::string_view pattern, ResultRows& rows);

// The look-up of every file row: its size and time of last change as the disk has them now; a file that
// is not there keeps empty cells. Look-ups of many rows run on worker threads; all are done on return.
void lookUpFiles(ResultRows& rows);

// One search in its two slow steps, so that whoever shows it can empty the list and show the waiting
// window between them: the query (which may fail), then the look-ups (which skip what fails).
class SearchRun {
  public:
    // OffThread: both steps on a worker while this thread's event loop runs.
    enum class Where { Here, OffThread };
    SearchRun(IndexStore* store, const QString& searchText, Where where = Where::Here);
    // The query, then queryDone on this thread, then the look-ups; the rows, given away. A query that
    // fails throws its StoreError before queryDone. Off the thread, both steps go in one hand-over, so a
    // quick search does not wait twice for a worker and the window thread to meet.
    ResultRows queryAndLookUp(const std::function<void()>& queryDone);

  private:
    IndexStore* store_;
    std::string pattern_;
    Where where_;
    ResultRows rows_;
};

// Has the store read every name into memory in the background once the window that owns this is made,
// so that searches are answered from there; the window thread never waits for it.
class IndexWarmUp {
  public:
    explicit IndexWarmUp(IndexStore* store);
    // The read has ended (or there is no store): searches from now on go to the names in memory.
    bool done() const;

  private:
    IndexStore* store_;
};

}  // namespace trovander
