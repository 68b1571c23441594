#include "store/RecordSet.h"

#include <algorithm>

#include "store/Sqlite.h"

namespace trovander {

RecordSet RecordSet::readAll(Statement& stmt) {
    RecordSet set;
    const int cols = stmt.columnCount();
    for (int c = 0; c < cols; ++c) set.columns_.emplace_back(stmt.columnName(c));
    while (stmt.step()) {
        for (int c = 0; c < cols; ++c) {
            set.offsets_.push_back(set.bytes_.size());
            set.bytes_.append(stmt.columnText(c));
        }
    }
    set.bytes_.shrink_to_fit();
    set.offsets_.shrink_to_fit();
    return set;
}

bool sameColumnName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

int RecordSet::columnIndex(std::string_view name) const {
    for (size_t c = 0; c < columns_.size(); ++c) {
        if (sameColumnName(columns_[c], name)) return static_cast<int>(c);
    }
    return -1;
}

std::string_view RecordSet::value(size_t row, size_t col) const {
    const size_t i = row * columns_.size() + col;
    if (col >= columns_.size() || i >= offsets_.size()) return {};
    const uint64_t start = offsets_[i];
    const uint64_t end = i + 1 < offsets_.size() ? offsets_[i + 1] : bytes_.size();
    return std::string_view(bytes_).substr(start, end - start);
}

}  // namespace trovander
