// The open action's logic over the in-memory association store and a recording launcher.
#include <QtTest>

#include "platform/AssociationStore_memory.h"
#include "results/Opener.h"
#include "results/ResultsModel.h"
#include "support/Fixtures.h"
#include "support/OpenFakes.h"

using namespace trovander;
using trovander::testing::LaunchRequest;
using trovander::testing::RecordingLauncher;

namespace {

// One line per request: what kind, which window style, the path, and the command's template.
QStringList describe(const QList<LaunchRequest>& requests) {
    QStringList lines;
    for (const LaunchRequest& r : requests) {
        const char* kind = r.kind == LaunchRequest::Command   ? "command"
                           : r.kind == LaunchRequest::Program ? "program"
                                                              : "folder";
        QString line = QStringLiteral("%1 %2 %3")
                           .arg(kind)
                           .arg(static_cast<int>(r.style))
                           .arg(QString::fromLatin1(r.path));
        if (r.kind == LaunchRequest::Command) line += QStringLiteral(" | ") + QString::fromLatin1(r.command);
        lines << line;
    }
    return lines;
}

}  // namespace

class TestOpen : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void getExtension_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("extension");
        QTest::newRow("last of two dots") << QByteArray("/docs/archive.tar.gz") << QByteArray("gz");
        QTest::newRow("dot only in a folder") << QByteArray("/docs.old/README") << QByteArray();
        QTest::newRow("leading dot") << QByteArray("/docs/.profile") << QByteArray("profile");
        QTest::newRow("trailing dot") << QByteArray("/docs/name.") << QByteArray();
        QTest::newRow("drive colon before") << QByteArray("C:name.txt") << QByteArray("txt");
        QTest::newRow("colon stops") << QByteArray("/docs/notes.v1:draft") << QByteArray();
        QTest::newRow("empty path") << QByteArray() << QByteArray();
        QTest::newRow("backslash is a name character") << QByteArray("/docs/a.b\\c") << QByteArray("b\\c");
        QTest::newRow("not UTF-8") << QByteArray("/docs/caf\xe9.t\xffxt") << QByteArray("t\xffxt");
        QTest::newRow("no separator at all") << QByteArray("plain") << QByteArray();
    }
    void getExtension() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, extension);
        QCOMPARE(GetExtension(path), extension);
    }

    void firstWord_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("delimiter");
        QTest::addColumn<QByteArray>("word");
        QTest::newRow("failure text")
            << QByteArray(kTypeNotAssociated) << QByteArray(" ") << QByteArray("File");
        QTest::newRow("no delimiter")
            << QByteArray("Unregistered") << QByteArray(" ") << QByteArray("Unregistered");
        QTest::newRow("leading space kept")
            << QByteArray(" File type") << QByteArray(" ") << QByteArray(" File type");
        QTest::newRow("empty") << QByteArray() << QByteArray(" ") << QByteArray();
        QTest::newRow("spaces trimmed, tab kept")
            << QByteArray("\t ab  |cd") << QByteArray("|") << QByteArray("\t ab");
        QTest::newRow("case-sensitive delimiter")
            << QByteArray("aXbxc") << QByteArray("x") << QByteArray("aXb");
        QTest::newRow("command") << QByteArray("editor \"%1\"") << QByteArray(" ") << QByteArray("editor");
    }
    void firstWord() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, delimiter);
        QFETCH(QByteArray, word);
        QCOMPARE(FirstWord(text, delimiter), word);
    }

    // The lookup's four results. A null fileType or command is a key without a default value.
    void getOpenCommand_data() {
        QTest::addColumn<QByteArray>("asked");
        QTest::addColumn<bool>("hasExtensionKey");
        QTest::addColumn<QByteArray>("fileType");
        QTest::addColumn<bool>("hasCommandKey");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<QStringList>("messages");
        const QByteArray ext(".txt"), type("txtfile"), editor("editor \"%1\"");
        const QByteArray notAssociated(kTypeNotAssociated);
        const QByteArray chars127(127, 'c'), chars128(128, 'c');
        QTest::newRow("command") << ext << true << type << true << editor << editor << QStringList();
        QTest::newRow("key names ignore case")
            << QByteArray(".TxT") << true << type << true << editor << editor << QStringList();
        QTest::newRow("unregistered") << ext << false << type << true << editor
                                      << QByteArray("Unregistered file extension .txt") << QStringList();
        QTest::newRow("no name: key '.'") << QByteArray(".") << false << type << true << editor
                                          << QByteArray("Unregistered file extension .") << QStringList();
        QTest::newRow("no command key")
            << ext << true << type << false << editor << notAssociated << QStringList();
        QTest::newRow("empty file type")
            << ext << true << QByteArray("") << false << editor << notAssociated << QStringList();
        QTest::newRow("extension without value")
            << ext << true << QByteArray() << true << editor << QByteArray() << QStringList{"2"};
        QTest::newRow("file type of 127")
            << ext << true << chars127 << true << editor << editor << QStringList();
        // Longer values are read whole: the store is asked again with the size it reports.
        QTest::newRow("file type of 128")
            << ext << true << chars128 << true << editor << editor << QStringList();
        QTest::newRow("file type of 4000")
            << ext << true << QByteArray(4000, 't') << true << editor << editor << QStringList();
        QTest::newRow("command of 127")
            << ext << true << type << true << chars127 << chars127 << QStringList();
        QTest::newRow("command of 128")
            << ext << true << type << true << chars128 << chars128 << QStringList();
        QTest::newRow("command of 5000")
            << ext << true << type << true << QByteArray(5000, 'c') << QByteArray(5000, 'c') << QStringList();
        QTest::newRow("command key without value")
            << ext << true << type << true << QByteArray() << notAssociated << QStringList();
    }
    void getOpenCommand() {
        QFETCH(QByteArray, asked);
        QFETCH(bool, hasExtensionKey);
        QFETCH(QByteArray, fileType);
        QFETCH(bool, hasCommandKey);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, result);
        QFETCH(QStringList, messages);
        MemoryAssociationStore store;
        if (hasExtensionKey) fileType.isNull() ? store.addKey(".txt") : store.setText(".txt", fileType);
        if (hasCommandKey) {
            const QByteArray key = fileType + "\\shell\\open\\command";
            command.isNull() ? store.addKey(key) : store.setText(key, command);
        }
        QStringList shown;
        QCOMPARE(GetOpenCommand(store, asked, [&](const QString& text) { shown << text; }), result);
        QCOMPARE(shown, messages);
        QCOMPARE(store.openKeyCount(), 0);
    }

    void valueWithoutNulLosesItsLastByte() {
        MemoryAssociationStore store;
        store.setBytes(".txt", "txtfileX");
        store.setBytes("txtfile\\shell\\open\\command", "editor \"%1\"!");
        QCOMPARE(GetOpenCommand(store, ".txt", {}), QByteArray("editor \"%1\""));
    }

    // The action on one row; the store knows ".txt" as txtfile with the row's command.
    void openResult_data() {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QStringList>("messages");  // what the message box is shown
        const QByteArray docs("/docs"), file("a b.txt"), editor("editor \"%1\"");
        const QString size("1 KB(s)");
        const int started = int(OpenOutcome::CommandStarted), none = int(OpenOutcome::NotAssociated);
        const QString asCommand = QStringLiteral("command 2 /docs/a b.txt | ");
        QTest::newRow("associated program")
            << docs << file << size << editor << started << QStringList{asCommand + editor} << QStringList();
        QTest::newRow("self-starting")
            << docs << file << size << QByteArray(kSelfStartingCommand) << int(OpenOutcome::ProgramStarted)
            << QStringList{"program 2 /docs/a b.txt"} << QStringList();
        QTest::newRow("self-starting and a space")
            << docs << file << size << QByteArray("\"%1\" %* ") << started
            << QStringList{asCommand + "\"%1\" %* "} << QStringList();
        QTest::newRow("self-starting after a blank")
            << docs << file << size << QByteArray(" \"%1\" %*") << started
            << QStringList{asCommand + " \"%1\" %*"} << QStringList();
        QTest::newRow("first word File") << docs << file << size << QByteArray("File \"%1\"") << none
                                         << QStringList() << QStringList{"File \"%1\""};
        QTest::newRow("File alone") << docs << file << size << QByteArray("File") << none << QStringList()
                                    << QStringList{"File"};
        QTest::newRow("first word Unregistered")
            << docs << file << size << QByteArray("Unregistered \"%1\"") << none << QStringList()
            << QStringList{"Unregistered \"%1\""};
        QTest::newRow("lower-case file") << docs << file << size << QByteArray("file \"%1\"") << started
                                         << QStringList{asCommand + "file \"%1\""} << QStringList();
        QTest::newRow("lower-case unregistered")
            << docs << file << size << QByteArray("unregistered \"%1\"") << started
            << QStringList{asCommand + "unregistered \"%1\""} << QStringList();
        QTest::newRow("Files is another word")
            << docs << file << size << QByteArray("Files \"%1\"") << started
            << QStringList{asCommand + "Files \"%1\""} << QStringList();
        QTest::newRow("a command of 128 and more")
            << docs << file << size << QByteArray(128, 'c') << started
            << QStringList{asCommand + QString(128, 'c')} << QStringList();
        QTest::newRow("folder row opens the folder cell")
            << docs << QByteArray("sub.txt") << QString("Folder") << editor
            << int(OpenOutcome::FileManagerStarted) << QStringList{"folder 1 /docs"} << QStringList();
        QTest::newRow("folder in lower case is a file")
            << docs << QByteArray("sub.txt") << QString("folder") << editor << started
            << QStringList{"command 2 /docs/sub.txt | " + editor} << QStringList();
        QTest::newRow("FOLDER is a file")
            << docs << QByteArray("sub.txt") << QString("FOLDER") << editor << started
            << QStringList{"command 2 /docs/sub.txt | " + editor} << QStringList();
        QTest::newRow("file not found on disk") << docs << file << QString() << editor << started
                                                << QStringList{asCommand + editor} << QStringList();
        QTest::newRow("root folder doubles the separator")
            << QByteArray("/") << QByteArray("a.txt") << size << editor << started
            << QStringList{"command 2 //a.txt | " + editor} << QStringList();
        QTest::newRow("no extension") << docs << QByteArray("README") << size << editor << none
                                      << QStringList() << QStringList{"Unregistered file extension ."};
        QTest::newRow("unknown extension")
            << docs << QByteArray("a.xyz") << size << editor << none << QStringList()
            << QStringList{"Unregistered file extension .xyz"};
        // The content type answers where the extension names no program (the store maps /docs/README and
        // /docs/notes.md to text/plain, whose command is the viewer's).
        const QString asViewer = QStringLiteral(" | viewer \"%1\"");
        QTest::newRow("no extension, content type")
            << docs << QByteArray("README.") << size << editor << started
            << QStringList{"command 2 /docs/README." + asViewer} << QStringList();
        QTest::newRow("unknown extension, content type")
            << docs << QByteArray("notes.md") << size << editor << started
            << QStringList{"command 2 /docs/notes.md" + asViewer} << QStringList();
        QTest::newRow("extension's type without program, content type")
            << docs << QByteArray("page.htm") << size << editor << started
            << QStringList{"command 2 /docs/page.htm" + asViewer} << QStringList();
        QTest::newRow("extension's program before the content type")
            << docs << QByteArray("both.txt") << size << editor << started
            << QStringList{"command 2 /docs/both.txt | " + editor} << QStringList();
        QTest::newRow("content type without program: the extension's text")
            << docs << QByteArray("odd.bin") << size << editor << none << QStringList()
            << QStringList{"Unregistered file extension .bin"};
        QTest::newRow("file gone since the search")
            << docs << QByteArray("gone.txt") << size << editor << int(OpenOutcome::FileGone) << QStringList()
            << QStringList{
                   "\"/docs/gone.txt\" is no longer there: it was moved or deleted after the index was "
                   "built. Scan again to bring the index up to date."};
        QTest::newRow("bytes that are not UTF-8")
            << docs << QByteArray("caf\xe9.txt") << size << editor << started
            << QStringList{"command 2 " + QString::fromLatin1("/docs/caf\xe9.txt") + " | " + editor}
            << QStringList();
    }
    void openResult() {
        QFETCH(QByteArray, folder);
        QFETCH(QByteArray, name);
        QFETCH(QString, sizeText);
        QFETCH(QByteArray, command);
        QFETCH(int, outcome);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, messages);
        MemoryAssociationStore store;
        store.setText(".txt", "txtfile");
        store.setText("txtfile\\shell\\open\\command", command);
        store.setText(".htm", "htmlfile");
        store.setText("text/plain\\shell\\open\\command", "viewer \"%1\"");
        for (const char* path : {"/docs/README.", "/docs/notes.md", "/docs/page.htm", "/docs/both.txt"})
            store.setContentType(path, "text/plain");
        store.setContentType("/docs/odd.bin", "application/octet-stream");
        RecordingLauncher launcher;
        launcher.gone = {"/docs/gone.txt"};
        QStringList shown;
        const auto result = trovander::openResult(SelectedRow{name, folder, sizeText}, store, launcher,
                                                  [&](const QString& text) { shown << text; });
        QCOMPARE(int(result), outcome);
        QCOMPARE(describe(launcher.requests), requests);
        QCOMPARE(shown, messages);
        QCOMPARE(store.openKeyCount(), 0);
    }

    void noSelectedRowStartsNothing() {
        MemoryAssociationStore store;
        store.setText(".txt", "txtfile");
        store.setText("txtfile\\shell\\open\\command", "editor \"%1\"");
        RecordingLauncher launcher;
        ResultsModel empty;
        int messages = 0;
        const auto result = trovander::openResult(selectedRow(empty, /*row=*/-1), store, launcher,
                                                  [&](const QString&) { ++messages; });
        QCOMPARE(result, OpenOutcome::NothingSelected);
        QVERIFY(launcher.requests.isEmpty());
        QCOMPARE(messages, 0);
        QVERIFY(!selectedRow(empty, 0).has_value());
    }

    void selectedRowKeepsTheStoredBytes() {
        ResultsModel model;
        testing::appendFound(model, "caf\xe9.txt",
                             "/d\xff"
                             "cs",
                             /*sizeBytes=*/1075);
        const std::optional<SelectedRow> row = selectedRow(model, 0);
        QVERIFY(row.has_value());
        QCOMPARE(row->name, QByteArray("caf\xe9.txt"));
        QCOMPARE(row->folder, QByteArray("/d\xff"
                                         "cs"));
        QCOMPARE(row->sizeText, QStringLiteral("1 KB(s)"));
    }

    void unreadableExtensionShowsOnlyTheStatus() {
        MemoryAssociationStore store;
        store.addKey(".txt");
        RecordingLauncher launcher;
        QStringList shown;
        const auto result = trovander::openResult(SelectedRow{"a.txt", "/docs", "1 KB(s)"}, store, launcher,
                                                  [&](const QString& text) { shown << text; });
        QCOMPARE(result, OpenOutcome::StatusShown);
        QCOMPARE(shown, QStringList{"2"});
        QVERIFY(launcher.requests.isEmpty());
    }

    void failedStartIsTold_data() {
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("associated program") << QString("1 KB(s)") << QByteArray("editor \"%1\"");
        QTest::newRow("self-starting") << QString("1 KB(s)") << QByteArray(kSelfStartingCommand);
        QTest::newRow("file manager") << QString("Folder") << QByteArray("editor \"%1\"");
        QTest::newRow("empty command") << QString("1 KB(s)") << QByteArray("");
    }
    void failedStartIsTold() {
        QFETCH(QString, sizeText);
        QFETCH(QByteArray, command);
        MemoryAssociationStore store;
        store.setText(".txt", "txtfile");
        store.setText("txtfile\\shell\\open\\command", command);
        RecordingLauncher launcher;
        launcher.failure = QStringLiteral("\"editor\" was not found");
        QStringList shown;
        const auto result = trovander::openResult(SelectedRow{"a.txt", "/docs", sizeText}, store, launcher,
                                                  [&](const QString& text) { shown << text; });
        QCOMPARE(result, OpenOutcome::StartFailed);
        QCOMPARE(launcher.requests.size(), 1);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.front().contains(QStringLiteral("/docs")), qPrintable(shown.front()));
        QVERIFY2(shown.front().contains(launcher.failure), qPrintable(shown.front()));
    }
};

QTEST_GUILESS_MAIN(TestOpen)
#include "test_open.moc"
