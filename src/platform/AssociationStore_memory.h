// An association store held in memory, for tests and for machines without any associations.
#pragma once

#include <QByteArray>
#include <map>
#include <optional>
#include <set>

#include "platform/AssociationStore.h"

namespace trovander {

class MemoryAssociationStore : public AssociationStore {
  public:
    // A key with a text default value, stored with its terminating NUL (as the registry stores text).
    void setText(const QByteArray& subKey, const QByteArray& text);
    // A key whose default value is exactly these bytes: without a NUL at the end the reader loses the
    // last byte, as the registry's count rule implies.
    void setBytes(const QByteArray& subKey, const QByteArray& bytes);
    // A key that exists but has no default value.
    void addKey(const QByteArray& subKey);

    // The content type the store gives for a path.
    void setContentType(const QByteArray& path, const QByteArray& type) { contentTypes_[path] = type; }

    long openKey(const QByteArray& subKey, AssociationKey* key) override;
    long readDefaultValue(AssociationKey key, char* buffer, std::uint32_t* countBytes) override;
    void closeKey(AssociationKey key) override;
    QByteArray contentType(const QByteArray& path) override {
        const auto found = contentTypes_.find(path);
        return found == contentTypes_.end() ? QByteArray() : found->second;
    }

    // Keys opened and not yet closed.
    int openKeyCount() const { return static_cast<int>(open_.size()); }

  private:
    std::map<QByteArray, std::optional<QByteArray>> keys_;  // by lower-case name
    std::map<AssociationKey, QByteArray> open_;             // handle -> lower-case name
    AssociationKey nextKey_ = 1;
    std::map<QByteArray, QByteArray> contentTypes_;
};

}  // namespace trovander
