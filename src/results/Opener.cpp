#include "results/Opener.h"

#include <cstdint>

#include "platform/AssociationStore.h"
#include "platform/FolderSeparator.h"
#include "platform/Launcher.h"
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

// A value of any length: when it does not fit, the read is made again with the size the store reports.
ValueRead readAndClose(AssociationStore& associations, AssociationKey key) {
    QByteArray buffer(kAssociationBufferBytes, '\0');
    std::uint32_t countBytes = kAssociationBufferBytes;
    long status = associations.readDefaultValue(key, buffer.data(), &countBytes);
    // A value that grows between two reads is asked for again, a few times at most.
    for (int attempt = 0; status == kStatusMoreData && countBytes > buffer.size() && attempt < 4; ++attempt) {
        buffer = QByteArray(static_cast<qsizetype>(countBytes), '\0');
        status = associations.readDefaultValue(key, buffer.data(), &countBytes);
    }
    associations.closeKey(key);
    if (status != kStatusSuccess) return {status, {}};
    // A backend that reports more than it may write is held to the buffer.
    const std::uint32_t usedBytes = countBytes > static_cast<std::uint32_t>(buffer.size())
                                        ? static_cast<std::uint32_t>(buffer.size())
                                        : countBytes;
    return {status, buffer.left(usedBytes == 0 ? 0 : static_cast<qsizetype>(usedBytes - 1))};
}

QString shown(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

}  // namespace

QByteArray GetExtension(const QByteArray& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const char c = path[i];
        if (c == '.') return path.mid(i + 1);
        if (c == kFolderSeparator || c == ':') return {};
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
    const long commandStatus = associations.openKey(fileType.text + kCommandKeySuffix, &key);
    if (commandStatus == kStatusUnsafeCommand) return {QByteArray(kTypeProgramPassedOver)};
    if (commandStatus != kStatusSuccess) return {QByteArray(kTypeNotAssociated)};
    // A command key without a readable value names no program: the buffer may still hold the file type
    // name, and that must never be started.
    const ValueRead command = readAndClose(associations, key);
    if (command.status != kStatusSuccess) return {QByteArray(kTypeNotAssociated)};
    return {command.text};
}

bool namesNoProgram(const QByteArray& command) {
    const QByteArray firstWord = FirstWord(command, " ");
    return firstWord == "Unregistered" || firstWord == "File";
}

}  // namespace

QByteArray GetOpenCommand(AssociationStore& associations, const QByteArray& extensionKey,
                          const ShowMessage& showMessage) {
    return lookUpOpenCommand(associations, extensionKey, showMessage).text;
}

namespace {

// The extension's command; where the extension names no program, the command of the file's content
// type. When neither names one, the extension's own text stays the answer.
OpenCommand openCommandForFile(AssociationStore& associations, const QByteArray& path,
                               const ShowMessage& showMessage) {
    OpenCommand lookup = lookUpOpenCommand(associations, "." + GetExtension(path), showMessage);
    if (lookup.statusShown || !namesNoProgram(lookup.text)) return lookup;
    const QByteArray type = associations.contentType(path);
    if (type.isEmpty()) return lookup;
    AssociationKey key = 0;
    const long status = associations.openKey(type + kCommandKeySuffix, &key);
    if (status == kStatusUnsafeCommand) return {QByteArray(kTypeProgramPassedOver)};
    if (status != kStatusSuccess) return lookup;
    const ValueRead command = readAndClose(associations, key);
    if (command.status != kStatusSuccess || namesNoProgram(command.text)) return lookup;
    return {command.text};
}

QString goneText(const QByteArray& path) {
    return QStringLiteral(
               "\"%1\" is no longer there: it was moved or deleted after the index was built. Scan again "
               "to bring the index up to date.")
        .arg(shown(path));
}

}  // namespace

QByteArray openCommandFor(AssociationStore& associations, const QByteArray& path,
                          const ShowMessage& showMessage) {
    return openCommandForFile(associations, path, showMessage).text;
}

OpenOutcome showContainingFolder(const std::optional<SelectedRow>& row, Launcher& launcher,
                                 const ShowMessage& showMessage) {
    if (!row) return OpenOutcome::NothingSelected;
    const QByteArray path = fullPath(row->folder, row->name);
    if (!launcher.exists(path)) {
        if (showMessage) showMessage(goneText(path));
        return OpenOutcome::FileGone;
    }
    QString error;
    if (launcher.showInFolder(path, &error)) return OpenOutcome::FileManagerStarted;
    if (showMessage)
        showMessage(
            QStringLiteral("Could not show the folder \"%1\": %2.").arg(shown(parentFolder(path)), error));
    return OpenOutcome::StartFailed;
}

std::optional<SelectedRow> selectedRow(const ResultsModel& model, int row) {
    if (row < 0 || row >= model.rowCount()) return std::nullopt;
    return SelectedRow{model.nameBytes(row), model.folderBytes(row),
                       model.cellText(row, ResultsModel::SizeColumn)};
}

QByteArray fullPath(const QByteArray& folder, const QByteArray& name) {
    return folder + kFolderSeparator + name;
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
    // An index outlives the files it names: a file deleted since is not handed to any program.
    if (!launcher.exists(path)) {
        tell(goneText(path));
        return OpenOutcome::FileGone;
    }
    const OpenCommand lookup = openCommandForFile(associations, path, showMessage);
    if (lookup.statusShown) return OpenOutcome::StatusShown;
    const QByteArray& command = lookup.text;
    if (command == kSelfStartingCommand) {
        if (launcher.startProgram(path, WindowStyle::MinimizedFocus, &error))
            return OpenOutcome::ProgramStarted;
        tell(QStringLiteral("Could not start \"%1\": %2.").arg(shown(path), error));
        return OpenOutcome::StartFailed;
    }
    if (namesNoProgram(command)) {
        // The lookup's own words say why nothing opened.
        tell(shown(command));
        return OpenOutcome::NotAssociated;
    }
    if (launcher.startCommand(command, path, WindowStyle::MinimizedFocus, &error))
        return OpenOutcome::CommandStarted;
    tell(QStringLiteral(
             "Could not open \"%1\": %2. Check which program your desktop opens this file type with.")
             .arg(shown(path), error));
    return OpenOutcome::StartFailed;
}

}  // namespace trovander
