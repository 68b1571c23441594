#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/MountTable.h"

namespace trovander {
namespace {

// mountinfo writes blank, tab, newline and backslash in paths as three octal digits after a backslash.
std::string decodePath(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                            (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (start < line.size()) {
        const size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) fields.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

bool parseInt(std::string_view text, int& value) {
    if (text.empty()) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || v > 100'000'000) return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

// True when path is folder itself or lies inside it.
bool isWithin(std::string_view path, std::string_view folder) {
    if (folder == "/") return !path.empty() && path.front() == '/';
    return path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string joinPath(const std::string& folder, std::string_view rest) {
    if (rest.empty()) return folder;
    if (folder == "/") return std::string(rest);
    return folder + std::string(rest);
}

class MountTableDriveProbe final : public DriveProbe {
  public:
    explicit MountTableDriveProbe(std::function<std::string()> readTable)
        : readTable_(std::move(readTable)) {}

    std::vector<std::string> candidates() override {
        const std::vector<std::string> drives = drivesOfMountTable(parseMountTable(readTable_()));
        // Without a readable table (no /proc), the root file system is still there to walk.
        if (drives.empty()) return {std::string("/")};
        return drives;
    }

    bool validDrive(const std::string& drive) override {
        const int fd = ::open(drive.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return false;
        ::close(fd);
        return true;
    }

  private:
    std::function<std::string()> readTable_;
};

}  // namespace

std::vector<MountEntry> parseMountTable(std::string_view text) {
    std::vector<MountEntry> table;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::vector<std::string_view> f = splitFields(text.substr(start, end - start));
        start = end + 1;
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
        if (f.size() < 7 || dash - f.begin() < 6 || f.end() - dash < 2) continue;
        MountEntry e;
        if (!parseInt(f[0], e.id) || !parseInt(f[1], e.parentId)) continue;
        e.device = std::string(f[2]);
        e.root = decodePath(f[3]);
        e.mountPoint = decodePath(f[4]);
        e.fsType = std::string(*(dash + 1));
        if (e.mountPoint.empty() || e.mountPoint.front() != '/') continue;
        table.push_back(std::move(e));
    }
    return table;
}

bool isRealFileSystem(std::string_view fsType) {
    static constexpr std::array<std::string_view, 22> kLeftOut = {
        "proc",    "sysfs",    "devtmpfs", "devpts",     "cgroup",    "cgroup2",  "securityfs", "debugfs",
        "tracefs", "pstore",   "bpf",      "mqueue",     "hugetlbfs", "configfs", "fusectl",    "binfmt_misc",
        "autofs",  "efivarfs", "nsfs",     "rpc_pipefs", "tmpfs",     "ramfs"};
    return std::find(kLeftOut.begin(), kLeftOut.end(), fsType) == kLeftOut.end();
}

bool pathLess(std::string_view a, std::string_view b) {
    // The separator ranks below every other byte, so a folder's contents follow it before any sibling name
    // that merely starts with the same letters.
    const auto rank = [](char c) { return c == '/' ? -1 : static_cast<int>(static_cast<unsigned char>(c)); };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return rank(x) < rank(y); });
}

std::vector<std::string> drivesOfMountTable(const std::vector<MountEntry>& table) {
    std::map<int, size_t> byId;
    for (size_t i = 0; i < table.size(); ++i) byId[table[i].id] = i;

    // A mount is hidden when another one sits on the same point on top of it, or when the mount it lies
    // in is hidden: its files are then out of reach and a walk of its mount point meets the other mount.
    std::vector<int> hiddenMemo(table.size(), -1);
    std::function<bool(size_t, int)> hidden = [&](size_t i, int depth) -> bool {
        if (hiddenMemo[i] >= 0) return hiddenMemo[i] == 1;
        bool h = false;
        for (const MountEntry& other : table)
            if (other.parentId == table[i].id && other.id != table[i].id &&
                other.mountPoint == table[i].mountPoint)
                h = true;
        const auto parent = byId.find(table[i].parentId);
        // depth stops a damaged table whose parents form a loop.
        if (!h && parent != byId.end() && parent->second != i && depth < 64 &&
            table[parent->second].mountPoint != table[i].mountPoint)
            h = hidden(parent->second, depth + 1);
        hiddenMemo[i] = h ? 1 : 0;
        return h;
    };

    std::vector<const MountEntry*> visible;
    for (size_t i = 0; i < table.size(); ++i)
        if (!hidden(i, 0)) visible.push_back(&table[i]);

    // The mount that a path lies on: the visible mount with the longest mount point that holds it.
    const auto mountAt = [&](const std::string& path) -> const MountEntry* {
        const MountEntry* best = nullptr;
        for (const MountEntry* m : visible)
            if (isWithin(path, m->mountPoint) && (!best || m->mountPoint.size() > best->mountPoint.size()))
                best = m;
        return best;
    };

    std::vector<const MountEntry*> real;
    for (const MountEntry* m : visible)
        if (isRealFileSystem(m->fsType)) real.push_back(m);
    std::stable_sort(real.begin(), real.end(), [](const MountEntry* a, const MountEntry* b) {
        return pathLess(a->mountPoint, b->mountPoint);
    });
    // Two entries for the same point that both look visible (a damaged table): the first one stands.
    real.erase(
        std::unique(real.begin(), real.end(),
                    [](const MountEntry* a, const MountEntry* b) { return a->mountPoint == b->mountPoint; }),
        real.end());

    // Does mount c show the content of mount e? Same file system, c's root holds e's root, and the folder
    // of c that would show it is not covered by yet another mount.
    const auto shows = [&](const MountEntry* c, const MountEntry* e) {
        if (c->device != e->device || !isWithin(e->root, c->root)) return false;
        const std::string_view rest = std::string_view(e->root).substr(c->root == "/" ? 0 : c->root.size());
        return mountAt(joinPath(c->mountPoint, rest)) == c;
    };

    std::vector<std::string> drives;
    for (size_t i = 0; i < real.size(); ++i) {
        const MountEntry* e = real[i];
        bool covered = false;
        for (size_t j = 0; j < real.size() && !covered; ++j) {
            if (j == i) continue;
            const MountEntry* c = real[j];
            // Of two mounts of the very same folder, the first in path order is the drive.
            if (c->root == e->root && c->device == e->device && j > i) continue;
            covered = shows(c, e);
        }
        if (!covered) drives.push_back(e->mountPoint);
    }
    return drives;
}

std::string readSystemMountTable() {
    std::ifstream in("/proc/self/mountinfo", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<DriveProbe> makeMountTableDriveProbe(std::function<std::string()> readTable) {
    return std::make_unique<MountTableDriveProbe>(std::move(readTable));
}

std::unique_ptr<DriveProbe> makeSystemDriveProbe() { return makeMountTableDriveProbe(readSystemMountTable); }

}  // namespace trovander
