// A private machine root for libls's fuzz targets, so that whatever the
// library logs goes to a scratch log and never to the real /var/adm.

#ifndef RUDED_FUZZ_LS_FUZZ_ROOT_H_
#define RUDED_FUZZ_LS_FUZZ_ROOT_H_

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace ls_fuzz {

inline std::string g_dir;

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

// The scratch directory goes when the fuzzer exits.
inline void RemoveDir() {
  if (!g_dir.empty()) nftw(g_dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Makes <tmp>/ls_fuzz.XXXXXX/m with etc/nodename "alpha" and var/adm/, sets
// RUDED_ROOT to it and returns it.
inline std::string MakeRoot() {
  const char* base = getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/ls_fuzz.XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) abort();
  g_dir = dir;
  atexit(RemoveDir);
  const std::string root = dir + "/m";
  for (const char* d : {"", "/etc", "/tmp", "/var", "/var/adm"})
    mkdir((root + d).c_str(), 0755);
  FILE* f = fopen((root + "/etc/nodename").c_str(), "w");
  if (f == nullptr) abort();
  fputs("alpha\n", f);
  fclose(f);
  setenv("RUDED_ROOT", root.c_str(), 1);
  unsetenv("OAM_TRACE");
  return root;
}

}  // namespace ls_fuzz

#endif  // RUDED_FUZZ_LS_FUZZ_ROOT_H_
