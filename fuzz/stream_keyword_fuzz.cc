// Feeds arbitrary bytes to GetKeyword() pair by pair, into buffers of
// exactly the documented sizes, and checks what every result promises.

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "sspi.h"

namespace {

void Require(bool ok) {
  if (!ok) abort();
}

bool KnownResult(int rc) {
  switch (rc) {
    case SSPI_OK: case SSPI_E_NO_VALUE: case SSPI_E_END:
    case SSPI_E_VALUE_TOO_LONG: case SSPI_E_KEYWORD_TOO_LONG:
    case SSPI_E_OPEN_QUOTE: case SSPI_E_EMPTY_VALUE: case SSPI_E_BAD_ARGUMENT:
      return true;
  }
  return false;
}

// Checks one result against what was read; true when reading may go on.
bool CheckPair(int rc, const char* keyword, const char* value) {
  size_t k = strlen(keyword), v = strlen(value);
  Require(KnownResult(rc) && rc == sspi_errno);
  Require(k < SSPI_KEYWORD_BUFFER && v < SSPI_VALUE_BUFFER);
  if (rc == SSPI_OK || rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE) {
    Require(k < SSPI_KEYWORD_BUFFER - 1 && v < SSPI_VALUE_BUFFER - 1);
  }
  if (rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE) Require(v == 0);
  if (rc == SSPI_E_END) Require(k == 0 && v == 0);
  if (rc == SSPI_E_KEYWORD_TOO_LONG) Require(k == SSPI_KEYWORD_BUFFER - 1);
  return rc == SSPI_OK || rc == SSPI_E_NO_VALUE || rc == SSPI_E_EMPTY_VALUE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (in == nullptr) return 0;
  char* keyword = static_cast<char*>(malloc(SSPI_KEYWORD_BUFFER));
  char* value = static_cast<char*>(malloc(SSPI_VALUE_BUFFER));
  long before = 0;
  for (;;) {
    int rc = GetKeyword(in, keyword, value);
    bool more = CheckPair(rc, keyword, value);
    long after = ftell(in);
    // Every pair consumes at least one byte, so reading always ends.
    Require(rc == SSPI_E_END || after > before);
    before = after;
    if (!more) break;
  }
  free(keyword);
  free(value);
  fclose(in);
  return 0;
}
