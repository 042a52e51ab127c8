#include "cspec/machine_root.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/os/os.h"

namespace {

// Why dir may not lead to a root-run command's files, or nullptr.  A
// status that cannot be read is no reason: the steps that use the
// directory report it.
const char* unsafe_because(const std::string& dir, bool is_root) {
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return nullptr;
  if (st.st_uid != 0) return "is not owned by root";
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0) return nullptr;
  if (!is_root && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) return nullptr;
  return "is writable by group or others";
}

std::string parent_of(const std::string& dir) {
  size_t slash = dir.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : dir.substr(0, slash);
}

}  // namespace

int check_machine_root() {
  if (geteuid() != 0) return 0;
  std::string root = platform::MachineRoot();
  if (root.empty()) return 0;
  char resolved[PATH_MAX];
  if (realpath(root.c_str(), resolved) == nullptr) return 0;
  for (std::string dir = resolved;; dir = parent_of(dir)) {
    if (const char* why = unsafe_because(dir, dir == resolved)) {
      fprintf(stderr, "qv_cspec: Error: Unsafe machine root %s: %s %s\n",
              root.c_str(), dir.c_str(), why);
      return -1;
    }
    if (dir == "/") return 0;
  }
}
