#include "platform/os/os.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <fstream>

namespace platform {
namespace {

void CopyField(char (&field)[SVR4_SYS_NMLN], std::string_view text) {
  size_t n = text.size() < SVR4_SYS_NMLN - 1 ? text.size() : SVR4_SYS_NMLN - 1;
  memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

std::string MachineRoot() {
  // A relative root is taken from the directory the process was in when it
  // first asked, so that it still holds after the command changes directory.
  static std::string raw, absolute;
  const char* root = getenv(RUDED_ROOT_ENV);
  if (root == nullptr || *root == '\0') return "";
  if (raw != root || absolute.empty()) {
    // Both are built before either is replaced: storage running out half
    // way must not leave the new raw root paired with the old machine's
    // absolute one, which later calls would take as settled.
    std::string new_raw = root;
    std::string new_absolute = new_raw;
    if (new_absolute.front() != '/') {
      char cwd[4096];
      if (getcwd(cwd, sizeof cwd) != nullptr)
        new_absolute = std::string(cwd) + "/" + new_absolute;
    }
    while (!new_absolute.empty() && new_absolute.back() == '/')
      new_absolute.pop_back();
    raw.swap(new_raw);
    absolute.swap(new_absolute);
  }
  return absolute;
}

std::string MapPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::string(path);
  return MachineRoot() + std::string(path);
}

int uname(svr4_utsname* name) {
  struct ::utsname sys;
  if (::uname(&sys) != 0) return -1;
  memset(name, 0, sizeof *name);
  CopyField(name->sysname, sys.sysname);
  CopyField(name->release, sys.release);
  CopyField(name->version, sys.version);
  CopyField(name->machine, sys.machine);
  CopyField(name->nodename, sys.nodename);
  if (!MachineRoot().empty()) {
    // A simulated machine names itself in etc/nodename; without that file
    // it keeps the host's name.
    std::ifstream in(MapPath("/etc/nodename"));
    std::string line;
    if (in && std::getline(in, line)) CopyField(name->nodename, line);
  }
  return 0;
}

std::string NodeName() {
  svr4_utsname u;
  if (uname(&u) != 0) return "";
  return u.nodename;
}

dev_t ToLinuxDev(uint32_t dev) { return makedev(dev >> 20, dev & 0xFFFFF); }

uint32_t FromLinuxDev(dev_t dev) {
  return (static_cast<uint32_t>(major(dev)) << 20) |
         (static_cast<uint32_t>(minor(dev)) & 0xFFFFF);
}

}  // namespace platform

extern "C" {

int _xmknod(int version, const char* path, mode_t mode, uint32_t dev) {
  if (version != XMKNOD_VER || path == nullptr) {
    errno = EINVAL;
    return -1;
  }
  return ::mknod(platform::MapPath(path).c_str(), mode,
                 platform::ToLinuxDev(dev));
}

int _xstat(int version, const char* path, struct stat* buf) {
  if (version != XSTAT_VER || path == nullptr || buf == nullptr) {
    errno = EINVAL;
    return -1;
  }
  if (::stat(platform::MapPath(path).c_str(), buf) != 0) return -1;
  buf->st_rdev = platform::FromLinuxDev(buf->st_rdev);
  return 0;
}

int nuname(struct svr4_utsname* name) {
  if (name == nullptr) {
    errno = EFAULT;
    return -1;
  }
  return platform::uname(name);
}

}  // extern "C"
