#include "results/ResultsModel.h"

namespace trovander {

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsModel::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ResultsModel::addRow(std::string_view name, std::string_view folder, const QString& sizeText,
                          const QString& dateText) {
    const int at = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    rows_.push_back({QByteArray(name.data(), static_cast<qsizetype>(name.size())),
                     QByteArray(folder.data(), static_cast<qsizetype>(folder.size())), sizeText, dateText});
    endInsertRows();
}

QString ResultsModel::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount()) return {};
    const Row& r = rows_[static_cast<size_t>(row)];
    switch (column) {
        case NameColumn: return QString::fromUtf8(r.name);
        case FolderColumn: return QString::fromUtf8(r.folder);
        case SizeColumn: return r.size;
        case DateColumn: return r.date;
        default: return {};
    }
}

QByteArray ResultsModel::nameBytes(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)].name : QByteArray();
}
QByteArray ResultsModel::folderBytes(int row) const {
    return row >= 0 && row < rowCount() ? rows_[static_cast<size_t>(row)].folder : QByteArray();
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}
int ResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    return cellText(index.row(), index.column());
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const headers[] = {"File Name", "File Path", "Size", "Date Modified"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(headers[section]) : QVariant();
}

}  // namespace trovander
