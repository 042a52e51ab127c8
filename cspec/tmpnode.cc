#include "cspec/tmpnode.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "cspec/state.h"
#include "platform/os/os.h"

namespace {

constexpr int kSignals[] = {SIGHUP, SIGINT, SIGTERM};

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

void set_mapped_path() {
  std::string parent = platform::MapPath(CSPECIALS_DIR);
  parent.resize(parent.rfind('/') + 1);
  std::string path = parent + tmpdev_name;
  // A root too long for a path buffer: the relative name still works,
  // since the current directory does not change after it is set.
  if (path.size() >= sizeof g_mapped_tmpdev) path = tmpdev_name;
  memcpy(g_mapped_tmpdev, path.c_str(), path.size() + 1);
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
  return _xmknod(XMKNOD_VER, tmpdev_name, kNodeMode, dev);
}

void remove_tmp_node() { unlink(tmpdev_name); }
