// The machine root and the old platform's versioned system calls.
//
// Every absolute path that the product and the stand-ins use is resolved
// under the machine root: the directory named by the environment variable
// RUDED_ROOT, or "/" when it is unset or empty.  MapPath() is the one place
// that does this; every file-system call of the product goes through it.
// Messages keep showing the unmapped path, as a machine whose root is "/"
// would print them.
//
// The product's device numbers are 32 bits wide; they reach Linux as
// makedev(dev >> 20, dev & 0xFFFFF) and are read back the same way.

#ifndef RUDED_PLATFORM_OS_OS_H_
#define RUDED_PLATFORM_OS_OS_H_

#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef __cplusplus
#include <string>
#include <string_view>
#endif

#define RUDED_ROOT_ENV "RUDED_ROOT"

// The version argument of _xmknod and _xstat; only this one exists.
#define XMKNOD_VER 2
#define XSTAT_VER 2

// Size of each field of the old system's identification record.
#define SVR4_SYS_NMLN 257

// The identification record that nuname() fills: five 257-byte fields,
// the node name second.
struct svr4_utsname {
  char sysname[SVR4_SYS_NMLN];
  char nodename[SVR4_SYS_NMLN];
  char release[SVR4_SYS_NMLN];
  char version[SVR4_SYS_NMLN];
  char machine[SVR4_SYS_NMLN];
};

#ifdef __cplusplus
extern "C" {
#endif

// Creates the node at path (mapped under the machine root) with the given
// mode and 32-bit device number.  Returns 0, or -1 with errno set.
int _xmknod(int version, const char* path, mode_t mode, uint32_t dev);

// Status of path (mapped, symbolic links followed).  st_rdev holds the
// 32-bit device number of a special file.  Returns 0, or -1 with errno set.
int _xstat(int version, const char* path, struct stat* buf);

// Fills *name; the node name is the first line of $RUDED_ROOT/etc/nodename
// when the root is set and that file exists, else the system's own.
// Returns 0, or -1 with errno set.
int nuname(struct svr4_utsname* name);

#ifdef __cplusplus
}  // extern "C"

namespace platform {

// The machine root as an absolute path without a trailing slash; empty for
// "/".  A relative RUDED_ROOT is taken from the working directory of the
// first call that sees it.
std::string MachineRoot();

// Maps an absolute path under the machine root.  Relative paths and the
// empty path are returned unchanged.
std::string MapPath(std::string_view path);

// The SVR4 uname(): the same record as nuname().
int uname(svr4_utsname* name);

// This machine's node name, as nuname() reports it ("" on failure).
std::string NodeName();

// Converts between the product's 32-bit device numbers and Linux's.
dev_t ToLinuxDev(uint32_t dev);
uint32_t FromLinuxDev(dev_t dev);

}  // namespace platform
#endif

#endif  // RUDED_PLATFORM_OS_OS_H_
