// A counting allocator for the allocation-failure tests of one test program.
//
// While a count runs, every malloc, calloc and realloc of the process (the
// libraries under test, libstdc++'s operator new, the C library's own
// strdup and fopen) is numbered from 0; the chosen one fails with ENOMEM
// as an exhausted heap would, and every block handed out is remembered
// until it is freed, so that a block still live when the count stops is a
// leak.  The blocks themselves come from glibc (__libc_malloc and friends).
//
// AddressSanitizer supplies its own allocator, which an interposed malloc
// would bypass, so sanitizer builds do not interpose at all: Available()
// is false there and the tests that need the count skip.  The same tests
// find leaks without LeakSanitizer, through the live-block count below.

#ifndef RUDED_TESTS_ROBUST_MALLOC_H_
#define RUDED_TESTS_ROBUST_MALLOC_H_

#include <stddef.h>

namespace robust {

struct Tally {
  long allocations = 0;   // calls numbered while the count ran
  bool failed = false;    // the chosen call was reached and failed
  long leaked = 0;        // blocks allocated in the count and not freed
  long first_leak = -1;   // the number of the call that made the first
  bool overflow = false;  // too many live blocks to track: leaks unknown
};

// False in sanitizer builds, where malloc is not interposed.
bool Available();

// Starts a count; the call numbered fail_at fails (none when negative).
// REQUIRES: no count is running.
void StartCount(long fail_at);

// Stops numbering calls (none fails any more) but goes on watching the
// blocks of the count being freed, so that a test can look at a result and
// release it before it stops the count.
void PauseCount();

// Stops the count and reports it.
Tally StopCount();

}  // namespace robust

#endif  // RUDED_TESTS_ROBUST_MALLOC_H_
