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

// The search text as a name pattern: every "*", then every " ", then every "?" becomes "%". Nothing else
// changes, so a typed "%" or "_" keeps its meaning in the pattern.
std::string namePattern(std::string_view searchText);

// Statement 6 with the pattern bound. A query that cannot be opened (the index cannot be reached, the
// store rejects the pattern) gives an empty record set: a search never shows a message.
RecordSet openSearch(IndexStore* store, std::string_view pattern);

// Adds the row of the record set's current record, without moving the record set.
void addResultRow(const RecordSet& records, ResultsModel& list);

// Adds one row per record to the list, in record order: name, folder, and for a file its size and time of
// last change as the disk has them now (empty when the look-up fails), "Folder" for a folder record.
// Look-ups of many rows run on worker threads; the rows are in the list when this returns.
void addResultRows(RecordSet& records, ResultsModel& list);

// The part of a search between reading the text and writing the count: pattern, query, emptying the list,
// queryOpened (the waiting window appears then), the rows. Returns the number of rows in the list.
int runSearch(IndexStore* store, const QString& searchText, ResultsModel& list,
              const std::function<void()>& queryOpened = {});

// Reads the whole index once, with a pattern no name can hold, so that the engine's page cache holds the
// decrypted index before the first search. Errors are ignored: the search reports nothing either.
void warmIndexCache(IndexStore* store);

// Runs warmIndexCache once from the event loop, as soon as the loop is idle after this object is made.
class IndexWarmUp : public QObject {
public:
    explicit IndexWarmUp(IndexStore* store);
};

}  // namespace trovander
