#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>

#include "platform/PrivateFolder.h"

namespace trovander {

namespace {

// Room left in a socket address for the name put in the folder (64 bytes leave ample room for any of ours).
constexpr qsizetype kNameRoomBytes = 64;

bool isPrivateFolder(const QByteArray& path) {
    struct stat info {};
    // lstat: a link to a folder may be redirected by whoever owns the link's folder.
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 077) == 0;
}

bool fitsASocketAddress(const QByteArray& folder) {
    return folder.size() + kNameRoomBytes < static_cast<qsizetype>(sizeof(sockaddr_un{}.sun_path));
}

// The folder, made 0700 where it is missing; a folder of this user's that others may enter is closed.
// None when the name is held by anything else (another user's folder, a link, a file).
std::optional<QByteArray> ownFolder(const QByteArray& path) {
    if (!fitsASocketAddress(path)) return std::nullopt;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return std::nullopt;
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0) return std::nullopt;
    if (!isPrivateFolder(path)) return std::nullopt;
    return path;
}

}  // namespace

std::optional<QString> privateRuntimeFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && fitsASocketAddress(runtime) && isPrivateFolder(runtime))
        return QFile::decodeName(runtime);
    // The name is predictable, so another user may have made it first: then it is not used, and the
    // user's home (which others cannot write) is tried instead.
    const QByteArray uid = QByteArray::number(static_cast<qulonglong>(::geteuid()));
    if (std::optional<QByteArray> folder =
            ownFolder(QFile::encodeName(QDir::tempPath()) + "/trovander-" + uid))
        return QFile::decodeName(*folder);
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/')) {
        const QByteArray cache = home + "/.cache";
        ::mkdir(cache.constData(), 0700);  // usually there already
        if (std::optional<QByteArray> folder = ownFolder(cache + "/trovander-" + uid))
            return QFile::decodeName(*folder);
    }
    return std::nullopt;
}

bool peerIsThisUser(qintptr socketDescriptor) {
    struct ucred peer {};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == ::geteuid();
}

}  // namespace trovander
