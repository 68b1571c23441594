#include "results/Opener.h"

#include <cstdint>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"
#include "platform/Services.h"
#include "results/ResultsModel.h"

namespace trovander {

namespace {

const QByteArray kCommandKeySuffix = QByteArrayLiteral("\\shell\\open\\command");
const QString kFolderSizeText = QStringLiteral("Folder");

// A key's default value as text: the first count - 1 bytes that the read left, or the failed read's
// status. The key is closed either way.
struct ValueRead {
    long status;
    QByteArray text;
};

ValueRead readAndClose(AssociationStore& associations, AssociationKey key) {
    char buffer[kAssociationBufferBytes] = {};
    std::uint32_t countBytes = kAssociationBufferBytes;
    const long status = associations.readDefaultValue(key, buffer, &countBytes);
    associations.closeKey(key);
    if (status != kStatusSuccess) return {status, {}};
    // A backend that reports more than it may write is held to the buffer.
    const std::uint32_t usedBytes =
        countBytes > kAssociationBufferBytes ? kAssociationBufferBytes : countBytes;
    return {status, QByteArray(buffer, usedBytes == 0 ? 0 : static_cast<qsizetype>(usedBytes - 1))};
}

QString shown(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

}  // namespace

QByteArray GetExtension(const QByteArray& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const char c = path[i];
        if (c == '.') return path.mid(i + 1);
        if (c == folderSeparator() || c == ':') return {};
    }
    return {};
}

QByteArray FirstWord(const QByteArray& text, const QByteArray& delimiter) {
    const qsizetype position = text.indexOf(delimiter);
    if (position < 1) return text;
    QByteArray word = text.left(position);
    // Spaces only: a tab is part of the word.
    qsizetype first = 0, last = word.size();
    while (first < last && word[first] == ' ') ++first;
    while (last > first && word[last - 1] == ' ') --last;
    return word.mid(first, last - first);
}

namespace {

struct OpenCommand {
    QByteArray text;
    bool statusShown = false;  // the extension's value could not be read and its status was shown
};

OpenCommand lookUpOpenCommand(AssociationStore& associations, const QByteArray& extensionKey,
                              const ShowMessage& showMessage) {
    AssociationKey key = 0;
    if (associations.openKey(extensionKey, &key) != kStatusSuccess)
        return {QByteArray(kUnregisteredExtension) + extensionKey};
    const ValueRead fileType = readAndClose(associations, key);
    if (fileType.status != kStatusSuccess) {
        if (showMessage) showMessage(QString::number(fileType.status));
        return {{}, /*statusShown=*/true};
    }
    if (associations.openKey(fileType.text + kCommandKeySuffix, &key) != kStatusSuccess)
        return {QByteArray(kTypeNotAssociated)};
    // A command key without a readable value names no program: the buffer may still hold the file type
    // name, and that must never be started.
    const ValueRead command = readAndClose(associations, key);
    if (command.status != kStatusSuccess) return {QByteArray(kTypeNotAssociated)};
    return {command.text};
}

}  // namespace

QByteArray GetOpenCommand(AssociationStore& associations, const QByteArray& extensionKey,
                          const ShowMessage& showMessage) {
    return lookUpOpenCommand(associations, extensionKey, showMessage).text;
}

std::optional<SelectedRow> selectedRow(const ResultsModel& model, int row) {
    if (row < 0 || row >= model.rowCount()) return std::nullopt;
    return SelectedRow{model.nameBytes(row), model.folderBytes(row),
                       model.cellText(row, ResultsModel::SizeColumn)};
}

QByteArray fullPath(const QByteArray& folder, const QByteArray& name) {
    return folder + folderSeparator() + name;
}

OpenOutcome openResult(const std::optional<SelectedRow>& row, AssociationStore& associations,
                       Launcher& launcher, const ShowMessage& showMessage) {
    if (!row) return OpenOutcome::NothingSelected;
    const auto tell = [&showMessage](const QString& text) {
        if (showMessage) showMessage(text);
    };
    QString error;

    // The file manager opens on the folder that holds the found folder.
    if (row->sizeText == kFolderSizeText) {
        if (launcher.openFolder(row->folder, &error)) return OpenOutcome::FileManagerStarted;
        tell(QStringLiteral("Could not show the folder \"%1\": %2.").arg(shown(row->folder), error));
        return OpenOutcome::StartFailed;
    }

    const QByteArray path = fullPath(row->folder, row->name);
    const OpenCommand lookup = lookUpOpenCommand(associations, "." + GetExtension(path), showMessage);
    if (lookup.statusShown) return OpenOutcome::StatusShown;
    const QByteArray& command = lookup.text;
    if (command == kSelfStartingCommand) {
        if (launcher.startProgram(path, WindowStyle::MinimizedFocus, &error))
            return OpenOutcome::ProgramStarted;
        tell(QStringLiteral("Could not start \"%1\": %2.").arg(shown(path), error));
        return OpenOutcome::StartFailed;
    }
    const QByteArray firstWord = FirstWord(command, " ");
    if (firstWord == "Unregistered" || firstWord == "File") return OpenOutcome::NotAssociated;
    if (launcher.startCommand(command, path, WindowStyle::MinimizedFocus, &error))
        return OpenOutcome::CommandStarted;
    tell(QStringLiteral(
             "Could not open \"%1\": %2. Check which program your desktop opens this file type with.")
             .arg(shown(path), error));
    return OpenOutcome::StartFailed;
}

SystemOpening::SystemOpening(Services& services)
    : services_(services),
      associations_(makeSystemAssociationStore()),
      launcher_(makeSystemLauncher(*associations_)) {
    services.associations = associations_.get();
    services.launcher = launcher_.get();
}

SystemOpening::~SystemOpening() {
    services_.associations = nullptr;
    services_.launcher = nullptr;
}

}  // namespace trovander
