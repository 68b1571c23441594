// The parts of starting and showing that are the same on every platform.
#include "platform/Launcher.h"

namespace trovander {

QByteArray fileUrl(const QByteArray& path) {
    QByteArray slashed = path;
    if (kFolderSeparator != '/') slashed.replace(kFolderSeparator, '/');
    // A drive path (c:/x) needs the empty host's third slash before it.
    if (!slashed.startsWith('/')) slashed.prepend('/');
    // A drive's colon stays as file URLs spell it on Windows.
    return "file://" + slashed.toPercentEncoding(/*exclude=*/kFolderSeparator == '/' ? "/" : "/:");
}

QByteArray parentFolder(const QByteArray& path) {
    const qsizetype last = path.lastIndexOf(kFolderSeparator);
    if (last < 0) return {};
    // The root keeps its separator: "/" on its own, or "c:\" on Windows.
    if (last == 0 || (last > 0 && path[last - 1] == ':')) return path.left(last + 1);
    return path.left(last);
}

}  // namespace trovander
