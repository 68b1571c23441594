// The results list as a model: one row per hit, four text cells (name, folder, size text or "Folder", date).
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <string_view>
#include <vector>

namespace trovander {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, FolderColumn = 1, SizeColumn = 2, DateColumn = 3, ColumnCount = 4 };

    explicit ResultsModel(QObject* parent = nullptr);

    // ListItems: clear, add a row, count.
    void clear();
    // Adds a row; name and folder are the stored bytes (shown with replacement characters where they are
    // not UTF-8, kept as they are for opening).
    void addRow(std::string_view name, std::string_view folder, const QString& sizeText, const QString& dateText);
    int count() const { return rowCount(); }

    // Cells as the list shows and sorts them.
    QString cellText(int row, int column) const;
    // The stored bytes behind the name and folder cells.
    QByteArray nameBytes(int row) const;
    QByteArray folderBytes(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        QByteArray name, folder;
        QString size, date;
    };
    std::vector<Row> rows_;
};

}  // namespace trovander
