// The registry itself, read-only under HKEY_CLASSES_ROOT, through the wide functions: key names go in and
// values come out as UTF-8, so types and commands that name non-ASCII folders read whole. Statuses are
// passed on as the registry gives them.
#define NOMINMAX
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/AssociationStore.h"
#include "platform/WideText.h"

namespace trovander {

namespace {

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A REG_EXPAND_SZ value as the shell reads it: "%SystemRoot%\system32\NOTEPAD.EXE %1" names a program only
// once its variables are put in, and CreateProcessW puts in none. "%1" is no variable and stays. The
// value's own ending is kept: with a NUL at the end or without.
std::u16string expanded(const std::u16string& value) {
    const bool terminated = !value.empty() && value.back() == u'\0';
    std::u16string source = value;
    if (!terminated) source.push_back(u'\0');
    std::u16string out(source.size() + 64, u'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed =
            ExpandEnvironmentStringsW(wideChars(source), wideChars(out), static_cast<DWORD>(out.size()));
        if (needed == 0) return value;  // left as it was when the system cannot expand it
        if (needed <= out.size()) {
            out.resize(terminated ? needed : needed - 1);
            return out;
        }
        out.assign(needed, u'\0');
    }
    return value;
}

class RegistryAssociationStore : public AssociationStore {
  public:
    long openKey(const QByteArray& subKey, AssociationKey* key) override {
        // Bytes that spell no key name (not UTF-8, or a NUL that would cut it short) name no key.
        const std::optional<std::u16string> name =
            widenName(std::string_view(subKey.constData(), subKey.size()));
        if (!name) return kStatusFileNotFound;
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, wideChars(*name), 0, KEY_READ, &opened);
        if (status == ERROR_SUCCESS) *key = reinterpret_cast<AssociationKey>(opened);
        return status;
    }

    // The value is read whole in UTF-16 and written in UTF-8, so the caller's count is in UTF-8 bytes as
    // the interface promises: a NUL at the end of the text stays one byte at the end.
    long readDefaultValue(AssociationKey key, char* buffer, std::uint32_t* countBytes) override {
        std::vector<BYTE> data(256);
        DWORD type = REG_NONE;
        LONG status = ERROR_MORE_DATA;
        // A value that grows between the size query and the read is asked for again, a few times at most.
        for (int attempt = 0; status == ERROR_MORE_DATA && attempt < 4; ++attempt) {
            DWORD size = static_cast<DWORD>(data.size());
            status = RegQueryValueExW(reinterpret_cast<HKEY>(key), L"", nullptr, &type, data.data(), &size);
            if (status == ERROR_MORE_DATA)
                data.resize(size + 2);
            else if (status == ERROR_SUCCESS)
                data.resize(size);
        }
        if (status != ERROR_SUCCESS) return status;
        std::string value;
        if (isText(type)) {
            std::u16string wide(data.size() / 2, u'\0');
            std::memcpy(wide.data(), data.data(), wide.size() * 2);
            if (type == REG_EXPAND_SZ) wide = expanded(wide);
            value = narrowName(wide);
        } else {
            value.assign(reinterpret_cast<const char*>(data.data()), data.size());  // bytes as they are
        }
        const auto needed = static_cast<std::uint32_t>(value.size());
        if (needed > *countBytes) {
            *countBytes = needed;
            return kStatusMoreData;
        }
        std::memcpy(buffer, value.data(), value.size());
        *countBytes = needed;
        return kStatusSuccess;
    }

    void closeKey(AssociationKey key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

}  // namespace

std::unique_ptr<AssociationStore> makeSystemAssociationStore() {
    return std::make_unique<RegistryAssociationStore>();
}

}  // namespace trovander
