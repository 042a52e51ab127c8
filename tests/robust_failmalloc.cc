// robust_failmalloc.so: preloaded (LD_PRELOAD) into a staged program by the
// allocation-failure tests, to fail one chosen allocation of one phase of
// the run: the time while a directory whose path ends in ROBUST_ALLOC_DIR
// is open, from its opendir to its closedir (for qv_cspec: the scan of
// cspecials).
//
//   ROBUST_ALLOC_DIR    end of the directory's path, such as "/cspecials"
//   ROBUST_ALLOC_FAIL   number (from 0) of the allocation in that phase
//                       that fails with ENOMEM; none when unset
//   ROBUST_ALLOC_COUNT  file that receives, when the phase ends,
//                       "<allocations> <1 when the failure happened>\n"
//
// malloc, calloc and realloc are counted; the blocks themselves come from
// glibc's allocator.  Nothing here allocates, so that the counting cannot
// count itself.  Not for sanitizer builds, whose allocator it would bypass.

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using OpendirFn = DIR* (*)(const char*);
using ClosedirFn = int (*)(DIR*);

OpendirFn g_opendir = nullptr;
ClosedirFn g_closedir = nullptr;
const char* g_dir_suffix = nullptr;
const char* g_count_file = nullptr;
long g_fail_at = -1;

DIR* g_watched = nullptr;  // the open directory of the phase
long g_calls = 0;
bool g_failed = false;

__attribute__((constructor)) void Setup() {
  g_opendir = reinterpret_cast<OpendirFn>(dlsym(RTLD_NEXT, "opendir"));
  g_closedir = reinterpret_cast<ClosedirFn>(dlsym(RTLD_NEXT, "closedir"));
  g_dir_suffix = getenv("ROBUST_ALLOC_DIR");
  g_count_file = getenv("ROBUST_ALLOC_COUNT");
  if (const char* fail = getenv("ROBUST_ALLOC_FAIL")) g_fail_at = atol(fail);
  // A preloaded fakeroot finds the calls it wraps on its first use, with
  // allocations of its own that it survives failing: make that happen now,
  // outside the phase.
  struct stat st;
  stat("/", &st);
}

bool EndsWith(const char* text, const char* suffix) {
  size_t n = strlen(text), m = strlen(suffix);
  return n >= m && strcmp(text + n - m, suffix) == 0;
}

// Writes "<calls> <failed>\n" with write(2) alone.
void Report() {
  if (g_count_file == nullptr) return;
  char line[48];
  char digits[24];
  int d = 0;
  long v = g_calls;
  do {
    digits[d++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
  int n = 0;
  while (d > 0) line[n++] = digits[--d];
  line[n++] = ' ';
  line[n++] = g_failed ? '1' : '0';
  line[n++] = '\n';
  int fd = open(g_count_file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ssize_t written = write(fd, line, static_cast<size_t>(n));
  (void)written;
  close(fd);
}

// Numbers one allocation of the phase; true when it is the one to fail.
bool Fails() {
  if (g_watched == nullptr) return false;
  if (g_calls++ != g_fail_at) return false;
  g_failed = true;
  errno = ENOMEM;
  return true;
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

__attribute__((visibility("default"))) void* malloc(size_t size) {
  return Fails() ? nullptr : __libc_malloc(size);
}

__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) {
  return Fails() ? nullptr : __libc_calloc(count, size);
}

__attribute__((visibility("default"))) void* realloc(void* block, size_t size) {
  return Fails() ? nullptr : __libc_realloc(block, size);
}

__attribute__((visibility("default"))) DIR* opendir(const char* path) {
  DIR* dir = g_opendir(path);
  if (dir != nullptr && g_watched == nullptr && g_dir_suffix != nullptr &&
      EndsWith(path, g_dir_suffix))
    g_watched = dir;
  return dir;
}

__attribute__((visibility("default"))) int closedir(DIR* dir) {
  if (dir == g_watched) {
    g_watched = nullptr;
    Report();
  }
  return g_closedir(dir);
}
}  // extern "C"
