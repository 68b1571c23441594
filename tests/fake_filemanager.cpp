// A stand-in for the desktop's file manager service on a test's private session bus: it answers
// org.freedesktop.FileManager1.ShowItems by writing the URLs it was given, one per line, to the file named
// by its argument, and prints "ready" once the service name is its own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <cstdio>

class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    explicit FileManager(QString record) : record_(std::move(record)) {}

  public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        (void)startupId;
        QFile file(record_);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append))
            file.write((uris.join('\n') + '\n').toUtf8());
    }

  private:
    QString record_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) return 2;
    FileManager manager(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots) ||
        !bus.registerService("org.freedesktop.FileManager1"))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "fake_filemanager.moc"
