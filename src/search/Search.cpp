#include "search/Search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <thread>
#include <vector>

#include "app/IndexStore.h"
#include "results/ResultsModel.h"

namespace trovander {

namespace {

// Below this many file rows a second thread costs more than it saves (a look-up is a few microseconds).
constexpr size_t kRowsPerThread = 4096;
// Look-ups wait on the kernel's name cache more than on the processor; more threads than cores add little.
constexpr unsigned kMaxLookupThreads = 8;

void replaceAll(std::string& text, char from, char to) { std::replace(text.begin(), text.end(), from, to); }

// Looks up the files of rows [begin, end). Rows of one folder come together, so each folder is opened
// once and its files are looked up relative to it; that skips walking the folder's path for every file.
class FolderLookup {
public:
    explicit FolderLookup(ResultRows& rows) : rows_(rows) {}
    ~FolderLookup() { closeFolder(); }
    FolderLookup(const FolderLookup&) = delete;
    FolderLookup& operator=(const FolderLookup&) = delete;

    void run(size_t begin, size_t end) {
        for (size_t row = begin; row < end; ++row) {
            if (rows_.isFile(row)) lookUp(row);
        }
    }

private:
    void lookUp(size_t row) {
        const uint32_t folder = rows_.folderIndex(row);
        if (!haveFolder_ || folder != folder_) openFolder(folder, rows_.folder(row));
        name_.assign(rows_.name(row));
        struct stat st {};
        int rc = -1;
        if (folderFd_ >= 0) {
            rc = ::fstatat(folderFd_, name_.c_str(), &st, 0);
        } else {
            // The full path: folder, separator, name; a root folder "/" gives "//name", which names the same.
            path_.assign(rows_.folder(row)).append("/").append(name_);
            rc = ::stat(path_.c_str(), &st);
        }
        // A folder where the index has a file is not the file it recorded.
        if (rc != 0 || S_ISDIR(st.st_mode)) return;
        rows_.setFound(row, static_cast<int64_t>(st.st_size), static_cast<int64_t>(st.st_mtim.tv_sec));
    }

    void openFolder(uint32_t folder, std::string_view path) {
        closeFolder();
        haveFolder_ = true;
        folder_ = folder;
        path_.assign(path);
        // O_PATH needs no read permission on the folder, only the search permission a path look-up needs too.
        folderFd_ = path_.empty() ? -1 : ::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }

    void closeFolder() {
        if (folderFd_ >= 0) ::close(folderFd_);
        folderFd_ = -1;
    }

    ResultRows& rows_;
    bool haveFolder_ = false;
    uint32_t folder_ = 0;
    int folderFd_ = -1;
    std::string name_, path_;
};

void lookUpFiles(ResultRows& rows) {
    const size_t n = rows.size();
    const unsigned cores = static_cast<unsigned>(std::max(1, QThread::idealThreadCount()));
    const size_t threads = std::clamp<size_t>(n / kRowsPerThread, 1, std::min(cores, kMaxLookupThreads));
    if (threads == 1) {
        FolderLookup(rows).run(0, n);
        return;
    }
    std::vector<std::thread> workers;
    workers.reserve(threads - 1);
    const size_t chunk = (n + threads - 1) / threads;
    for (size_t t = 1; t < threads; ++t) {
        const size_t begin = std::min(n, t * chunk), end = std::min(n, begin + chunk);
        workers.emplace_back([&rows, begin, end] { FolderLookup(rows).run(begin, end); });
    }
    FolderLookup(rows).run(0, std::min(n, chunk));
    for (std::thread& w : workers) w.join();
}

}  // namespace

std::string namePattern(std::string_view searchText) {
    std::string pattern(searchText);
    replaceAll(pattern, '*', '%');
    replaceAll(pattern, ' ', '%');
    replaceAll(pattern, '?', '%');
    return pattern;
}

RecordSet openSearch(IndexStore* store, std::string_view pattern) {
    if (!store) return {};
    try {
        return store->searchFiles(pattern);
    } catch (const std::exception&) {
        return {};
    }
}

namespace {
struct RecordColumns {
    explicit RecordColumns(const RecordSet& records)
        : name(records.columnIndex("FileName")),
          folder(records.columnIndex("Filepath")),
          type(records.columnIndex("FileType")) {}
    bool usable() const { return name >= 0 && folder >= 0; }
    // The row of record `at`, looked up later.
    void add(const RecordSet& records, size_t at, ResultRows& rows) const {
        const std::string_view fileName = records.value(at, static_cast<size_t>(name));
        const std::string_view filePath = records.value(at, static_cast<size_t>(folder));
        if (type >= 0 && records.value(at, static_cast<size_t>(type)) == "1") {
            rows.addFolder(fileName, filePath);
        } else {
            rows.addFile(fileName, filePath);
        }
    }
    int name, folder, type;
};
}  // namespace

void addResultRow(const RecordSet& records, ResultsModel& list) {
    const RecordColumns columns(records);
    if (records.AtEnd() || !columns.usable()) return;
    ResultRows rows;
    columns.add(records, records.position(), rows);
    lookUpFiles(rows);
    list.append(std::move(rows));
}

void addResultRows(RecordSet& records, ResultsModel& list) {
    records.MoveFirst();
    const int recordCount = records.RecordCount();
    if (recordCount <= 0) return;
    const RecordColumns columns(records);
    if (!columns.usable()) return;

    ResultRows rows;
    rows.reserve(static_cast<size_t>(recordCount), 0);
    for (int i = 0; i < recordCount; ++i) {
        columns.add(records, records.position(), rows);
        records.MoveNext();
    }
    lookUpFiles(rows);
    list.append(std::move(rows));
}

int runSearch(IndexStore* store, const QString& searchText, ResultsModel& list,
              const std::function<void()>& queryOpened) {
    const QByteArray text = searchText.toUtf8();
    const std::string pattern = namePattern(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    RecordSet records = openSearch(store, pattern);
    list.clear();
    if (queryOpened) queryOpened();
    addResultRows(records, list);
    return list.count();
}

void warmIndexCache(IndexStore* store) {
    // A name never holds "/", so the scan reads every page and keeps no row.
    (void)openSearch(store, "/");
}

IndexWarmUp::IndexWarmUp(IndexStore* store) {
    QTimer::singleShot(0, this, [store] { warmIndexCache(store); });
}

}  // namespace trovander
