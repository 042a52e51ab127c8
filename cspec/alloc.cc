#include "cspec/alloc.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

CspecAllocator g_allocator = malloc;

}  // namespace

void* cspec_alloc(size_t size) { return g_allocator(size); }

char* cspec_strdup(const char* text) {
  size_t n = strlen(text) + 1;
  char* copy = static_cast<char*>(cspec_alloc(n));
  if (copy != nullptr) memcpy(copy, text, n);
  return copy;
}

CspecAllocator set_cspec_allocator(CspecAllocator allocator) {
  CspecAllocator previous = g_allocator;
  g_allocator = allocator != nullptr ? allocator : malloc;
  return previous;
}

void no_memory() { fputs("qv_cspec: No more memory\n", stderr); }
