#include "tests/robust_malloc.h"

#include <errno.h>
#include <stdint.h>
#include <string.h>

#if defined(__SANITIZE_ADDRESS__)
#define ROBUST_INTERPOSE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROBUST_INTERPOSE 0
#endif
#endif
#ifndef ROBUST_INTERPOSE
#define ROBUST_INTERPOSE 1
#endif

namespace robust {

#if ROBUST_INTERPOSE

namespace {

// Live blocks of the running count: an open-addressing set of addresses
// in static storage, since it may not allocate itself.  Removed slots keep
// a tombstone so that later probes go on past them.
constexpr size_t kSlots = 1 << 16;
constexpr uintptr_t kEmpty = 0, kRemoved = 1;

uintptr_t g_slots[kSlots];
long g_made_by[kSlots];    // the number of the call that made each block
bool g_numbering = false;  // calls are numbered and may fail
bool g_tracking = false;   // blocks of the count are watched
long g_next = 0;           // number of the next call
long g_fail_at = -1;       // the call that fails
Tally g_tally;

size_t Home(uintptr_t p) { return (p >> 4) * 0x9E3779B97F4A7C15ull % kSlots; }

void Remember(void* block, long call) {
  uintptr_t p = reinterpret_cast<uintptr_t>(block);
  for (size_t i = Home(p), n = 0; n < kSlots; i = (i + 1) % kSlots, ++n) {
    if (g_slots[i] == kEmpty || g_slots[i] == kRemoved) {
      g_slots[i] = p;
      g_made_by[i] = call;
      ++g_tally.leaked;
      return;
    }
  }
  g_tally.overflow = true;
}

// True when block was allocated in the count (and forgets it).
bool Forget(void* block) {
  uintptr_t p = reinterpret_cast<uintptr_t>(block);
  for (size_t i = Home(p), n = 0; n < kSlots && g_slots[i] != kEmpty;
       i = (i + 1) % kSlots, ++n) {
    if (g_slots[i] == p) {
      g_slots[i] = kRemoved;
      --g_tally.leaked;
      return true;
    }
  }
  return false;
}

// Numbers one call; true when it is the one that fails.
bool Fails() {
  if (!g_numbering) return false;
  if (g_next++ != g_fail_at) return false;
  g_tally.failed = true;
  errno = ENOMEM;
  return true;
}

}  // namespace

bool Available() { return true; }

void StartCount(long fail_at) {
  memset(g_slots, 0, sizeof g_slots);
  g_tally = Tally();
  g_next = 0;
  g_fail_at = fail_at;
  g_numbering = g_tracking = true;
}

void PauseCount() { g_numbering = false; }

Tally StopCount() {
  g_numbering = g_tracking = false;
  g_tally.allocations = g_next;
  for (size_t i = 0; i < kSlots; ++i) {
    if (g_slots[i] == kEmpty || g_slots[i] == kRemoved) continue;
    if (g_tally.first_leak < 0 || g_made_by[i] < g_tally.first_leak)
      g_tally.first_leak = g_made_by[i];
  }
  return g_tally;
}

}  // namespace robust

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

// Default visibility: the project hides symbols by default, and a hidden
// malloc would replace the calls of this executable only.
__attribute__((visibility("default"))) void* malloc(size_t size) {
  if (robust::Fails()) return nullptr;
  void* block = __libc_malloc(size);
  if (block != nullptr && robust::g_numbering)
    robust::Remember(block, robust::g_next - 1);
  return block;
}

__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) {
  if (robust::Fails()) return nullptr;
  void* block = __libc_calloc(count, size);
  if (block != nullptr && robust::g_numbering)
    robust::Remember(block, robust::g_next - 1);
  return block;
}

__attribute__((visibility("default"))) void* realloc(void* block, size_t size) {
  if (robust::Fails()) return nullptr;
  void* grown = __libc_realloc(block, size);
  if (!robust::g_tracking) return grown;
  // realloc(block, 0) frees the block.
  if (grown == nullptr) {
    if (size == 0 && block != nullptr) robust::Forget(block);
    return grown;
  }
  // A block from before the count stays outside it when it moves.
  bool watched = block != nullptr && robust::Forget(block);
  if (watched || (block == nullptr && robust::g_numbering))
    robust::Remember(grown, robust::g_next - 1);
  return grown;
}

__attribute__((visibility("default"))) void free(void* block) {
  if (block != nullptr && robust::g_tracking) robust::Forget(block);
  __libc_free(block);
}
}  // extern "C"

#else  // !ROBUST_INTERPOSE

bool Available() { return false; }
void StartCount(long) {}
void PauseCount() {}
Tally StopCount() { return Tally(); }

}  // namespace robust

#endif  // ROBUST_INTERPOSE
