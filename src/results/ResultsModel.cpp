#include "results/ResultsModel.h"

#include <QMimeData>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "platform/Launcher.h"
#include "results/CellText.h"
#include "results/Opener.h"

namespace trovander {

namespace {
const QString& folderText() {
    static const QString text = QStringLiteral("Folder");
    return text;
}
QString fromBytes(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
}  // namespace

int compareCellTexts(const QString& a, const QString& b) {
    const int folded = QString::compare(a.toCaseFolded(), b.toCaseFolded(), Qt::CaseSensitive);
    return folded != 0 ? folded : QString::compare(a, b, Qt::CaseSensitive);
}

ResultsModel::ResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ResultsModel::clear() {
    beginResetModel();
    rows_ = ResultRows();
    order_.clear();
    order_.shrink_to_fit();
    endResetModel();
}

void ResultsModel::append(ResultRows&& rows) {
    if (rows.empty()) return;
    const bool sorted = isSorted();
    const int first = count();
    if (sorted) {
        beginResetModel();
    } else {
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
    }
    if (rows_.empty()) {
        rows_ = std::move(rows);
    } else {
        const uint64_t byteBase = rows_.bytes_.size();
        const auto folderBase = static_cast<uint32_t>(rows_.folders_.size());
        rows_.bytes_.append(rows.bytes_);
        for (ResultRows::Span f : rows.folders_) rows_.folders_.push_back({f.offset + byteBase, f.length});
        rows_.folderSlots_.clear();  // rebuilt when the next row is added
        for (ResultRows::Entry e : rows.entries_) {
            e.nameOffset += byteBase;
            e.folder += folderBase;
            rows_.entries_.push_back(e);
        }
    }
    if (sorted) {
        order_ = sortedOrder();
        endResetModel();
    } else {
        endInsertRows();
    }
}

QString ResultsModel::storedText(size_t stored, int column) const {
    const ResultRows::Entry& e = rows_.entries_[stored];
    switch (column) {
        case NameColumn:
            return fromBytes(rows_.name(stored));
        case FolderColumn:
            return fromBytes(rows_.folder(stored));
        case SizeColumn:
            if (e.sizeBytes >= 0) return advFileLen(static_cast<double>(e.sizeBytes));
            if (e.sizeBytes == ResultRows::kFolder) return folderText();
            return {};
        case DateColumn:
            if (e.sizeBytes >= 0) return DateText().formatSecs(e.modifiedSecs);
            return {};
        default:
            return {};
    }
}

QString ResultsModel::cellText(int row, int column) const {
    if (row < 0 || row >= rowCount()) return {};
    return storedText(storedRow(row), column);
}

QByteArray ResultsModel::nameBytes(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    const std::string_view name = rows_.name(storedRow(row));
    return QByteArray(name.data(), static_cast<qsizetype>(name.size()));
}

QByteArray ResultsModel::folderBytes(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    const std::string_view folder = rows_.folder(storedRow(row));
    return QByteArray(folder.data(), static_cast<qsizetype>(folder.size()));
}

namespace {

// Sort keys of many texts, folded once: each text's case-folded UTF-16 units and, where folding changed
// them, its own units, all in one buffer. Comparing units as unsigned numbers is QString::compare's
// case-sensitive order, so the order is compareCellTexts' without a QString per comparison.
class SortKeys {
  public:
    void reserve(size_t texts, size_t units) {
        keys_.reserve(texts);
        units_.reserve(units);
    }
    // UTF-8 bytes (stored names and folders); ASCII is folded here without a QString.
    void addBytes(std::string_view bytes) {
        const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
        if (!ascii) {
            addText(fromBytes(bytes));
            return;
        }
        Key k{};
        k.folded = static_cast<uint32_t>(units_.size());
        k.length = static_cast<uint32_t>(bytes.size());
        bool changed = false;
        for (char c : bytes) {
            const auto u = static_cast<char16_t>(static_cast<unsigned char>(c));
            const char16_t f = (u >= 'A' && u <= 'Z') ? static_cast<char16_t>(u + 32) : u;
            changed |= f != u;
            units_.push_back(f);
        }
        k.own = k.folded;
        if (changed) {
            k.own = static_cast<uint32_t>(units_.size());
            for (char c : bytes) units_.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
        }
        push(k);
    }
    void addText(const QString& text) {
        const QString folded = text.toCaseFolded();
        Key k{};
        k.folded = static_cast<uint32_t>(units_.size());
        k.length = static_cast<uint32_t>(folded.size());
        k.ownLength = static_cast<uint32_t>(text.size());
        units_.insert(units_.end(), folded.utf16(), folded.utf16() + folded.size());
        k.own = k.folded;
        if (folded != text) {
            k.own = static_cast<uint32_t>(units_.size());
            units_.insert(units_.end(), text.utf16(), text.utf16() + text.size());
        }
        keys_.push_back(k);
        setPrefix(keys_.back());
    }
    size_t size() const { return keys_.size(); }

