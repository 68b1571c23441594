// A place for what only this user may reach (the single instance's socket), and who is at the other end
// of a local socket. A name in a folder that another user can write may be taken first by that user.
#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace trovander {

// A folder that only this user can enter: the runtime folder where it is one (a real folder, owned by this
// user, closed to everyone else); otherwise a folder of this user's own in the temporary folder, made
// 0700 and checked the same way. Empty text where local socket names are private without a folder (Windows
// pipes are per session); none when no such folder can be had.
std::optional<QString> privateRuntimeFolder();

// Whether the process at the other end of a connected local socket runs as this user.
bool peerIsThisUser(qintptr socketDescriptor);

}  // namespace trovander
