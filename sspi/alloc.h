// Storage for the library's records.
//
// Every allocation of the library goes through Allocate()/Reallocate(), so
// that a test can make any chosen one fail and check that the operation
// reports 255 (or prints its "Cannot allocate" line) and leaves every list
// as it was.  Memory from here is released with free().

#ifndef SSPI_ALLOC_H_
#define SSPI_ALLOC_H_

#include <stddef.h>

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

}  // namespace sspi

#endif  // SSPI_ALLOC_H_
