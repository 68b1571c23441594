// The freedesktop form of the two association keys:
//   ".ext"                     exists when the shared-mime-info globs map *.ext to a MIME type; its value is
//                              that type, spelt as the globs spell it;
//   "TYPE\shell\open\command"  exists when a default application is found for TYPE (mimeapps.list chain,
//                              then mimeinfo.cache, then TYPE's parent types); its value is that desktop
//                              entry's Exec line as a command template: %f %F %u %U as "%1", %c %i %k
//                              expanded, %% a literal percent sign; a script a shell reads gets its values
//                              as positional parameters, and an entry that cannot be made so, or that puts
//                              the file inside a larger argument anywhere else, is passed over. When every
//                              entry found was passed over so, the key gives kStatusUnsafeCommand.
// Where the extension names no program, the file's content type (contentType) is asked.
// Nothing is cached: every open reads the files afresh, as every open reads the registry afresh.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>
#include <QString>
#include <cstring>
#include <map>
#include <optional>

#include "platform/AssociationStore.h"
#include "platform/Launcher.h"

namespace trovander {

namespace {

const QByteArray kCommandSuffix = QByteArrayLiteral("\\shell\\open\\command");
// Magic rules look at the start of a file; this covers the deepest offsets shared-mime-info uses.
constexpr qsizetype kContentBytes = 64 * 1024;
// Parent types are followed this far up; real hierarchies are two or three levels deep.
constexpr int kMaxParentLevels = 8;

bool sameText(const QByteArray& a, const QByteArray& b) {
    return a == b || QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// The base directories as the XDG base directory rules give them; relative entries are ignored.
QByteArray homeDir(const char* variable, const char* underHome) {
    const QByteArray value = qgetenv(variable);
    if (value.startsWith('/')) return value;
    return qgetenv("HOME") + underHome;
}

QList<QByteArray> dirList(const char* variable, const char* fallback) {
    QByteArray value = qgetenv(variable);
    if (value.isEmpty()) value = fallback;
    QList<QByteArray> dirs;
    for (const QByteArray& dir : value.split(':'))
        if (dir.startsWith('/')) dirs.append(dir);
    return dirs;
}

struct XdgDirs {
    QList<QByteArray> configDirs;  // XDG_CONFIG_HOME first, then XDG_CONFIG_DIRS
    QList<QByteArray> dataDirs;    // XDG_DATA_HOME first, then XDG_DATA_DIRS
    QList<QByteArray> desktops;    // XDG_CURRENT_DESKTOP, lower case
};

XdgDirs currentDirs() {
    XdgDirs dirs;
    dirs.configDirs.append(homeDir("XDG_CONFIG_HOME", "/.config"));
    dirs.configDirs.append(dirList("XDG_CONFIG_DIRS", "/etc/xdg"));
    dirs.dataDirs.append(homeDir("XDG_DATA_HOME", "/.local/share"));
    dirs.dataDirs.append(dirList("XDG_DATA_DIRS", "/usr/local/share:/usr/share"));
    for (const QByteArray& desktop : qgetenv("XDG_CURRENT_DESKTOP").split(':'))
        if (!desktop.isEmpty()) dirs.desktops.append(desktop.toLower());
    return dirs;
}

QString filePath(const QByteArray& path) { return QFile::decodeName(path); }

// The file's lines without their line ends; none when it cannot be read.
std::optional<QList<QByteArray>> readLines(const QByteArray& path) {
    QFile file(filePath(path));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r')) line.chop(1);
    return lines;
}

// A desktop-entry style file: group -> key -> value (the last of repeated keys wins).
using KeyFile = std::map<QByteArray, std::map<QByteArray, QByteArray>>;

std::optional<KeyFile> readKeyFile(const QByteArray& path, bool lowerCaseKeys) {
    const std::optional<QList<QByteArray>> lines = readLines(path);
    if (!lines) return std::nullopt;
    KeyFile groups;
    std::map<QByteArray, QByteArray>* group = nullptr;
    for (const QByteArray& raw : *lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            group = &groups[line.mid(1, line.size() - 2)];
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (group == nullptr || equals <= 0) continue;
        QByteArray key = line.left(equals).trimmed();
        if (lowerCaseKeys) key = key.toLower();
        (*group)[key] = line.mid(equals + 1).trimmed();
    }
    return groups;
}

QByteArray valueOf(const KeyFile& file, const char* group, const QByteArray& key) {
    const auto g = file.find(group);
    if (g == file.end()) return {};
    const auto v = g->second.find(key);
    return v == g->second.end() ? QByteArray() : v->second;
}

QList<QByteArray> desktopIds(const QByteArray& list) {
    QList<QByteArray> ids;
    for (const QByteArray& id : list.split(';'))
        if (!id.trimmed().isEmpty()) ids.append(id.trimmed());
    return ids;
}

// ---- shared-mime-info globs ----

struct GlobMatch {
    int weight = -1;
    bool exact = false;  // the glob spells the extension exactly as asked
    QByteArray type;
};

// The MIME type whose glob "*.ext" matches extensionKey (".ext"): the highest weight wins, then a glob
// spelt exactly as asked, then the more important directory and the earlier line.
std::optional<QByteArray> mimeTypeForExtension(const XdgDirs& dirs, const QByteArray& extensionKey) {
    GlobMatch best;
    QSet<QByteArray> cleared;  // types whose globs a more important directory replaced (__NOGLOBS__)
    for (const QByteArray& dataDir : dirs.dataDirs) {
        bool weighted = true;
        std::optional<QList<QByteArray>> lines = readLines(dataDir + "/mime/globs2");
        if (!lines) {
            weighted = false;
            lines = readLines(dataDir + "/mime/globs");
        }
        if (!lines) continue;
        QSet<QByteArray> clearedHere;
        for (const QByteArray& line : *lines) {
            if (line.isEmpty() || line.startsWith('#')) continue;
            const QList<QByteArray> fields = line.split(':');
            int weight = /*default weight=*/50;
            QByteArray type, glob;
            bool caseSensitive = false;
            if (weighted) {
                if (fields.size() < 3) continue;
                weight = fields[0].toInt();
                type = fields[1];
                glob = fields[2];
                caseSensitive = fields.size() > 3 && fields[3].split(',').contains("cs");
            } else {
                if (fields.size() < 2) continue;
                type = fields[0];
                glob = line.mid(type.size() + 1);
            }
            if (glob == "__NOGLOBS__") {
                clearedHere.insert(type.toLower());
                continue;
            }
            if (cleared.contains(type.toLower()) || !glob.startsWith("*.")) continue;
            const QByteArray suffix = glob.mid(1);
            if (suffix.contains('*') || suffix.contains('?') || suffix.contains('[')) continue;
            const bool exact = suffix == extensionKey;
            if (!exact && (caseSensitive || !sameText(suffix, extensionKey))) continue;
            if (weight > best.weight || (weight == best.weight && exact && !best.exact))
                best = {weight, exact, type};
        }
        cleared.unite(clearedHere);
    }
    if (best.weight < 0) return std::nullopt;
    return best.type;
}

QList<QByteArray> parentTypes(const XdgDirs& dirs, const QByteArray& type) {
    QList<QByteArray> parents;
    for (const QByteArray& dataDir : dirs.dataDirs) {
        const std::optional<QList<QByteArray>> lines = readLines(dataDir + "/mime/subclasses");
        if (!lines) continue;
        for (const QByteArray& line : *lines) {
            const QList<QByteArray> pair = line.trimmed().split(' ');
            if (pair.size() == 2 && sameText(pair[0], type) && !parents.contains(pair[1]))
                parents.append(pair[1]);
        }
    }
    return parents;
}

// ---- desktop entries ----

// The string escapes of a desktop-entry value; the quoting of Exec arguments is a second level.
QByteArray unescapeValue(const QByteArray& value) {
    QByteArray out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char next = i + 1 < value.size() ? value[i + 1] : '\0';
        if (value[i] == '\\') {
            const char plain = next == 's'    ? ' '
                               : next == 'n'  ? '\n'
                               : next == 't'  ? '\t'
                               : next == 'r'  ? '\r'
                               : next == '\\' ? '\\'
                                              : '\0';
            if (plain != '\0') {
                out.append(plain);
                ++i;
                continue;
            }
        }
        out.append(value[i]);  // any other backslash belongs to the Exec quoting
    }
    return out;
}

// What an entry's field codes other than the file's stand for.
struct EntryFacts {
    QByteArray name;      // %c: the Name in the user's language
    QByteArray icon;      // %i: --icon and the Icon, when there is one
    QByteArray location;  // %k: the desktop file itself
};

// The field code at position at of an Exec argument, in the command template's terms: the file's codes
// are "%1", the other values are literal text (percent signs doubled), %% stays a literal percent sign,
// and deprecated or unknown codes expand to nothing.
std::optional<ScriptPlaceholder> fieldCode(const EntryFacts& facts, const QByteArray& text, qsizetype at) {
    if (text[at] != '%' || at + 1 >= text.size()) return std::nullopt;
    switch (text[at + 1]) {
        case '%':
            return ScriptPlaceholder{2, {}, /*literal=*/true, "%%"};
        case 'f':
        case 'F':
        case 'u':
        case 'U':
            return ScriptPlaceholder{2, {"%1"}, false, {}, /*file=*/true};
        case 'c':
            return ScriptPlaceholder{2, {escapePercent(facts.name)}, false, {}};
        case 'k':
            return ScriptPlaceholder{2, {escapePercent(facts.location)}, false, {}};
        case 'i':
            if (facts.icon.isEmpty()) return ScriptPlaceholder{2, {}, false, {}};
            return ScriptPlaceholder{2, {"--icon", escapePercent(facts.icon)}, false, {}};
        default:
            return ScriptPlaceholder{2, {}, /*literal=*/true, {}};
    }
}

// A template argument; the path alone stands quoted, as an association's command spells it.
QByteArray pathOrQuoted(const QByteArray& argument) {
    return argument == "%1" ? QByteArrayLiteral("\"%1\"") : quoteArgument(argument);
}

// The Exec line as a command template (see fieldCode). A code that is a whole argument gives its values
// as arguments of their own (%i two, an empty Icon none); inside an argument they join it. An argument
// made only of codes that expand to nothing goes with them. Where a shell reads an argument as its script,
// the values reach it as positional parameters. None when the line cannot be split or made safe.
std::optional<QByteArray> commandFromExec(const QByteArray& exec, const EntryFacts& facts) {
    const std::optional<QList<QByteArray>> split = splitCommandLine(exec);
    if (!split || split->isEmpty()) return std::nullopt;
    const FindPlaceholder find = [&facts](const QByteArray& text, qsizetype at) {
        return fieldCode(facts, text, at);
    };
    qsizetype scriptIndex = -1;
    const std::optional<QList<QByteArray>> arguments =
        passScriptValuesAsParameters(*split, find, &scriptIndex);
    if (!arguments) return std::nullopt;
    QList<QByteArray> parts;
    for (qsizetype index = 0; index < arguments->size(); ++index) {
        const QByteArray& argument = (*arguments)[index];
        // The rewritten script and the values it was given are template text already.
        if (index == scriptIndex || index >= split->size()) {
            parts.append(pathOrQuoted(argument));
            continue;
        }
        if (argument.size() == 2) {
            if (const std::optional<ScriptPlaceholder> code = fieldCode(facts, argument, 0);
                code && !code->literal) {
                for (const QByteArray& value : code->values) parts.append(pathOrQuoted(value));
                continue;
            }
        }
        QByteArray converted;
        bool kept = argument.isEmpty();
        for (qsizetype i = 0; i < argument.size();) {
            const std::optional<ScriptPlaceholder> code = fieldCode(facts, argument, i);
            if (!code) {
                converted.append(argument[i++]);
                kept = true;
                continue;
            }
            i += code->length;
            const QByteArray text = code->literal ? code->text : code->values.join(' ');
            if (!text.isEmpty()) kept = true;
            converted.append(text);
        }
        if (kept) parts.append(quoteArgument(converted));
    }
    return parts.join(' ');
}

// The user's languages for localised keys, most specific first: lang_COUNTRY@modifier down to lang.
QList<QByteArray> localeNames() {
    QByteArray locale;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = qgetenv(variable);
        if (!locale.isEmpty()) break;
    }
    const qsizetype dot = locale.indexOf('.');
    const qsizetype at = locale.indexOf('@');
    const QByteArray modifier = at >= 0 ? locale.mid(at) : QByteArray();
    QByteArray base = locale.left(dot >= 0 ? dot : (at >= 0 ? at : locale.size()));
    if (base.isEmpty() || base == "C" || base == "POSIX") return {};
    QList<QByteArray> names;
    const QByteArray lang = base.left(base.indexOf('_') >= 0 ? base.indexOf('_') : base.size());
    if (!modifier.isEmpty()) names << base + modifier;
    names << base;
    if (!modifier.isEmpty() && lang != base) names << lang + modifier;
    if (lang != base) names << lang;
    return names;
}

// The file of a desktop-file ID under one applications folder: "a-b.desktop" may also be "a/b.desktop".
std::optional<QByteArray> findDesktopFile(const QByteArray& folder, const QByteArray& id) {
    const QByteArray direct = folder + '/' + id;
    if (QFileInfo(filePath(direct)).isFile()) return direct;
    for (qsizetype dash = id.indexOf('-'); dash > 0; dash = id.indexOf('-', dash + 1)) {
        const QByteArray sub = folder + '/' + id.left(dash);
        if (!QFileInfo(filePath(sub)).isDir()) continue;
        if (std::optional<QByteArray> found = findDesktopFile(sub, id.mid(dash + 1))) return found;
    }
    return std::nullopt;
}

bool programExists(const QByteArray& program) {
    if (program.contains('/')) return QFileInfo(filePath(program)).isExecutable();
    QByteArray searchPath = qgetenv("PATH");
    if (searchPath.isEmpty()) searchPath = "/usr/local/bin:/usr/bin:/bin";
    for (const QByteArray& folder : searchPath.split(':')) {
        const QFileInfo candidate(filePath((folder.isEmpty() ? QByteArray(".") : folder) + '/' + program));
        if (candidate.isFile() && candidate.isExecutable()) return true;
    }
    return false;
}

// The terminal that runs programs whose entry asks for one: Debian's chosen terminal, else xterm.
std::optional<QByteArray> terminalProgram() {
    for (const QByteArray& terminal : {QByteArrayLiteral("x-terminal-emulator"), QByteArrayLiteral("xterm")})
        if (programExists(terminal)) return terminal;
    return std::nullopt;
}

// The command of an installed application, none when the ID names no usable entry (hidden, its TryExec
// missing, no Exec, or a terminal program where there is no terminal). The first file found
// for an ID hides the others, as the desktop-entry lookup rules say.
// *passedOver is set when the entry was usable but its command line could not be made safe.
std::optional<QByteArray> applicationCommand(const XdgDirs& dirs, const QByteArray& id, bool* passedOver) {
    for (const QByteArray& dataDir : dirs.dataDirs) {
        const std::optional<QByteArray> path = findDesktopFile(dataDir + "/applications", id);
        if (!path) continue;
        const std::optional<KeyFile> entry = readKeyFile(*path, /*lowerCaseKeys=*/false);
        if (!entry) return std::nullopt;
        const QByteArray type = valueOf(*entry, "Desktop Entry", "Type");
        const QByteArray hidden = valueOf(*entry, "Desktop Entry", "Hidden");
        const QByteArray tryExec = unescapeValue(valueOf(*entry, "Desktop Entry", "TryExec"));
        if ((!type.isEmpty() && type != "Application") || hidden == "true") return std::nullopt;
        if (!tryExec.isEmpty() && !programExists(tryExec)) return std::nullopt;
        EntryFacts facts;
        facts.name = unescapeValue(valueOf(*entry, "Desktop Entry", "Name"));
        for (const QByteArray& locale : localeNames()) {
            const QByteArray localised = valueOf(*entry, "Desktop Entry", "Name[" + locale + "]");
            if (!localised.isEmpty()) {
                facts.name = unescapeValue(localised);
                break;
            }
        }
        facts.icon = unescapeValue(valueOf(*entry, "Desktop Entry", "Icon"));
        facts.location = *path;
        // An entry that cannot be made safe is passed over for the next one.
        const QByteArray exec = unescapeValue(valueOf(*entry, "Desktop Entry", "Exec"));
        const std::optional<QByteArray> command = commandFromExec(exec, facts);
        if (!command && splitCommandLine(exec) && !exec.isEmpty()) *passedOver = true;
        if (!command || valueOf(*entry, "Desktop Entry", "Terminal") != "true") return command;
        // Started without a terminal, such a program would run unseen with nothing to read from.
        const std::optional<QByteArray> terminal = terminalProgram();
        if (!terminal) return std::nullopt;
        return *terminal + " -e " + *command;
    }
    return std::nullopt;
}

struct MimeAppsList {
    QByteArray path;
    bool desktopSpecific;  // such files only name defaults
};

QList<MimeAppsList> mimeAppsChain(const XdgDirs& dirs) {
    QList<QByteArray> folders = dirs.configDirs;
    for (const QByteArray& dataDir : dirs.dataDirs) folders.append(dataDir + "/applications");
    QList<MimeAppsList> chain;
    for (const QByteArray& folder : folders) {
        for (const QByteArray& desktop : dirs.desktops)
            chain.append({folder + '/' + desktop + "-mimeapps.list", true});
        chain.append({folder + "/mimeapps.list", false});
    }
    return chain;
}

std::optional<QByteArray> defaultCommandForType(const XdgDirs& dirs, const QByteArray& type,
                                                bool* passedOver) {
    const QByteArray key = type.toLower();
    QList<KeyFile> lists;
    QList<bool> specific;
    for (const MimeAppsList& list : mimeAppsChain(dirs)) {
        if (std::optional<KeyFile> file = readKeyFile(list.path, /*lowerCaseKeys=*/true)) {
            lists.append(*file);
            specific.append(list.desktopSpecific);
        }
    }
    // The first installed default along the chain.
    for (const KeyFile& list : lists)
        for (const QByteArray& id : desktopIds(valueOf(list, "Default Applications", key)))
            if (std::optional<QByteArray> command = applicationCommand(dirs, id, passedOver)) return command;
    // Otherwise the most preferred association: added ones in chain order, then the caches, never a
    // removed one.
    QSet<QByteArray> removed;
    for (qsizetype i = 0; i < lists.size(); ++i) {
        if (specific[i]) continue;
        for (const QByteArray& id : desktopIds(valueOf(lists[i], "Added Associations", key)))
            if (!removed.contains(id))
                if (std::optional<QByteArray> command = applicationCommand(dirs, id, passedOver))
                    return command;
        for (const QByteArray& id : desktopIds(valueOf(lists[i], "Removed Associations", key)))
            removed.insert(id);
    }
    for (const QByteArray& dataDir : dirs.dataDirs) {
        const std::optional<KeyFile> cache = readKeyFile(dataDir + "/applications/mimeinfo.cache", true);
        if (!cache) continue;
        for (const QByteArray& id : desktopIds(valueOf(*cache, "MIME Cache", key)))
            if (!removed.contains(id))
                if (std::optional<QByteArray> command = applicationCommand(dirs, id, passedOver))
                    return command;
    }
    return std::nullopt;
}

// A type with no application of its own is opened by its nearest parent's (a C source by the text editor).
std::optional<QByteArray> commandForType(const XdgDirs& dirs, const QByteArray& type, bool* passedOver) {
    QList<QByteArray> level{type};
    QSet<QByteArray> seen{type.toLower()};
    for (int depth = 0; depth <= kMaxParentLevels && !level.isEmpty(); ++depth) {
        QList<QByteArray> next;
        for (const QByteArray& candidate : level) {
            if (std::optional<QByteArray> command = defaultCommandForType(dirs, candidate, passedOver))
                return command;
            for (const QByteArray& parent : parentTypes(dirs, candidate))
                if (!seen.contains(parent.toLower())) {
                    seen.insert(parent.toLower());
                    next.append(parent);
                }
        }
        level = next;
    }
    return std::nullopt;
}

class XdgAssociationStore : public AssociationStore {
  public:
    long openKey(const QByteArray& subKey, AssociationKey* key) override {
        const XdgDirs dirs = currentDirs();
        std::optional<QByteArray> value;
        bool passedOver = false;
        // MIME types never begin with a dot, so a dotted name is always an extension, whatever follows.
        if (subKey.startsWith('.')) {
            if (subKey.size() > 1) value = mimeTypeForExtension(dirs, subKey);
        } else if (subKey.size() > kCommandSuffix.size() &&
                   sameText(subKey.right(kCommandSuffix.size()), kCommandSuffix)) {
            value = commandForType(dirs, subKey.left(subKey.size() - kCommandSuffix.size()), &passedOver);
        }
        if (!value) return passedOver ? kStatusUnsafeCommand : kStatusFileNotFound;
        *key = nextKey_++;
        open_[*key] = *value;
        return kStatusSuccess;
    }

