#include <direct.h>
#include <windows.h>

#include <cstdlib>

#include "platform/DriveProbe.h"

namespace trovander {
namespace {

class LetterDriveProbe final : public DriveProbe {
  public:
    std::vector<std::string> candidates() override {
        std::vector<std::string> letters;
        for (char c = 'a'; c <= 'z'; ++c) letters.emplace_back(1, c);
        return letters;
    }

    // Passes when the drive can be made the current drive. The remembered folder is set again afterwards;
    // the C runtime's _wchdir restores its drive with it, which nothing in the program depends on. Wide, so
    // a current folder with a name outside the ANSI code page is set again as it was.
    bool validDrive(const std::string& drive) override {
        if (drive.size() != 1) return false;
        const char letter = static_cast<char>(drive[0] | 0x20);
        if (letter < 'a' || letter > 'z') return false;
        wchar_t* remembered = _wgetcwd(nullptr, 0);
        if (!remembered) return false;
        // An empty removable drive must fail quietly, not raise the system's "insert a disk" box.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        const bool made = _chdrive(letter - 'a' + 1) == 0;
        const bool restored = _wchdir(remembered) == 0;
        SetErrorMode(oldMode);
        std::free(remembered);
        return made && restored;
    }
};

}  // namespace

std::unique_ptr<DriveProbe> makeSystemDriveProbe() { return std::make_unique<LetterDriveProbe>(); }

}  // namespace trovander
