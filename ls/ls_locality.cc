// Locality: is a node name this machine, and is it a registered name
// server.

#include <stdlib.h>
#include <string.h>

#include "ls/frame.h"
#include "ls/ls_internal.h"
#include "platform/os/os.h"
#include "platform/ot/ot.h"

int is_local(const char* name) {
  if (name == nullptr) return 0;
  IOTrace(7, "is_local", "nameserver to check %s", name);
  svr4_utsname u;
  // Reading the simulated node name takes storage: this is the one step
  // below IsLocalAlias() and IsLocalSearch() that can throw.
  if (ls::Guarded("is_local", -1, [&] { return platform::uname(&u); }) != 0) {
    IOTrace(7, "is_local", "uname() failed");
    return -1;
  }
  IOTrace(7, "is_local", "compare nameserver %s to local nodename %s", name,
          u.nodename);
  // Exact bytes: no case folding, no domain stripping.
  return strcmp(name, u.nodename) == 0 ? 1 : 0;
}

int verify_node(const char* name) {
  IOTrace(7, "verify_node", "verify node ");
  if (name == nullptr) return -1;
  IOTrace(7, "verify_node", "verify node %s", name);
  IOTrace(7, "verify_node", "calling LSGetservers");
  char* servers = LSGetservers();
  if (servers == nullptr) {
    IOTrace(7, "verify_node", "status %d", 0);
    return 0;
  }
  int status = 0;
  char** names = ParseCommaList(servers);
  if (names != nullptr) {
    for (char** n = names; *n != nullptr; ++n) {
      if (strcmp(*n, name) == 0) {
        status = 1;
        break;
      }
    }
    DestroyCommaList(names);
  }
  free(servers);
  IOTrace(7, "verify_node", "status %d", status);
  return status;
}
