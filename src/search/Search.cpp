#include "search/Search.h"

#include <QEventLoop>
#include <QThread>
#include <algorithm>
#include <exception>
#include <future>
#include <thread>
#include <vector>

#include "platform/FileInfo.h"
#include "store/IndexStore.h"
#include "store/RecordSet.h"
#include "store/Sqlite.h"

namespace trovander {

namespace {

// Below this many file rows a second thread costs more than it saves (a look-up is a few microseconds).
constexpr size_t kRowsPerThread = 4096;
// A look-up is processor work in the kernel, so threads beyond the cores gain nothing.
constexpr unsigned kMaxLookupThreads = 8;

void replaceAll(std::string& text, char from, char to) { std::replace(text.begin(), text.end(), from, to); }

// Looks up the files of rows [begin, end). Rows of one folder come together, so each folder is opened
// once and its files are looked up relative to it; that skips walking the folder's path for every file.
class FolderLookup {
  public:
    explicit FolderLookup(ResultRows& rows) : rows_(rows) {}
    FolderLookup(const FolderLookup&) = delete;
    FolderLookup& operator=(const FolderLookup&) = delete;

    void run(size_t begin, size_t end) {
        for (size_t row = begin; row < end; ++row) {
            if (rows_.isFile(row)) lookUp(row, end);
        }
    }

  private:
    void lookUp(size_t row, size_t end) {
        const uint32_t folder = rows_.folderIndex(row);
        if (!haveFolder_ || folder != folder_) {
            // Entering the folder costs two calls more than one look-up by path: it pays only when the next
            // file is in the same folder.
            const bool run = row + 1 < end && rows_.folderIndex(row + 1) == folder && rows_.isFile(row + 1);
            if (run) {
                files_.enterFolder(rows_.folder(row));
                haveFolder_ = true;
                folder_ = folder;
            } else {
                files_.leaveFolder();
                haveFolder_ = false;
            }
        }
        FileFacts facts;
        if (files_.lookUp(rows_.folder(row), rows_.name(row), facts))
            rows_.setFound(row, facts.sizeBytes, facts.modifiedSecs);
    }

    ResultRows& rows_;
    FileInfo files_;
    bool haveFolder_ = false;
    uint32_t folder_ = 0;
};

}  // namespace

std::string namePattern(std::string_view searchText) {
    std::string pattern(searchText);
    replaceAll(pattern, '*', '%');
    replaceAll(pattern, ' ', '%');
    replaceAll(pattern, '?', '%');
    return pattern;
}

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

namespace {
// A record becomes a row: "1" in FileType marks a folder, anything else is a file.
void addRecord(std::string_view fileName, std::string_view filePath, std::string_view fileType,
               ResultRows& rows) {
    if (fileType == "1") {
        rows.addFolder(fileName, filePath);
    } else {
        rows.addFile(fileName, filePath);
    }
}

// Fields are read by name in any letter case, so "Filepath" reads FilePath; -1 when there is none.
int columnOf(const Statement& row, std::string_view name) {
    for (int c = 0; c < row.columnCount(); ++c) {
        const std::string_view col = row.columnName(c);
        if (sameColumnName(col, name)) return c;
    }
    return -1;
}

}  // namespace

void readSearch(IndexStore* store, std::string_view pattern, ResultRows& rows) {
    if (!store) return;
    try {
        int name = -1, folder = -1, type = -1;
        bool first = true;
        store->searchFilesEach(pattern, [&](const Statement& row) {
            if (first) {
                name = columnOf(row, "FileName");
                folder = columnOf(row, "Filepath");
                type = columnOf(row, "FileType");
                first = false;
            }
            addRecord(name < 0 ? std::string_view() : row.columnText(name),
                      folder < 0 ? std::string_view() : row.columnText(folder),
                      type < 0 ? std::string_view() : row.columnText(type), rows);
        });
    } catch (...) {
        // All or nothing, as with a record set that cannot be opened: the rows read so far go too.
        rows = ResultRows();
        throw;
    }
}

SearchRun::SearchRun(IndexStore* store, const QString& searchText, Where where)
    : store_(store), where_(where) {
    const QByteArray text = searchText.toUtf8();
    pattern_ = namePattern(std::string_view(text.constData(), static_cast<size_t>(text.size())));
}

namespace {
// Runs work on a thread of its own while this thread's event loop keeps running (a waiting window is
// painted, timers fire); rethrows what work threw. Needs a running application.
void whileEventLoopRuns(const std::function<void()>& work) {
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure) std::rethrow_exception(failure);
}
}  // namespace

ResultRows SearchRun::queryAndLookUp(const std::function<void()>& queryDone) {
    if (where_ == Where::Here) {
        readSearch(store_, pattern_, rows_);
        queryDone();
        lookUpFiles(rows_);
        return std::move(rows_);
    }
    QObject here;  // queryDone runs where this lives: on this thread
    whileEventLoopRuns([&] {
        readSearch(store_, pattern_, rows_);
        // The look-ups wait for queryDone, as they would in steps of their own: emptying a long list and
        // painting the waiting window would otherwise take cores from them.
        std::promise<void> shown;
        QMetaObject::invokeMethod(
            &here,
            [&] {
                queryDone();
                shown.set_value();
            },
            Qt::QueuedConnection);
        shown.get_future().wait();
        lookUpFiles(rows_);
    });
    return std::move(rows_);
}

IndexWarmUp::IndexWarmUp(IndexStore* store) : store_(store) {
    if (store_) store_->loadNames();
}

bool IndexWarmUp::done() const { return !store_ || store_->namesLoaded(); }

}  // namespace trovander
