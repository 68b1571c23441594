// The results list as a model: one row per hit, four text cells (name, folder, size text or "Folder", date).
// Rows are stored compactly (names in one byte arena, each distinct folder once, size
// and time as numbers); cell texts are made when a cell is shown or sorted.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/ResultRows.h"

namespace trovander {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn = 0, FolderColumn = 1, SizeColumn = 2, DateColumn = 3, ColumnCount = 4 };

    explicit ResultsModel(QObject* parent = nullptr);

    // ListItems: clear, add a row, count.
    void clear();
    // Adds the rows of one search at once (after the rows already there). Names and folders are the stored
    // bytes: shown with replacement characters where they are not UTF-8, kept as they are for opening.
    void append(ResultRows&& rows);
    int count() const { return rowCount(); }

    // Cells as the list shows and sorts them.
    QString cellText(int row, int column) const;
    // The stored bytes behind the name and folder cells.
    QByteArray nameBytes(int row) const;
    QByteArray folderBytes(int row) const;

    // SortKey = column, Sorted = true: orders the rows by the texts of that column, always ascending, and
    // keeps later rows in that order. Nothing turns sorting off again.
    void sortByColumn(int column);
    bool isSorted() const { return sortColumn_ >= 0; }
    int sortColumn() const { return sortColumn_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows can be dragged out as their files: text/uri-list with file: URLs that keep the names' bytes.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    // The full paths of the given view rows, in the order given, each row once.
    QList<QByteArray> fullPaths(const QList<int>& rows) const;
    // A view's sort request sorts ascending whatever order it asks for: the list has only that direction.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  private:
    size_t storedRow(int row) const { return order_.empty() ? static_cast<size_t>(row) : order_[row]; }
    QString storedText(size_t stored, int column) const;
    // The view order of all stored rows by the sort column's texts.
    std::vector<uint32_t> sortedOrder() const;

    ResultRows rows_;
    std::vector<uint32_t> order_;  // view row -> stored row while sorted
    int sortColumn_ = -1;
};

// The list's text order: letter case counts only between texts that are otherwise equal.
int compareCellTexts(const QString& a, const QString& b);

}  // namespace trovander
