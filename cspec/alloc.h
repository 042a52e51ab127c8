// Checked allocation for what the command keeps until it exits.
//
// The device table's entries and names, and the exclusion list, are
// allocated here so that exhausted storage is a result the caller can
// report ("No more memory") rather than an exception or an abort.  Tests
// replace the allocator to inject such failures.

#ifndef RUDED_CSPEC_ALLOC_H_
#define RUDED_CSPEC_ALLOC_H_

#include <stddef.h>

using CspecAllocator = void* (*)(size_t size);

// Returns size bytes from the current allocator (malloc unless a test
// replaced it), or nullptr when storage is exhausted.  The caller releases
// the block with free().
void* cspec_alloc(size_t size);

// Returns a copy of text from cspec_alloc(), or nullptr when storage is
// exhausted.  REQUIRES: text is not null.
char* cspec_strdup(const char* text);

// Installs allocator (nullptr restores malloc) and returns the previous one.
CspecAllocator set_cspec_allocator(CspecAllocator allocator);

#endif  // RUDED_CSPEC_ALLOC_H_
