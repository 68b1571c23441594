// The registry itself, read-only under HKEY_CLASSES_ROOT; statuses are passed on as the registry gives them.
#define NOMINMAX
#include <windows.h>

#include "platform/AssociationStore.h"

namespace trovander {

namespace {

class RegistryAssociationStore : public AssociationStore {
  public:
    long openKey(const QByteArray& subKey, AssociationKey* key) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.constData(), 0, KEY_READ, &opened);
        if (status == ERROR_SUCCESS) *key = reinterpret_cast<AssociationKey>(opened);
        return status;
    }

    long readDefaultValue(AssociationKey key, char* buffer, std::uint32_t* countBytes) override {
        DWORD type = REG_SZ;  // what comes back is not read: every value is taken as text
        DWORD count = *countBytes;
        const LONG status = RegQueryValueExA(reinterpret_cast<HKEY>(key), "", nullptr, &type,
                                             reinterpret_cast<BYTE*>(buffer), &count);
        *countBytes = count;
        return status;
    }

    void closeKey(AssociationKey key) override { RegCloseKey(reinterpret_cast<HKEY>(key)); }
};

}  // namespace

std::unique_ptr<AssociationStore> makeSystemAssociationStore() {
    return std::make_unique<RegistryAssociationStore>();
}

}  // namespace trovander
