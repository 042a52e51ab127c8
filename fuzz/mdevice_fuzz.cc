// Fuzz target for the mdevice record reader: any table, however long its
// words or lines, is read without writing past a field.

#include <stdint.h>
#include <stdio.h>

#include <string>

#include "cspec/mdevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  FILE* in = fmemopen(text.data(), size, "r");
  if (in == nullptr) return 0;
  int major = 0;
  read_scsi_major(in, &major);
  fclose(in);
  return 0;
}
