// Fuzz target for the exclusion-list reader: any file content must give a
// well-formed list that stays inside its buffer.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "cspec/xlist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  FILE* in = fmemopen(text.data(), size, "r");
  if (in == nullptr) return 0;
  build_xlist(in);
  fclose(in);
  if (xlist != nullptr) {
    size_t length = strlen(xlist);
    if (xlist[0] != kXlistSeparator || xlist[length - 1] != kXlistSeparator ||
        length + 1 > xlist_size || xlist_count <= 0)
      abort();
  } else if (xlist_count != 0 || xlist_size != 0) {
    abort();
  }
  return 0;
}
