// trovander-open --dry-run on real files of many types names the same desktop entry's program as the
// desktop's own query (xdg-mime query filetype, then query default), on the same XDG set-up: the
// machine's shared-mime-info, a temporary XDG_DATA_HOME and XDG_CONFIG_HOME.
#include <fcntl.h>
#include <unistd.h>

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray run(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return {};
    if (exitCode) *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

void writeBytes(const QByteArray& path, const QByteArray& content) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0700);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, content.constData(), size_t(content.size())), ssize_t(content.size()));
    ::close(fd);
}

QString tool() { return qEnvironmentVariable("TROVANDER_TOOLS") + "/trovander-open"; }

}  // namespace

class TestOpenTool : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sameProgramAsTheDesktop() {
        if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
            QSKIP("xdg-mime is not installed (scripts/setup.sh installs xdg-utils)");
        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(dir.path());
        const QByteArray home = root + "/home";
        QDir().mkpath(dir.path() + "/home/data/applications");
        QDir().mkpath(dir.path() + "/home/config");
        QDir().mkpath(dir.path() + "/bin");
        QDir().mkpath(dir.path() + "/files");
        qputenv("XDG_DATA_HOME", home + "/data");
        qputenv("XDG_CONFIG_HOME", home + "/config");
        qunsetenv("XDG_DATA_DIRS");
        qunsetenv("XDG_CONFIG_DIRS");
        qunsetenv("XDG_CURRENT_DESKTOP");
        qunsetenv("KDE_FULL_SESSION");
        qunsetenv("GNOME_DESKTOP_SESSION_ID");
        qunsetenv("DESKTOP_SESSION");

        QByteArray png;
        {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            QImage image(2, 2, QImage::Format_RGB32);
            image.fill(Qt::red);
            image.save(&buffer, "PNG");
        }
        const QByteArray pdf("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\ntrailer\n<<>>\n%%EOF\n");
        const QByteArray files = root + "/files/";
        const QList<QPair<QByteArray, QByteArray>> samples{
            {"notes.txt", "plain words\n"},
            {"README", "Read me first.\n"},
            {"Makefile", "all:\n\ttrue\n"},
            {"build-it", "#!/bin/sh\necho hi\n"},
            {"image.png", png},
            {"picture", png},
            {"paper.pdf", pdf},
            {"paper.qqq", pdf},
            {"page.html", "<!DOCTYPE html>\n<html><head><title>x</title></head><body></body></html>\n"},
            {"main.c", "#include <stdio.h>\nint main(void) { return 0; }\n"},
            {"data.json", "{\"a\": 1}\n"},
            {"packed", QByteArray::fromHex("1f8b0800000000000003030000000000000000")},
        };
        QSet<QByteArray> types;
        QByteArray defaults = "[Default Applications]\n";
        QMap<QByteArray, QByteArray> programOfType;
        for (const auto& [name, content] : samples) {
            writeBytes(files + name, content);
            const QByteArray type =
                run("xdg-mime", {"query", "filetype", QFile::decodeName(files + name)}).trimmed();
            QVERIFY2(!type.isEmpty(), name.constData());
            if (types.contains(type)) continue;
            types.insert(type);
            // One program per type, so the type that was chosen shows in the program.
            const QByteArray id = "app" + QByteArray::number(types.size()) + ".desktop";
            const QByteArray program = root + "/bin/prog" + QByteArray::number(types.size());
            writeBytes(program, "#!/bin/sh\nexit 0\n");
            writeBytes(home + "/data/applications/" + id,
                       "[Desktop Entry]\nType=Application\nName=P\nExec=" + program + " %f\n");
            defaults += type + "=" + id + "\n";
            programOfType[type] = program;
        }
        QVERIFY2(types.size() >= 10, QList<QByteArray>(types.begin(), types.end()).join(' ').constData());
        writeBytes(home + "/config/mimeapps.list", defaults);

        for (const auto& [name, content] : samples) {
            const QString file = QFile::decodeName(files + name);
            const QByteArray type = run("xdg-mime", {"query", "filetype", file}).trimmed();
            const QByteArray id = run("xdg-mime", {"query", "default", QString::fromUtf8(type)}).trimmed();
            QVERIFY2(!id.isEmpty(), type.constData());
            QFile entry(QFile::decodeName(home + "/data/applications/" + id));
            QVERIFY(entry.open(QIODevice::ReadOnly));
            QByteArray desktopProgram;
            for (const QByteArray& line : entry.readAll().split('\n'))
                if (line.startsWith("Exec=")) desktopProgram = line.mid(5).split(' ').front();
            int exitCode = -1;
            const QList<QByteArray> lines = run(tool(), {"--dry-run", file}, &exitCode).split('\n');
            QCOMPARE(exitCode, 0);
            QCOMPARE(lines.value(0) + " (" + name + ", " + type + ")",
                     desktopProgram + " (" + name + ", " + type + ")");
            QCOMPARE(lines.value(1), files + name);
        }
    }

    void badCommandLines() {
        int exitCode = -1;
        run(tool(), {}, &exitCode);
        QCOMPARE(exitCode, 2);
        run(tool(), {"--no-such-option", "/tmp"}, &exitCode);
        QCOMPARE(exitCode, 2);
        run(tool(), {"--dry-run", "/no/such/file/here.txt"}, &exitCode);
        QCOMPARE(exitCode, 1);
    }
};

QTEST_GUILESS_MAIN(TestOpenTool)
#include "test_open_tool.moc"
