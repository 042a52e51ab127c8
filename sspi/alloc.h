// Storage for the library's records, and the library's C edge.
//
// Every allocation of the library goes through Allocate()/Reallocate(), so
// that a test can make any chosen one fail and check that the operation
// reports 255 (or prints its "Cannot allocate" line) and leaves every list
// as it was.  Memory from here is released with free().

#ifndef SSPI_ALLOC_H_
#define SSPI_ALLOC_H_

#include <errno.h>
#include <stddef.h>

#include <exception>
#include <new>

#include "sspi.h"

namespace sspi {

// malloc(size); nullptr with errno ENOMEM when it fails or the failure
// hook chose this allocation.
void* Allocate(size_t size);

// realloc(block, size); on failure nullptr, errno ENOMEM, block untouched.
void* Reallocate(void* block, size_t size);

// Testing hook: the allocation `n` calls from now (0 = the very next one)
// fails; all others succeed.  A negative n turns injection off.
void FailNthAllocation(long n);

// Whether the failure chosen by FailNthAllocation() has happened.
bool AllocationFailureInjected();

// The C edge of the library.  One rule: storage that runs out
// (std::bad_alloc from the one C++ container the library keeps, its
// registry of lists) is the operation's storage failure, as a failed
// Allocate() is (errno ENOMEM); any other exception is its failure too,
// traced at level 3 under label; no exception ever reaches (or terminates)
// the C caller.  Returns whether body ran to its end.
template <typename Body>
bool Guarded(const char* label, Body&& body) noexcept {
  try {
    body();
    return true;
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
  } catch (const std::exception& e) {
    SSPItrace(SSPI_LOG_ERR, label, "Unexpected exception: %s", e.what());
  } catch (...) {
    SSPItrace(SSPI_LOG_ERR, label, "Unexpected exception");
  }
  return false;
}

}  // namespace sspi

#endif  // SSPI_ALLOC_H_
