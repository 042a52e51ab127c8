// The allocation-failure tests' one allocator: malloc, calloc and realloc
// numbered from 0, the chosen one failing with ENOMEM as an exhausted heap
// would.  The blocks themselves come from glibc (__libc_malloc and
// friends), and nothing here allocates, so that the count cannot count
// itself.
//
// Built as robust_failmalloc.so, preloaded (LD_PRELOAD) into a staged
// program, it counts the whole run, from its load to the exit:
//   ROBUST_ALLOC_FAIL   number of the allocation that fails; none when unset
//   ROBUST_ALLOC_COUNT  file that receives at the exit
//                       "<allocations> <1 when the failure happened> <leaked>\n";
//                       a run that dies of a signal writes nothing
//   ROBUST_ALLOC_SCOPED when set, nothing is counted until robust_start()
// They are taken out of the environment, so that the programs the run
// starts allocate for themselves and never fail.  A program that wants
// only a part of its run counted (ls_call -S: the one call) calls
// robust_start() and robust_report(); then blocks made in between and
// not freed are counted as leaked.
//
// AddressSanitizer supplies its own allocator, which this one would
// bypass: in sanitizer builds nothing is interposed and robust_available()
// is 0, and the tests that need a count skip.

#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef __has_feature
#define __has_feature(feature) 0  // GCC says __SANITIZE_ADDRESS__ instead
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
#define ROBUST_INTERPOSE 0
#else
#define ROBUST_INTERPOSE 1
#endif

namespace {

// Live blocks of a tracked count: an open-addressing set of addresses in
// static storage.  Removed slots keep a tombstone so that later probes go
// on past them.
constexpr size_t kSlots = 1 << 12;
constexpr uintptr_t kEmpty = 0, kRemoved = 1;
uintptr_t g_slots[kSlots];

const char* g_count_file = nullptr;
long g_env_fail = -1;       // the environment's failing allocation
bool g_numbering = false;   // calls are numbered and may fail
bool g_tracking = false;    // blocks of the count are watched
long g_next = 0, g_fail_at = -1, g_leaked = 0;
bool g_failed = false;

size_t Home(uintptr_t p) { return (p >> 4) * 0x9E3779B97F4A7C15ull % kSlots; }

[[maybe_unused]] void Remember(void* block) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(block);
  for (size_t i = Home(p), n = 0; n < kSlots; i = (i + 1) % kSlots, ++n) {
    if (g_slots[i] == kEmpty || g_slots[i] == kRemoved) {
      g_slots[i] = p;
      ++g_leaked;
      return;
    }
  }
  g_leaked = 1L << 40;  // too many to watch: no count can be trusted
}

// True when block was made in the count (and forgets it).
[[maybe_unused]] bool Forget(void* block) {
  const uintptr_t p = reinterpret_cast<uintptr_t>(block);
  for (size_t i = Home(p), n = 0; n < kSlots && g_slots[i] != kEmpty;
       i = (i + 1) % kSlots, ++n) {
    if (g_slots[i] == p) {
      g_slots[i] = kRemoved;
      --g_leaked;
      return true;
    }
  }
  return false;
}

// Numbers one call; true when it is the one that fails.
[[maybe_unused]] bool Fails() {
  if (!g_numbering || g_next++ != g_fail_at) return false;
  g_failed = true;
  errno = ENOMEM;
  return true;
}

// snprintf of integers allocates nothing.
void Report() {
  char line[80];
  const int n = snprintf(line, sizeof line, "%ld %d %ld\n", g_next, g_failed, g_leaked);
  const int fd = g_count_file ? open(g_count_file, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
  if (fd < 0 || write(fd, line, n) < 0) return;
  close(fd);
}

}  // namespace

extern "C" {

#define ROBUST_API __attribute__((visibility("default")))

ROBUST_API int robust_available() { return ROBUST_INTERPOSE; }

// Starts a count in which allocation fail_at fails (none when negative);
// track watches its blocks for leaks.
ROBUST_API void robust_start(long fail_at, int track) {
  memset(g_slots, 0, sizeof g_slots);
  g_next = g_leaked = 0;
  g_failed = false;
  g_fail_at = fail_at;
  g_numbering = ROBUST_INTERPOSE;
  g_tracking = ROBUST_INTERPOSE && track;
}

// Ends the count and writes the count file now, not at the exit.
ROBUST_API void robust_report() {
  g_numbering = g_tracking = false;
  Report();
  g_count_file = nullptr;
}

}  // extern "C"

namespace {

__attribute__((constructor)) void Setup() {
  g_count_file = getenv("ROBUST_ALLOC_COUNT");
  if (const char* fail = getenv("ROBUST_ALLOC_FAIL")) g_env_fail = atol(fail);
  const bool scoped = getenv("ROBUST_ALLOC_SCOPED") != nullptr;
  unsetenv("ROBUST_ALLOC_FAIL");
  unsetenv("ROBUST_ALLOC_COUNT");
  unsetenv("ROBUST_ALLOC_SCOPED");
  // A preloaded fakeroot finds the calls it wraps on its first use, with
  // allocations of its own that it survives failing: make that happen now.
  struct stat st;
  stat("/", &st);
  if (!scoped) robust_start(g_env_fail, 0);
}

__attribute__((destructor)) void Finish() {
  g_numbering = g_tracking = false;
  Report();
}

}  // namespace

#if ROBUST_INTERPOSE
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

static void* Made(void* block) {
  if (block != nullptr && g_numbering && g_tracking) Remember(block);
  return block;
}

ROBUST_API void* malloc(size_t size) { return Fails() ? nullptr : Made(__libc_malloc(size)); }

ROBUST_API void* calloc(size_t count, size_t size) {
  return Fails() ? nullptr : Made(__libc_calloc(count, size));
}

ROBUST_API void* realloc(void* block, size_t size) {
  if (Fails()) return nullptr;
  void* grown = __libc_realloc(block, size);
  // realloc(block, 0) frees the block; a block from before the count
  // stays outside it when it moves.
  if (!g_tracking || (grown == nullptr && size != 0)) return grown;
  const bool watched = block != nullptr && Forget(block);
  if (grown != nullptr && (watched || (block == nullptr && g_numbering)))
    Remember(grown);
  return grown;
}

ROBUST_API void free(void* block) {
  if (block != nullptr && g_tracking) Forget(block);
  __libc_free(block);
}
}  // extern "C"
#endif  // ROBUST_INTERPOSE
