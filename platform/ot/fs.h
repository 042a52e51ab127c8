// Small file-system helpers shared by the object-tool stand-in: directory
// creation under the machine root, and the one place that turns errno into
// a message.  Descriptors are owned by platform::UniqueFd.

#ifndef RUDED_PLATFORM_OT_FS_H_
#define RUDED_PLATFORM_OT_FS_H_

#include <string>

namespace ot {

// "<call>(<path>): <strerror(error)>", the form of every system error
// message here.  path is the unmapped path the user knows.
std::string SysError(const std::string& call, const std::string& path,
                     int error);

// Creates the directory path (unmapped, absolute) and its missing parents
// below the machine root, mode 0755.  The machine root itself must exist.
// Returns false with a message in *err.
bool MakeDirs(const std::string& path, std::string* err);

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_FS_H_
