#include "ui/StartUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include "ui/MessagePlacement.h"

namespace trovander {

namespace {
constexpr const char* kDataFolderName = "trovander";

QString explain(const StoreError& e) {
    return QString::fromStdString(describeFault(e.fault(), e.path())) +
           (e.detail().empty() ? QString()
                               : QStringLiteral("\n\nDetail: ") + QString::fromStdString(e.detail()));
}

bool isInstalledCopy(const QDir& programDir) {
    return QFileInfo::exists(
        programDir.absoluteFilePath(QStringLiteral("../share/applications/trovander.desktop")));
}
}  // namespace

void showStartUpError(const QString& text) {
    PlacedMessageBox box(QMessageBox::Critical, QStringLiteral("Trovander"), text, QMessageBox::Ok);
    box.exec();
}

IndexLocation locateIndex(const QString& programDir, const QString& dataDir) {
    const QString name = QString::fromUtf8(kDatabaseFileName.data(), kDatabaseFileName.size());
    const QDir program(programDir);
    const QFileInfo folder(program.absolutePath());
    if (folder.isDir() && folder.isWritable() && !isInstalledCopy(program))
        return {program.absoluteFilePath(name).toStdString(), false};
    return {QDir(dataDir)
                .absoluteFilePath(QString::fromLatin1(kDataFolderName) + QLatin1Char('/') + name)
                .toStdString(),
            true};
}

IndexLocation locateIndex() {
    return locateIndex(QCoreApplication::applicationDirPath(),
                       QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

std::unique_ptr<IndexStore> openIndexOrExplain(const std::string& path,
                                               const std::function<void(const QString&)>& showError) {
    try {
        return IndexStore::open(path);
    } catch (const StoreError& e) {
        showError(explain(e));
        return nullptr;
    }
}

std::unique_ptr<IndexStore> openIndexOrExplain(const IndexLocation& location,
                                               const std::function<void(const QString&)>& showError) {
    if (location.inUserData) {
        const QString path = QFile::decodeName(location.path.c_str());
        const QFileInfo file(path);
        // Only a name with nothing there is made: a folder, a dangling link or a foreign file is reported by
        // the open below, never replaced.
        if (!file.exists() && !file.isSymLink()) {
            if (!QDir().mkpath(file.absolutePath())) {
                showError(
                    QStringLiteral("The index database %1 cannot be made: its folder %2 cannot be created; "
                                   "check that you may write in %3.")
                        .arg(path, file.absolutePath(), QFileInfo(file.absolutePath()).absolutePath()));
                return nullptr;
            }
            try {
                IndexStore::createEmpty(location.path);
            } catch (const StoreError& e) {
                showError(QStringLiteral("The index database %1 cannot be made: ").arg(path) + explain(e));
                return nullptr;
            }
        }
    }
    return openIndexOrExplain(location.path, showError);
}

}  // namespace trovander
