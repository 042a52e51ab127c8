// The process's cleanup list: temporary files that are removed when the
// process exits, unless they were taken off the list before.
//
// OTcleanup() in ot.h is the C face of this list.  Each entry keeps the
// path as given (to find it again) and the path mapped under the machine
// root when it was added (to remove it), so a later change of RUDED_ROOT
// cannot make the exit handler remove another machine's file.

#ifndef RUDED_PLATFORM_OT_CLEANUP_H_
#define RUDED_PLATFORM_OT_CLEANUP_H_

#include <string>
#include <string_view>

namespace ot {

// Adds path; the first addition installs the exit handler.  The same path
// may be listed more than once; each addition needs its own removal.
// Returns false without storage.
bool AddCleanupPath(const std::string& path);

// Takes one listing of path off.  False when it is not listed.  Needs no
// storage, so a file can always be withdrawn once it is gone.
bool RemoveCleanupPath(std::string_view path);

// Removes every listed file and empties the list (what the exit handler
// does).  Returns the number of files unlinked.
int RunCleanup();

// The number of listed paths.
size_t CleanupCount();

}  // namespace ot

#endif  // RUDED_PLATFORM_OT_CLEANUP_H_
