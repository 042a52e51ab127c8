// Internal routines of libls, shared by its modules and its unit tests but
// not exported from the shared library.
//
// The registry (ls_valid.cc), locality (ls_locality.cc), temporary-file
// registration (ls_misc.cc) and browse steps (browse.cc) keep the names the
// rest of the product knows them by.  Every routine here reports through
// its result and the machine's log; none throws.

#ifndef RUDED_LS_LS_INTERNAL_H_
#define RUDED_LS_LS_INTERNAL_H_

#include <stddef.h>

#include <string>

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

// Device table lookup: the value of OAM_DEVTAB (traced under
// "verify_node"), or NULL when it is unset.  The pointer is the
// environment's own and is valid until the environment changes.
const char* DevTableLookup();

// The device table path handed to object-tool commands: the lookup above
// (traced) or the default when the variable is unset.  A copy of the
// operation's own: the registry read that verifies a node may set and
// restore OAM_DEVTAB before the command is composed, and a pointer into the
// environment would not outlive that.
std::string DevTablePath();

// The same, read straight from the environment without traces.
std::string DevTablePathQuiet();

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

namespace ls {
struct BrowseRecord;
}

// Lists the aliases that match search on node as "node:alias" net
// aliases; NULL when none were found.  search stays the caller's; the
// result is the caller's (OTFreeAliasList).
AliasList* LSBrowse(KeywordList* search, const char* node);

// Writes search into the browse's parameter file and names its output
// file; marks record->setup_failed when either cannot be prepared.
void Setup_for_remote(KeywordList* search, ls::BrowseRecord* record);

// Runs OTgetaliases on node with the parameter file as its input and adds
// each alias it prints to *result as "node:alias".
void do_remote(AliasList** result, const char* node, ls::BrowseRecord* record);

#endif  // RUDED_LS_LS_INTERNAL_H_
