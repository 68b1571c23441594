// Opening a result: the extension's association names a file type, the file type's open command names the
// program, and the program is started with the entry's full path. A folder opens in the file manager.
// Texts are bytes: names as the file system gives them, associations as single-byte text.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace trovander {

class AssociationStore;
class Launcher;
class ResultsModel;

// The lookup's texts for the two cases in which nothing is started.
inline constexpr char kUnregisteredExtension[] = "Unregistered file extension ";
inline constexpr char kTypeNotAssociated[] = "File type is not associated with a program.";
// ... and when the programs for it were passed over as unsafe. It begins with the same word, so that
// nothing is started.
inline constexpr char kTypeProgramPassedOver[] =
    "File type's program was not started: its command line puts the file's name where it could run as a "
    "command. Choose another program for this file type.";
// The open command of a file that is itself a program.
inline constexpr char kSelfStartingCommand[] = "\"%1\" %*";
// Association texts are read into a buffer of this size, so they hold at most 127 characters.
inline constexpr int kAssociationBufferBytes = 128;

// The characters after the last "." of the path's last part; empty when that part has none or ends in
// the dot. The scan stops at the folder separator and at ":".
QByteArray GetExtension(const QByteArray& path);

// The text before the first delimiter, with leading and trailing spaces removed; the whole text, untouched,
// when the delimiter is absent or first.
QByteArray FirstWord(const QByteArray& text, const QByteArray& delimiter);

// Shows a text to the user and returns once it is dismissed (a modal message box in the program).
using ShowMessage = std::function<void(const QString& text)>;

// The open command for an extension key name (".ext"), or kUnregisteredExtension followed by the key
// name, or kTypeNotAssociated (kTypeProgramPassedOver when its programs were unsafe), or empty text after the
// extension key's value could not be read (the status number has then been shown). Every key opened is closed
// again.
QByteArray GetOpenCommand(AssociationStore& associations, const QByteArray& extensionKey,
                          const ShowMessage& showMessage);

// The cells of the selected row that opening reads.
struct SelectedRow {
    QByteArray name;    // the "File Name" cell's stored bytes
    QByteArray folder;  // the "File Path" cell's stored bytes
    QString sizeText;   // the "Size" cell: a size, "Folder", or empty
};

// The row's cells; none when row is not a row of the model (no selection).
std::optional<SelectedRow> selectedRow(const ResultsModel& model, int row);

// Folder, one separator, name; a folder that already ends in the separator keeps both.
QByteArray fullPath(const QByteArray& folder, const QByteArray& name);

enum class OpenOutcome {
    NothingSelected,
    FileManagerStarted,  // a folder row
    ProgramStarted,      // the file is itself a program
    CommandStarted,      // the associated program with the full path
    NotAssociated,  // no program for the extension or the content: nothing started, the lookup's text shown
    StatusShown,    // the extension's value could not be read: its status number was shown
    StartFailed,    // a program was named but could not be started; the user has been told
    FileGone,       // the file is no longer where the index says; the user has been told
};

// The open action on the selected row. It keeps no state and does not wait for what it starts.
OpenOutcome openResult(const std::optional<SelectedRow>& row, AssociationStore& associations,
                       Launcher& launcher, const ShowMessage& showMessage);

// The command a double-click would use for the file at path: the extension's, or where that names no
// program, the content type's; otherwise the extension lookup's text (see GetOpenCommand).
QByteArray openCommandFor(AssociationStore& associations, const QByteArray& path,
                          const ShowMessage& showMessage);

// Open Containing Folder: the file manager on the folder that holds the row's entry, with the entry
// selected where the desktop offers that.
OpenOutcome showContainingFolder(const std::optional<SelectedRow>& row, Launcher& launcher,
                                 const ShowMessage& showMessage);

}  // namespace trovander