    bool less(uint32_t a, uint32_t b) const {
        const Key &ka = keys_[a], &kb = keys_[b];
        if (ka.prefix != kb.prefix) return ka.prefix < kb.prefix;
        const int byFolded = std::u16string_view(units_.data() + ka.folded, ka.length)
                                 .compare(std::u16string_view(units_.data() + kb.folded, kb.length));
        if (byFolded != 0) return byFolded < 0;
        return std::u16string_view(units_.data() + ka.own, ka.ownLength)
                   .compare(std::u16string_view(units_.data() + kb.own, kb.ownLength)) < 0;
    }

  private:
    struct Key {
        uint64_t prefix;  // the first four folded units, so that most comparisons touch no buffer
        uint32_t folded, length, own, ownLength;
    };
    void push(Key k) {
        k.ownLength = k.length;
        keys_.push_back(k);
        setPrefix(keys_.back());
    }
    void setPrefix(Key& k) const {
        uint64_t p = 0;
        for (uint32_t i = 0; i < 4; ++i) p = (p << 16) | (i < k.length ? units_[k.folded + i] : 0);
        k.prefix = p;
    }
    std::vector<Key> keys_;
    std::vector<char16_t> units_;
};

// The distinct texts in order, on as many threads as pay: two sorted halves, then one merge.
std::vector<uint32_t> orderOf(const SortKeys& keys) {
    std::vector<uint32_t> byText(keys.size());
    std::iota(byText.begin(), byText.end(), 0u);
    auto less = [&keys](uint32_t a, uint32_t b) { return keys.less(a, b); };
    constexpr size_t kTextsPerThread = 65536;
    if (byText.size() < 2 * kTextsPerThread || std::thread::hardware_concurrency() < 2) {
        std::sort(byText.begin(), byText.end(), less);
        return byText;
    }
    const auto middle = byText.begin() + static_cast<std::ptrdiff_t>(byText.size() / 2);
    std::thread lower([&] { std::sort(byText.begin(), middle, less); });
    std::sort(middle, byText.end(), less);
    lower.join();
    std::inplace_merge(byText.begin(), middle, byText.end(), less);
    return byText;
}

}  // namespace

std::vector<uint32_t> ResultsModel::sortedOrder() const {
    const size_t n = rows_.size();
    // Each row gets the id of its cell text; rows with the same size, time or folder share one text, so
    // only the distinct texts are made and compared.
    SortKeys keys;
    std::vector<uint32_t> textOf(n);
    auto newText = [&](const QString& t) {
        keys.addText(t);
        return static_cast<uint32_t>(keys.size() - 1);
    };
    if (sortColumn_ == NameColumn) {
        keys.reserve(n, rows_.bytes_.size());
        for (size_t i = 0; i < n; ++i) {
            keys.addBytes(rows_.name(i));
            textOf[i] = static_cast<uint32_t>(i);
        }
    } else if (sortColumn_ == FolderColumn) {
        keys.reserve(rows_.folders_.size(), 0);
        for (uint32_t f = 0; f < rows_.folders_.size(); ++f) keys.addBytes(rows_.folderAt(f));
        for (size_t i = 0; i < n; ++i) textOf[i] = rows_.entries_[i].folder;
    } else {
        const bool size = sortColumn_ == SizeColumn;
        const DateText dates;
        const uint32_t empty = newText(QString());
        const uint32_t folder = size ? newText(folderText()) : empty;
        std::unordered_map<int64_t, uint32_t> byValue;
        for (size_t i = 0; i < n; ++i) {
            const ResultRows::Entry& e = rows_.entries_[i];
            if (e.sizeBytes >= 0) {
                const int64_t value = size ? e.sizeBytes : e.modifiedSecs;
                auto [it, fresh] = byValue.try_emplace(value, 0);
                if (fresh)
                    it->second =
                        newText(size ? advFileLen(static_cast<double>(value)) : dates.formatSecs(value));
                textOf[i] = it->second;
            } else {
                textOf[i] = e.sizeBytes == ResultRows::kFolder ? folder : empty;
            }
        }
    }

    // Rank the distinct texts; equal texts share a rank.
    const std::vector<uint32_t> byText = orderOf(keys);
    std::vector<uint32_t> rank(keys.size());
    uint32_t ranks = 0;
    for (size_t k = 0; k < byText.size(); ++k) {
        if (k > 0 && keys.less(byText[k - 1], byText[k])) ++ranks;
        rank[byText[k]] = ranks;
    }

    // A counting sort by rank is stable: rows with equal texts keep the order in which they came.
    std::vector<uint32_t> start(static_cast<size_t>(ranks) + 2, 0);
    for (size_t i = 0; i < n; ++i) ++start[rank[textOf[i]] + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i) order[start[rank[textOf[i]]]++] = static_cast<uint32_t>(i);
    return order;
}

void ResultsModel::sortByColumn(int column) {
    if (column < 0 || column >= ColumnCount) return;
    sortColumn_ = column;
    if (rows_.empty()) return;

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<size_t> storedBefore;
    storedBefore.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before) storedBefore.push_back(storedRow(index.row()));

