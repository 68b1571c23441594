#include "ui/SingleInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

#include "platform/PrivateFolder.h"

namespace trovander {

namespace {
const QByteArray kAsk = "front\n";
const QByteArray kAnswer = "shown\n";
// How long a later start waits for the running copy; a copy busy in a long rebuild still answers at its
// next yield, well within this.
constexpr int kConnectWaitMs = 1000;
constexpr int kAnswerWaitMs = 5000;
}  // namespace

namespace {
// Where the socket and its lock lie: a folder of the user's own, so that no other user can put a socket
// of theirs in its place and answer for the running copy, or block the name. Empty when there is none.
QString inPrivateFolder(const QString& name) {
    const std::optional<QString> folder = privateRuntimeFolder();
    if (!folder) return {};
    if (folder->isEmpty()) return name;
    return QDir(*folder).filePath(name);
}
}  // namespace

QString instanceKey(const std::string& indexPath) {
    const QString path = QFileInfo(QFile::decodeName(indexPath.c_str())).absoluteFilePath();
    // The file, or its folders, may not exist yet (a first start makes them after this check): the nearest
    // part that exists is resolved and the rest appended, so that the name stays the same once they exist.
    QString canonical = QFileInfo(path).canonicalFilePath();
    QString rest;
    QString existing = path;
    while (canonical.isEmpty()) {
        const QFileInfo part(existing);
        rest = QLatin1Char('/') + part.fileName() + rest;
        existing = part.absolutePath();
        if (existing == part.absoluteFilePath()) break;  // the root
        canonical = QFileInfo(existing).canonicalFilePath();
    }
    if (canonical == QLatin1String("/")) canonical.clear();
    canonical += rest;
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex();
    return inPrivateFolder(QStringLiteral("trovander-") + QString::fromLatin1(hash.left(32)));
}

SingleInstance::SingleInstance(const std::string& indexPath, std::function<void()> front)
    : key_(instanceKey(indexPath)), front_(std::move(front)) {
    // Without a private folder the program runs on without the guard rather than trust a shared one.
    if (key_.isEmpty()) return;
    // Two starts at the same moment: the lock makes one of them look and listen before the other looks.
    QLockFile lock(QFileInfo(key_).isAbsolute()
                       ? key_ + QStringLiteral(".lock")
                       : QDir(QDir::tempPath()).filePath(key_ + QStringLiteral(".lock")));
    lock.tryLock(kAnswerWaitMs);
    QLocalSocket probe;
    probe.connectToServer(key_);
    // A listener of another user's (root's, say) is not a copy of ours: it is never believed, and its
    // name is taken over.
    if (probe.waitForConnected(kConnectWaitMs) && peerIsThisUser(probe.socketDescriptor())) {
        outcome_ = Outcome::AlreadyRunning;
        probe.write(kAsk);
        probe.flush();
        QByteArray reply;
        while (!reply.contains('\n') && probe.waitForReadyRead(kAnswerWaitMs)) reply += probe.readAll();
        answered_ = reply == kAnswer;
        probe.disconnectFromServer();
        return;
    }
    probe.abort();
    listen();
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::listen() {
    server_ = std::make_unique<QLocalServer>();
    // Only this user's copies may ask.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) {
        // Nobody answered, so what is there was left by a copy that was killed: take its place.
        QLocalServer::removeServer(key_);
        if (!server_->listen(key_)) {
            // The program runs on without the guard rather than refusing to start.
            server_.reset();
            return;
        }
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) serve(socket);
    });
}

void SingleInstance::serve(QLocalSocket* socket) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
        // Anything but the one question is ignored: the socket is this user's, but no input is trusted.
        if (socket->bytesAvailable() > kAsk.size()) {
            socket->abort();
            return;
        }
        if (!socket->canReadLine()) return;
        if (socket->readLine() != kAsk) {
            socket->abort();
            return;
        }
        if (front_) front_();
        socket->write(kAnswer);
        socket->flush();
        socket->disconnectFromServer();
    });
}

void SingleInstance::bringProgramToFront() {
    QWidget* modal = QApplication::activeModalWidget();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() || w == modal) continue;
        w->setWindowState((w->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        w->raise();
        w->activateWindow();
    }
    if (modal) {
        modal->setWindowState(modal->windowState() & ~Qt::WindowMinimized);
        modal->raise();
        modal->activateWindow();
    }
}

}  // namespace trovander
