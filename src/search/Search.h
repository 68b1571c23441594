// One search: the name pattern, the query over the index, the look-up of every file found, the rows.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

#include "app/RecordSet.h"

namespace trovander {

class IndexStore;
class ResultsModel;
class ResultRows;

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

// Adds the row of the record set's current record, looked up, without moving the record set.
void addResultRow(const RecordSet& records, ResultsModel& list);

// The part of a search between reading the text and writing the count: the pattern, the query, emptying
// the list, queryOpened (the waiting window appears then), the rows. Returns the number of rows in the list.
// A query that fails throws its StoreError before the list is touched.
int runSearch(IndexStore* store, const QString& searchText, ResultsModel& list,
              const std::function<void()>& queryOpened = {});

// As runSearch, with the query and the look-ups on worker threads while the calling thread's event loop
// keeps running (the waiting window is painted, timers fire); returns when the list is filled. Needs a
// running application; the caller keeps other work off the store until it returns.
int runSearchOffThread(IndexStore* store, const QString& searchText, ResultsModel& list,
                       const std::function<void()>& queryOpened = {});

// Reads the index into the page cache from the event loop once it is idle after this object is made, a
// slice of entries at a time, so that the window thread is never held for long. While paused (a search
// is using the store) no slice runs. Errors end the warm-up: the first search meets them and says so.
class IndexWarmUp : public QObject {
  public:
    explicit IndexWarmUp(IndexStore* store);
    void setPaused(bool paused) { paused_ = paused; }
    bool done() const { return next_ == 0; }

  private:
    void slice();

    IndexStore* store_;
    int64_t next_ = 1;  // the next rowid to read; 0 when done
    bool paused_ = false;
};

}  // namespace trovander
