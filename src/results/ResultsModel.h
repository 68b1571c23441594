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

namespace trovander {

// The rows of one search as they are gathered, before they go into the model in one step.
class ResultRows {
  public:
    void reserve(size_t rows, size_t bytes);
    // A file record; its size and date stay empty until setFound.
    void addFile(std::string_view name, std::string_view folder);
    // A folder record: "Folder" in the size cell, no date.
    void addFolder(std::string_view name, std::string_view folder);
    // A row whose size and date cells are given as texts.
    void addTexts(std::string_view name, std::string_view folder, const QString& sizeText,
                  const QString& dateText);

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    bool isFile(size_t row) const {
        return entries_[row].sizeBytes == kNotFound || entries_[row].sizeBytes >= 0;
    }
    std::string_view name(size_t row) const;
    std::string_view folder(size_t row) const;
    // Rows that share a folder index share the folder.
    uint32_t folderIndex(size_t row) const { return entries_[row].folder; }
    // The look-up found the file: its size in bytes and its time of last change. Rows are independent,
    // so look-ups of different rows may run on different threads.
    void setFound(size_t row, int64_t sizeBytes, int64_t modifiedSecs);

  private:
    friend class ResultsModel;
    static constexpr int64_t kNotFound = -1;
    static constexpr int64_t kFolder = -2;
    static constexpr int64_t kGivenTexts = -3;  // modifiedSecs is an index into texts_

    struct Span {
        uint64_t offset;
        uint32_t length;
    };
    struct Entry {
        uint64_t nameOffset;
        uint32_t nameLength;
        uint32_t folder;
        int64_t sizeBytes;     // >= 0 for a file found, else one of the markers above
        int64_t modifiedSecs;  // seconds since the epoch for a file found
    };

    static constexpr uint32_t kNoFolder = UINT32_MAX;
    std::string_view folderAt(uint32_t index) const;
    uint32_t folderFor(std::string_view folder);
    void rehashFolders(size_t slots);
    void add(std::string_view name, std::string_view folder, int64_t sizeBytes, int64_t modifiedSecs);

    std::string bytes_;                  // every name and folder, back to back
    std::vector<Span> folders_;          // each distinct folder once
    std::vector<uint32_t> folderSlots_;  // open-addressing table of folder indices, a power of two long
    std::vector<Entry> entries_;
    std::vector<std::pair<QString, QString>> texts_;
};

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { NameColumn = 0, FolderColumn = 1, SizeColumn = 2, DateColumn = 3, ColumnCount = 4 };

    explicit ResultsModel(QObject* parent = nullptr);

    // ListItems: clear, add a row, count.
    void clear();
    // Adds a row; name and folder are the stored bytes (shown with replacement characters where they are
    // not UTF-8, kept as they are for opening).
    void addRow(std::string_view name, std::string_view folder, const QString& sizeText,
                const QString& dateText);
    // Adds the rows of one search at once (after the rows already there).
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
