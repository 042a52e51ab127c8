#include "cspec/tmpnode.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "cspec/alloc.h"
#include "cspec/state.h"
#include "platform/os/os.h"

namespace {

// SIGPIPE: a report piped into a pager that quits; SIGQUIT: Control-\.
constexpr int kSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGPIPE, SIGTERM};

// The mapped absolute path of the node, built before any signal can need
// it: the handler may only call async-signal-safe functions.
char g_mapped_tmpdev[PATH_MAX] = "";

void on_signal(int sig) {
  int saved = errno;
  unlink(g_mapped_tmpdev);
  errno = saved;
  // SA_RESETHAND restored the default action: the signal raised again
  // ends the process as if it had never been caught.
  raise(sig);
}

void map_path() {
  std::string parent = platform::MapPath(CSPECIALS_DIR);
  parent.resize(parent.rfind('/') + 1);
  std::string path = parent + tmpdev_name;
  // A root too long for a path buffer: the relative name still works,
  // since the current directory does not change after it is set.
  if (path.size() >= sizeof g_mapped_tmpdev) path = tmpdev_name;
  memcpy(g_mapped_tmpdev, path.c_str(), path.size() + 1);
}

// Storage exhausted here leaves the relative name in place, which works
// as well while the current directory stays where it is.
void set_mapped_path() {
  memcpy(g_mapped_tmpdev, tmpdev_name, sizeof tmpdev_name);
  skip_on_no_memory(map_path);
}

}  // namespace

void init_tmp_node() {
  snprintf(tmpdev_name, sizeof tmpdev_name, ".tmpdev%d",
           static_cast<int>(getpid()));
  set_mapped_path();
  struct sigaction action = {};
  action.sa_handler = on_signal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int sig : kSignals) sigaddset(&action.sa_mask, sig);
  for (int sig : kSignals) {
    struct sigaction old;
    // A signal the caller chose to ignore stays ignored (nohup).
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
      continue;
    sigaction(sig, &action, nullptr);
  }
}

int make_tmp_node(uint32_t dev) {
  unlink(tmpdev_name);
  int made = or_no_memory(
      -2, [&] { return _xmknod(XMKNOD_VER, tmpdev_name, kNodeMode, dev); });
  if (made == -2) errno = ENOMEM;
  return made < 0 ? -1 : 0;
}

void remove_tmp_node() { unlink(tmpdev_name); }
