#include "cspec/state.h"

#include <errno.h>
#include <stdarg.h>

int opt_mode = 0;
int opt_debug = 0;
int opt_c = 0;
int scsi_major = 0;
char tmpdev_name[kTmpdevNameSize] = "";
FILE* device_info_fp = nullptr;

void debug(const char* format, ...) {
  if (!opt_debug) return;
  int saved = errno;
  va_list args;
  va_start(args, format);
  vfprintf(stderr, format, args);
  va_end(args);
  errno = saved;
}

void debug_perror(const char* label) {
  if (!opt_debug) return;
  int saved = errno;
  perror(label);
  errno = saved;
}