    order_ = sortedOrder();

    if (!before.isEmpty()) {
        std::vector<uint32_t> viewOf(order_.size());
        for (size_t v = 0; v < order_.size(); ++v) viewOf[order_[v]] = static_cast<uint32_t>(v);
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype k = 0; k < before.size(); ++k)
            after.push_back(
                index(static_cast<int>(viewOf[storedBefore[static_cast<size_t>(k)]]), before[k].column()));
        changePersistentIndexList(before, after);
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ResultsModel::sort(int column, Qt::SortOrder) { sortByColumn(column); }

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.model() != this || role != Qt::DisplayRole) return {};
    return cellText(index.row(), index.column());
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid()) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList ResultsModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QList<QByteArray> ResultsModel::fullPaths(const QList<int>& rows) const {
    QList<QByteArray> paths;
    QSet<int> seen;
    for (const int row : rows) {
        if (row < 0 || row >= rowCount() || seen.contains(row)) continue;
        seen.insert(row);
        paths.append(fullPath(folderBytes(row), nameBytes(row)));
    }
    return paths;
}

QMimeData* ResultsModel::mimeData(const QModelIndexList& indexes) const {
    QList<int> rows;
    for (const QModelIndex& index : indexes) rows.append(index.row());
    const QList<QByteArray> paths = fullPaths(rows);
    if (paths.isEmpty()) return nullptr;
    // Written as bytes, not through QUrl, so that a name that is not UTF-8 keeps its bytes.
    QByteArray list;
    for (const QByteArray& path : paths) list += fileUrl(path) + "\r\n";
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), list);
    return data;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const headers[] = {"File Name", "File Path", "Size", "Date Modified"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(headers[section]) : QVariant();
}

}  // namespace trovander
