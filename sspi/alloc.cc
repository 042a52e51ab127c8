#include "sspi/alloc.h"

#include <errno.h>
#include <stdlib.h>

namespace sspi {
namespace {

long g_fail_countdown = -1;  // allocations left before the injected failure
bool g_failure_injected = false;

// Counts down the hook; true when this allocation is the one to fail.
bool InjectFailure() {
  if (g_fail_countdown < 0) return false;
  if (g_fail_countdown-- > 0) return false;
  g_failure_injected = true;
  errno = ENOMEM;
  return true;
}

}  // namespace

void* Allocate(size_t size) {
  if (InjectFailure()) return nullptr;
  return malloc(size);
}

void* Reallocate(void* block, size_t size) {
  if (InjectFailure()) return nullptr;
  return realloc(block, size);
}

void FailNthAllocation(long n) {
  g_fail_countdown = n;
  g_failure_injected = false;
}

bool AllocationFailureInjected() { return g_failure_injected; }

}  // namespace sspi
