#include "platform/PrivateFolder.h"

namespace trovander {

// A pipe's name is looked up in the session's own namespace, so no folder is needed.
std::optional<QString> privateRuntimeFolder() { return QString(); }

// Only this session's processes reach its pipes.
bool peerIsThisUser(qintptr /*socketDescriptor*/) { return true; }

}  // namespace trovander
