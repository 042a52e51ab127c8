// Checked allocation for what the command keeps until it exits, and the
// one rule for storage that runs out anywhere else.
//
// The device table's entries and names, and the exclusion list, are
// allocated here so that exhausted storage is a result the caller can
// report ("No more memory") rather than an exception or an abort.  Tests
// replace the allocator to inject such failures.
//
// Everything else that allocates (paths built as std::string, the
// platform's calls that map them under the machine root) throws
// std::bad_alloc when storage runs out.  Up to the end of the directory
// scan that ends the command with status 1 (main() catches it).  From then
// on every step runs under or_no_memory() or skip_on_no_memory(): storage
// exhausted inside a step is that step's own failure (a setup returns -1,
// a pass leaves that entry alone), so the run goes on, removes the
// temporary node and ends with status 0.

#ifndef RUDED_CSPEC_ALLOC_H_
#define RUDED_CSPEC_ALLOC_H_

#include <stddef.h>

#include <new>

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

// Prints "qv_cspec: No more memory" on standard error, without allocating.
void no_memory();

// Returns step(), or failed after printing "No more memory" when storage
// runs out inside it.
//
// Example:
//   int setup_x(uint32_t dev) { return or_no_memory(-1, [&] { ... }); }
template <typename Result, typename Step>
Result or_no_memory(Result failed, Step&& step) noexcept {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    no_memory();
    return failed;
  }
}

// Runs step; when storage runs out inside it, prints "No more memory" and
// returns, so that the caller goes on with its next step.
template <typename Step>
void skip_on_no_memory(Step&& step) noexcept {
  or_no_memory(0, [&] {
    step();
    return 0;
  });
}

#endif  // RUDED_CSPEC_ALLOC_H_
