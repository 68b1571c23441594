// The rows of one query, read to the end when opened, so that the row count is exact before the first row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trovander {

class Statement;

// Column names compare without regard to the letter case of A to Z ("Filepath" is FilePath), as the
// engine's own names do.
bool sameColumnName(std::string_view a, std::string_view b);

class RecordSet {
  public:
    RecordSet() = default;
    // Steps the statement to its end. Throws StoreError when the engine fails part-way.
    static RecordSet readAll(Statement& stmt);

    size_t rowCount() const { return columns_.empty() ? 0 : offsets_.size() / columns_.size(); }
    size_t columnCount() const { return columns_.size(); }

    // Column index by name in any letter case ("dated", "Filepath"); -1 when there is none.
    int columnIndex(std::string_view name) const;
    // Value by row and column; empty off the end.
    std::string_view value(size_t row, size_t col) const;

  private:
    std::vector<std::string> columns_;
    std::string bytes_;              // every value, back to back
    std::vector<uint64_t> offsets_;  // start of each value; the next start (or the end) closes it
};

}  // namespace trovander
