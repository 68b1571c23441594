// File associations read the way the Windows registry gives them under HKEY_CLASSES_ROOT: open a key,
// read its default value into a caller's buffer. Only these two operations (and closing) are offered, so
// the lookup logic above them is the same on every platform.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>

namespace trovander {

// Status codes as the registry gives them; any other non-zero value is passed on as it is.
inline constexpr long kStatusSuccess = 0;
inline constexpr long kStatusFileNotFound = 2;  // ERROR_FILE_NOT_FOUND: no such key, or no default value
inline constexpr long kStatusMoreData = 234;    // ERROR_MORE_DATA: the value does not fit the buffer
// A command key whose programs were all passed over because their command lines could hand the file's
// name to a program as code. Bit 29 marks an application's own code, which the registry never gives.
inline constexpr long kStatusUnsafeCommand = 0x20000001;

using AssociationKey = std::uintptr_t;

class AssociationStore {
  public:
    virtual ~AssociationStore() = default;

    // Opens subKey (path parts separated by "\", names matched without regard to case) for reading.
    // On success the key is written and must be closed with closeKey.
    virtual long openKey(const QByteArray& subKey, AssociationKey* key) = 0;

    // Reads the key's default value as single-byte text. On entry *countBytes is the buffer's size; on
    // success it is the number of bytes written, the terminating NUL included when the value has one.
    // kStatusMoreData when the value (with its NUL) is larger than the buffer: *countBytes is then the
    // size needed and the buffer is left as it was.
    virtual long readDefaultValue(AssociationKey key, char* buffer, std::uint32_t* countBytes) = 0;

    virtual void closeKey(AssociationKey key) = 0;

    // The type the file's content gives (its name and its first bytes, as the desktop reads them), asked
    // when the extension names no program; a name usable as a file type key. Empty where the store has no
    // such notion (the registry) or the file cannot be read.
    virtual QByteArray contentType(const QByteArray& path) {
        (void)path;
        return {};
    }
};

// The desktop's own associations: the registry on Windows, shared-mime-info and the desktop entries'
// default applications elsewhere.
std::unique_ptr<AssociationStore> makeSystemAssociationStore();

}  // namespace trovander
