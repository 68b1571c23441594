#include "platform/AssociationStore_memory.h"

#include <cstring>

namespace trovander {

void MemoryAssociationStore::setText(const QByteArray& subKey, const QByteArray& text) {
    QByteArray stored = text;
    stored.append('\0');
    keys_[subKey.toLower()] = stored;
}

void MemoryAssociationStore::setBytes(const QByteArray& subKey, const QByteArray& bytes) {
    keys_[subKey.toLower()] = bytes;
}

void MemoryAssociationStore::addKey(const QByteArray& subKey) { keys_[subKey.toLower()] = std::nullopt; }

long MemoryAssociationStore::openKey(const QByteArray& subKey, AssociationKey* key) {
    const QByteArray name = subKey.toLower();
    if (keys_.find(name) == keys_.end()) return kStatusFileNotFound;
    *key = nextKey_++;
    open_[*key] = name;
    return kStatusSuccess;
}

long MemoryAssociationStore::readDefaultValue(AssociationKey key, char* buffer, std::uint32_t* countBytes) {
    const auto handle = open_.find(key);
    if (handle == open_.end()) return /*ERROR_INVALID_HANDLE=*/6;
    const std::optional<QByteArray>& value = keys_[handle->second];
    if (!value) return kStatusFileNotFound;
    const auto sizeBytes = static_cast<std::uint32_t>(value->size());
    if (sizeBytes > *countBytes) {
        *countBytes = sizeBytes;
        return kStatusMoreData;
    }
    std::memcpy(buffer, value->constData(), sizeBytes);
    *countBytes = sizeBytes;
    return kStatusSuccess;
}

void MemoryAssociationStore::closeKey(AssociationKey key) { open_.erase(key); }

}  // namespace trovander