    long readDefaultValue(AssociationKey key, char* buffer, std::uint32_t* countBytes) override {
        const auto handle = open_.find(key);
        if (handle == open_.end()) return /*ERROR_INVALID_HANDLE=*/6;
        const auto neededBytes = static_cast<std::uint32_t>(handle->second.size() + 1);  // with its NUL
        if (neededBytes > *countBytes) {
            *countBytes = neededBytes;
            return kStatusMoreData;
        }
        std::memcpy(buffer, handle->second.constData(), neededBytes);
        *countBytes = neededBytes;
        return kStatusSuccess;
    }

    void closeKey(AssociationKey key) override { open_.erase(key); }

    // shared-mime-info through QMimeDatabase, as the desktop's own file type query answers: the name's
    // globs, then the content's magic. The file is read by its bytes, so a name that is not UTF-8 is
    // still read.
    QByteArray contentType(const QByteArray& path) override {
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return {};
        QByteArray head(kContentBytes, '\0');
        qsizetype got = 0;
        while (got < head.size()) {
            const ssize_t n = ::read(fd, head.data() + got, static_cast<size_t>(head.size() - got));
            if (n <= 0) break;
            got += n;
        }
        ::close(fd);
        head.truncate(got);
        const QString name = QFile::decodeName(path.mid(path.lastIndexOf('/') + 1));
        const QMimeType type = QMimeDatabase().mimeTypeForFileNameAndData(name, head);
        if (!type.isValid()) return {};
        return type.name().toUtf8();
    }

  private:
    std::map<AssociationKey, QByteArray> open_;
    AssociationKey nextKey_ = 1;
};

}  // namespace

std::unique_ptr<AssociationStore> makeSystemAssociationStore() {
    return std::make_unique<XdgAssociationStore>();
}

}  // namespace trovander
