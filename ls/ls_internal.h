// Internal routines of libls, shared by its modules and its unit tests but
// not exported from the shared library.
//
// The registry (ls_valid.cc), locality (ls_locality.cc) and temporary-file
// registration (ls_misc.cc) keep the names the rest of the product knows
// them by, as do the browse steps (ls/browse.h).  Every routine here
// reports through its result and the machine's log; none throws.

#ifndef RUDED_LS_LS_INTERNAL_H_
#define RUDED_LS_LS_INTERNAL_H_

#include <stddef.h>

#include "ls.h"
#include "sspi.h"

namespace ls {

// Sizes of the fixed buffers of one operation; each text holds one byte
// less than its buffer.  Text that would not fit is refused.
inline constexpr size_t kTextSize = 520;      // node name, alias, value
inline constexpr size_t kKeywordSize = 40;    // keyword read from a list
inline constexpr size_t kLineSize = 4096;     // command and remote line
inline constexpr size_t kTempNameSize = 1024; // temporary file name
inline constexpr size_t kNextWordSize = 40;   // word read by LSQuerynext
inline constexpr int kMaxServerName = 30;     // registry: longest name

inline constexpr char kRegistryPath[] = "/etc/KELDA_servers";
inline constexpr char kDevTabVariable[] = "OAM_DEVTAB";
inline constexpr char kDevTabDefault[] = "/etc/device.tab";
inline constexpr char kCommandDir[] = "/usr/sadm/sysadm/bin/";
inline constexpr char kQueryTemplate[] = "/tmp/ZU_queryXXXXXX";
inline constexpr char kParamTemplate[] = "/tmp/ZU_paramXXXXXX";
inline constexpr char kBrowseTemplate[] = "/tmp/ZU_browseXXXXXX";
inline constexpr char kPerformTemplate[] = "/tmp/ZU_performXXXXXX";

}  // namespace ls

// Reads the name-server registry (or, without one, the System object's
// name_servers).  Returns the accepted names joined by commas in a malloc()ed
// text the caller free()s, or NULL when none is registered or on any failure.
char* LSGetservers();

// Takes (lock_KELDA) or releases (unlock_KELDA) a shared whole-file record
// lock on fd without waiting.  0 on success, -1 when the lock was not granted.
int lock_KELDA(int fd);
int unlock_KELDA(int fd);

// 1 when name is this machine's node name, 0 when not (also for NULL),
// -1 when this machine's node name cannot be read.
int is_local(const char* name);

// 1 when name is a registered name server, 0 when not (also without a
// registry), -1 for NULL.  Reads the registry afresh on every call.
int verify_node(const char* name);

// Puts path (unmapped) on the process's cleanup list, or takes it off.
// A failure is reported with OTerror; neither returns anything.
void LS_add_temp_file(const char* path);
void LS_rem_temp_file(const char* path);

#endif  // RUDED_LS_LS_INTERNAL_H_
