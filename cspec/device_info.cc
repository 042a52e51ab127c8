#include "cspec/device_info.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "cspec/alloc.h"
#include "cspec/state.h"
#include "platform/os/os.h"

namespace {

// The descriptor of the file, opened for writing without emptying it: it
// may still belong to another run, and is emptied only under the lock.  A
// symbolic link is not followed: whoever planted it gets an open failure,
// never a file of root's emptied.
int open_fd() {
  int fd = or_no_memory(-2, [] {
    return open(platform::MapPath(DEVICE_INFO_FILE).c_str(),
                O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  });
  if (fd == -2) errno = ENOMEM;
  return fd < 0 ? -1 : fd;
}

FILE* open_unemptied() {
  int fd = open_fd();
  if (fd < 0) return nullptr;
  FILE* fp = fdopen(fd, "w");
  if (fp == nullptr) {
    int saved = errno;
    close(fd);
    errno = saved;
  }
  return fp;
}

}  // namespace

void open_device_info() {
  device_info_fp = open_unemptied();
  if (device_info_fp == nullptr) {
    fprintf(stderr,
            "qv_cspec: Unable to open SCSI device info file for writing: %d\n",
            errno);
    return;
  }
  int fd = fileno(device_info_fp);
  if (lockf(fd, F_TLOCK, 0) != 0) {
    fprintf(stderr,
            "qv_cspec: Unable to get exclusive lock on SCSI device info "
            "file: %d\n",
            errno);
    fclose(device_info_fp);
    device_info_fp = nullptr;
    return;
  }
  if (ftruncate(fd, 0) != 0) {
    // Not examined, as the lines written from offset 0 replace the start.
  }
}

void close_device_info() {
  if (device_info_fp == nullptr) return;
  rewind(device_info_fp);
  lockf(fileno(device_info_fp), F_ULOCK, 0);
  fclose(device_info_fp);
  device_info_fp = nullptr;
}
