#include "platform/scsi/errno_names.h"

#include <errno.h>

namespace scsi {
namespace {

struct ErrnoEntry {
  std::string_view name;
  int value;
};

// The errors an open of a device node can plausibly end with.
constexpr ErrnoEntry kErrnoNames[] = {
    {"EPERM", EPERM},   {"ENOENT", ENOENT},       {"EINTR", EINTR},
    {"EIO", EIO},       {"ENXIO", ENXIO},         {"EBADF", EBADF},
    {"EAGAIN", EAGAIN}, {"ENOMEM", ENOMEM},       {"EACCES", EACCES},
    {"EFAULT", EFAULT}, {"EBUSY", EBUSY},         {"ENODEV", ENODEV},
    {"EINVAL", EINVAL}, {"ENFILE", ENFILE},       {"EMFILE", EMFILE},
    {"ENOTTY", ENOTTY}, {"EROFS", EROFS},         {"ENOSPC", ENOSPC},
    {"ENOSYS", ENOSYS}, {"ETIMEDOUT", ETIMEDOUT}, {"EOPNOTSUPP", EOPNOTSUPP},
};

}  // namespace

int ErrnoFromName(std::string_view name) {
  for (const ErrnoEntry& e : kErrnoNames)
    if (e.name == name) return e.value;
  return 0;
}

std::string_view ErrnoName(int value) {
  for (const ErrnoEntry& e : kErrnoNames)
    if (e.value == value) return e.name;
  return "";
}

}  // namespace scsi
