#include "support/Fixtures.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QtGlobal>
#include <filesystem>
#include <stdexcept>

#include "platform/DriveProbe.h"
#include "platform/FolderReader.h"
#include "results/ResultsModel.h"
#include "search/Search.h"

namespace trovander::testing {

TempTree::TempTree() {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    root_ = dir_.path().toStdString();
}

TempTree::~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string TempTree::path(std::string_view relative) const { return root_ + "/" + std::string(relative); }

std::string TempTree::folder(std::string_view relative) {
    std::string full = root_;
    std::string rel(relative);
    size_t start = 0;
    while (start <= rel.size()) {
        size_t slash = rel.find('/', start);
        if (slash == std::string::npos) slash = rel.size();
        full += "/" + rel.substr(start, slash - start);
        ::mkdir(full.c_str(), 0755);
        start = slash + 1;
    }
    return full;
}

std::string TempTree::file(std::string_view relative, std::string_view content) {
    const std::string rel(relative);
    const size_t slash = rel.rfind('/');
    if (slash != std::string::npos) folder(rel.substr(0, slash));
    const std::string full = path(rel);
    const int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + full);
    if (!content.empty() &&
        ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
        throw std::runtime_error("cannot write " + full);
    ::close(fd);
    return full;
}

TempIndex::TempIndex() {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    path_ = dir_.filePath(QStringLiteral("Main.mdb")).toStdString();
    IndexStore::createEmpty(path_);
    store_ = IndexStore::open(path_);
}

void TempIndex::reopen() {
    store_.reset();
    store_ = IndexStore::open(path_);
}

std::vector<std::tuple<std::string, std::string, std::string>> TempIndex::records() {
    const ResultRows rows = searchRows(*store_, "");
    std::vector<std::tuple<std::string, std::string, std::string>> out;
    for (size_t i = 0; i < rows.size(); ++i)
        out.emplace_back(rows.folder(i), rows.name(i), rows.isFile(i) ? "0" : "1");
    return out;
}

std::vector<std::string> TempIndex::stamps() {
    RecordSet rs = store_->selectStamps();
    std::vector<std::string> out;
    const int dated = rs.columnIndex("dated");
    for (size_t row = 0; dated >= 0 && row < rs.rowCount(); ++row)
        out.emplace_back(rs.value(row, static_cast<size_t>(dated)));
    return out;
}

QByteArray fileBytes(const std::string& path) {
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFileBytes(const std::string& path, const QByteArray& content) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        throw std::runtime_error("cannot write " + path);
}

void damageMiddle(const std::string& path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadWrite) || !f.seek(f.size() / 2) || f.write("\xde\xad\xbe\xef", 4) != 4)
        throw std::runtime_error("cannot damage " + path);
}

size_t makeDeepTree(const std::string& root, int depth, int siblings) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) throw std::runtime_error("cannot open " + root);
    size_t made = 0;
    for (int level = 0; level < depth; ++level) {
        const std::string down = "d" + std::to_string(level);
        bool ok = ::mkdirat(fd, down.c_str(), 0755) == 0;
        for (int k = 0; ok && k < siblings; ++k)
            ok = ::mkdirat(fd, ("s" + std::to_string(level) + "_" + std::to_string(k)).c_str(), 0755) == 0;
        const int next = ok ? ::openat(fd, down.c_str(), O_RDONLY | O_DIRECTORY) : -1;
        ::close(fd);
        if (next < 0) throw std::runtime_error("cannot make a deep tree in " + root);
        fd = next;
        made += size_t(1 + siblings);
    }
    ::close(fd);
    return made;
}

void removeDeepTree(const std::string& root) {
    // rm walks by handle, so the chain's depth is no limit to it.
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), QString::fromStdString(root + "/d0")});
}

std::string toolPath(const std::string& tool) {
    const QByteArray dir = qgetenv("TROVANDER_TOOLS");
    return (dir.isEmpty() ? std::string("tools") : dir.toStdString()) + "/" + tool;
}

int runTool(const std::string& tool, const std::vector<std::string>& args, std::string* output,
            int openFileLimit) {
    QProcess p;
    if (openFileLimit > 0)
        p.setChildProcessModifier([openFileLimit] {
            const struct rlimit limit = {rlim_t(openFileLimit), rlim_t(openFileLimit)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        });
    QStringList list;
    for (const auto& a : args) list << QString::fromLocal8Bit(a.data(), static_cast<int>(a.size()));
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromStdString(toolPath(tool)), list);
    if (!p.waitForStarted()) return -1;
    p.waitForFinished(600000);
    if (output) *output = p.readAll().toStdString();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

IndexBuilder::Counts rebuildOver(IndexStore& store, const std::vector<std::string>& roots,
                                 FolderReader* reader, RebuildReport* report) {
    const std::unique_ptr<DriveProbe> drives = makeListDriveProbe(roots);
    std::unique_ptr<FolderReader> system;
    if (!reader) {
        system = makeSystemFolderReader();
        reader = system.get();
    }
    RebuildReport quiet;
    Rebuild rebuild(store, *drives, *reader, [] { return QDateTime::currentDateTime(); });
    rebuild.run(report ? *report : quiet);
    return rebuild.counts();
}

ResultRows searchRows(IndexStore& store, std::string_view pattern) {
    ResultRows rows;
    readSearch(&store, pattern, rows);
    return rows;
}

void appendFound(ResultsModel& list, std::string_view name, std::string_view folder, int64_t sizeBytes,
                 int64_t modifiedSecs) {
    ResultRows rows;
    rows.addFile(name, folder);
    rows.setFound(0, sizeBytes, modifiedSecs);
    list.append(std::move(rows));
}

void appendFolder(ResultsModel& list, std::string_view name, std::string_view folder) {
    ResultRows rows;
    rows.addFolder(name, folder);
    list.append(std::move(rows));
}

}  // namespace trovander::testing
