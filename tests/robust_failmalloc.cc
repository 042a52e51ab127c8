// robust_failmalloc.so: preloaded (LD_PRELOAD) into a staged program by the
// allocation-failure tests, to fail one chosen allocation of the run, which
// runs from this library's load to the process's exit.
//
//   ROBUST_ALLOC_FAIL   number (from 0) of the allocation that fails with
//                       ENOMEM; none when unset
//   ROBUST_ALLOC_COUNT  file that receives, at the exit,
//                       "<allocations> <1 when the failure happened>\n";
//                       a run that dies of a signal writes nothing
//
// malloc, calloc and realloc are counted; the blocks themselves come from
// glibc's allocator.  Nothing here allocates, so that the counting cannot
// count itself.  Not for sanitizer builds, whose allocator it would bypass.

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* g_count_file = nullptr;
long g_fail_at = -1;

bool g_counting = false;  // from the load to the exit
long g_calls = 0;
bool g_failed = false;

__attribute__((constructor)) void Setup() {
  g_count_file = getenv("ROBUST_ALLOC_COUNT");
  if (const char* fail = getenv("ROBUST_ALLOC_FAIL")) g_fail_at = atol(fail);
  // A preloaded fakeroot finds the calls it wraps on its first use, with
  // allocations of its own that it survives failing: make that happen now,
  // before the count.
  struct stat st;
  stat("/", &st);
  g_counting = true;
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

// The program's destructors and those of the libraries loaded after this
// one have run by now.
__attribute__((destructor)) void Finish() {
  g_counting = false;
  Report();
}

// Numbers one allocation; true when it is the one to fail.
bool Fails() {
  if (!g_counting) return false;
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
}  // extern "C"
