// The name-server registry reader on arbitrary file contents.  Beyond
// memory safety: every name handed out is non-empty and at most 30
// characters long.

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "fuzz/ls_fuzz_root.h"
#include "ls/ls_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = ls_fuzz::MakeRoot();
  const std::string registry = root + "/etc/KELDA_servers";
  FILE* f = fopen(registry.c_str(), "wb");
  if (f == nullptr) abort();
  fwrite(data, 1, size, f);
  fclose(f);
  char* servers = LSGetservers();
  if (servers != nullptr) {
    std::string text = servers;
    size_t start = 0;
    for (size_t comma; start <= text.size(); start = comma + 1) {
      comma = text.find(',', start);
      if (comma == std::string::npos) comma = text.size();
      size_t n = comma - start;
      if (n == 0 || n > 30) abort();
    }
    free(servers);
  }
  unlink((root + "/var/adm/oam.log").c_str());
  return 0;
}
